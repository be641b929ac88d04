// RegSetValue throughput: a program of 10,000 RegSetValue statements into one
// key, run by the interpreter against a fresh registry store. Every statement
// is on disk when it returns (read under the lock, written to a temporary
// file, flushed and renamed), so this measures the store as a user meets it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "run/run.h"
#include "core/state.h"
#include "ui/terminal/console_ui.h"

namespace {

constexpr int kStatements = 10000;

std::string SetValueProgram(bool distinctNames) {
  std::string text = "RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Bench\n";
  for (int i = 0; i < kStatements; ++i) {
    std::string name = distinctNames ? "Value" + std::to_string(i) : "Value";
    text += "RegSetValue " + name + " : REG_DWORD : " + std::to_string(i) + "\n";
  }
  return text;
}

// A fresh store directory for each run, removed afterwards.
class FreshStore {
 public:
  explicit FreshStore(int run) {
    path_ = std::filesystem::temp_directory_path() / ("tav32-bench-registry-" + std::to_string(run));
    std::filesystem::remove_all(path_);
    ::setenv("TAV32_REGISTRY", path_.c_str(), 1);
  }
  ~FreshStore() { std::filesystem::remove_all(path_); }

 private:
  std::filesystem::path path_;
};

void RunSetValues(benchmark::State& state, bool distinctNames) {
  const std::string program = SetValueProgram(distinctNames);
  int run = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto store = std::make_unique<FreshStore>(run++);
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
  state.counters["statements/s"] =
      benchmark::Counter(static_cast<double>(kStatements) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

// The same value written again and again: the key stays small.
void BM_RegSetValueSameName(benchmark::State& state) { RunSetValues(state, false); }
// 10,000 different values: the key, and so the file, grows with each one.
void BM_RegSetValueDistinctNames(benchmark::State& state) { RunSetValues(state, true); }

BENCHMARK(BM_RegSetValueSameName)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_RegSetValueDistinctNames)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
