// Registry store throughput, with every change on disk when its call returns.
//
// BM_RegSetValueIntoStore/N: RegSetValue calls of new values into a store
// that already holds N values; the store is made and loaded before the clock
// starts, so the figure is the steady cost of one reported change. The
// checkpoint that ends the run is timed on its own (checkpoint_ms).
// BM_FillStore/N: one program of N RegSetValue statements into an empty
// store, run by the interpreter from start to end, as a user meets it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/state.h"
#include "platform/registry.h"
#include "run/run.h"
#include "ui/terminal/console_ui.h"

namespace {

using namespace tav::platform;

// A fresh store directory, removed afterwards.
class FreshStore {
 public:
  FreshStore() {
    static int runs = 0;
    path_ = std::filesystem::temp_directory_path() / ("tav32-bench-registry-" + std::to_string(runs++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
    ::setenv("TAV32_REGISTRY", path_.c_str(), 1);
  }
  ~FreshStore() { std::filesystem::remove_all(path_); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A store file of count string values in one key, as regedit exports it.
void WriteStoreOf(const std::filesystem::path& file, long count) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Bulk]\r\n";
  char line[96];
  for (long i = 0; i < count; ++i) {
    int n = std::snprintf(line, sizeof line, "\"v%06ld\"=\"bulk value number %06ld\"\r\n", i, i);
    text.append(line, static_cast<size_t>(n));
  }
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16 += c;
    utf16 += '\0';
  }
  std::ofstream(file, std::ios::binary) << utf16;
}

void BM_RegSetValueIntoStore(benchmark::State& state) {
  FreshStore store;
  WriteStoreOf(store.Path() / "HKEY_LOCAL_MACHINE.reg", state.range(0));
  RegKey key = nullptr;
  if (RegCreate(RegLocalRoot(RegRoot::LocalMachine), "SOFTWARE\\Bench", key) != kRegOk) {
    state.SkipWithError("the key could not be created");
    return;
  }
  uint32_t type = 0;
  std::vector<uint8_t> data;
  RegQueryValue(key, "none", type, data);  // loads the store
  long i = 0;
  for (auto _ : state) {
    uint32_t n = static_cast<uint32_t>(i);
    std::vector<uint8_t> dword{static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
                               static_cast<uint8_t>(n >> 24)};
    if (RegSetValue(key, "Value" + std::to_string(i++), kRegDword, dword) != kRegOk) {
      state.SkipWithError(RegTakeDiagnostic().c_str());
      break;
    }
  }
  RegClose(key);
  // The rewrite of the store file that takes the journal in, as at the end
  // of a run; every change was on disk before it.
  auto start = std::chrono::steady_clock::now();
  RegFlush();
  state.counters["checkpoint_ms"] =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  state.counters["values/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

std::string FillProgram(long statements) {
  std::string text = "RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\n";
  for (long i = 0; i < statements; ++i) {
    text += "RegSetValue Value" + std::to_string(i) + " : REG_DWORD : " + std::to_string(i) + "\n";
  }
  return text;
}

void BM_FillStore(benchmark::State& state) {
  const std::string program = FillProgram(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto store = std::make_unique<FreshStore>();
    tav::InterpreterState st;
    tav::ConsoleUi ui(st);
    st.ui = &ui;
    st.programText = program;
    state.ResumeTiming();
    int code = tav::RunProgram(st);
    state.PauseTiming();
    if (code != 0) state.SkipWithError("the program failed");
    store.reset();
    state.ResumeTiming();
  }
  state.counters["statements/s"] = benchmark::Counter(
      static_cast<double>(state.range(0)) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RegSetValueIntoStore)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(300000)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0)
    ->UseRealTime();
BENCHMARK(BM_FillStore)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
