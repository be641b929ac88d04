// Lines per second of the run loop on a generated 100,000-line program of
// comments, labels, Echo statements and Goto jumps back and forth, with a LOG
// file.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/state.h"
#include "run/run.h"
#include "ui/terminal/console_ui.h"

namespace {

// Blocks of 10 lines; each is run in the order 1 2 6 7 3 4 5 8 9 10 (jumping
// forward to B, back to A and forward to C), so every line is run once.
std::string MakeProgram(int lines) {
  std::string text;
  for (int k = 0; k < lines / 10; ++k) {
    std::string n = std::to_string(k);
    text += "; block " + n + "\n";
    text += "Goto B" + n + "\n";
    text += "A" + n + ":\n";
    text += "Echo line " + n + " of the block, after jumping back\n";
    text += "Goto C" + n + "\n";
    text += "B" + n + ":\n";
    text += "Goto A" + n + "\n";
    text += "C" + n + ":\n";
    text += "REM done with block " + n + "\n";
    text += "\n";
  }
  return text;
}

void BM_RunProgram(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  const std::string program = MakeProgram(lines);
  char dir[] = "/tmp/tav32-bench.XXXXXX";
  if (::mkdtemp(dir) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  std::string log = std::string(dir) + "/run.log";
  for (auto _ : state) {
    tav::InterpreterState st;
    tav::ConsoleUi ui(st);
    st.ui = &ui;
    st.options.log = true;
    st.options.logPath = log;
    st.programText = program;
    int code = tav::RunProgram(st);
    benchmark::DoNotOptimize(code);
    state.PauseTiming();
    std::remove(log.c_str());
    state.ResumeTiming();
  }
  ::rmdir(dir);
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RunProgram)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
