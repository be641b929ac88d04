// How long -CHECK takes for a 100,000-line program (the aim: well under a
// second, so that it can run in a commit hook). The program mixes every kind
// of line: comments, labels, INI and registry statements, nested If blocks,
// Goto jumps, SynchronizeDir blocks, external commands and %NAME% references.
// Measured once on the library (the check alone) and once through the built
// binary (loading, checking and printing, as a hook would call it).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "core/state.h"
#include "run/check.h"
#include "ui/terminal/console_ui.h"

namespace {

// Blocks of 25 lines, each a clean piece of program.
std::string MakeProgram(int lines) {
  std::string text;
  for (int k = 0; k < lines / 25; ++k) {
    std::string n = std::to_string(k);
    text += "; block " + n + "\n";
    text += "Block" + n + ":\n";
    text += "Echo block " + n + " for %HOME%\n";
    text += "IniAddLine settings.ini [Section " + n + "] device=driver" + n + ".386\n";
    text += "IniChangeLine settings.ini [Section " + n + "] timeout=" + n + "\n";
    text += "RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor\\Product" + n + "\n";
    text += "RegSetValue Count : REG_DWORD : " + n + "\n";
    text += "RegSetValue Path : REG_SZ : \"C:\\Program Files\\Vendor " + n + "\"\n";
    text += "If RegValue(Count) > 5 Then\n";
    text += "  Echo big\n";
    text += "Else\n";
    text += "  If Not Exist file" + n + ".txt Then\n";
    text += "    Goto Block" + std::to_string(k + 1) + "\n";
    text += "  End If\n";
    text += "End If\n";
    text += "SynchronizeDir\n";
    text += "  From master\n";
    text += "  To copy" + n + "\n";
    text += "  Add\n";
    text += "  ExcludeFile *.bak\n";
    text += "End SynchronizeDir\n";
    text += "SynchronizeDir master copy /A /D /P /Rreport" + n + ".txt\n";
    text += "true\n";
    text += "Shell echo " + n + "\n";
    text += "REM end of block " + n + "\n";
  }
  text += "Block" + std::to_string(lines / 25) + ":\n";
  return text;
}

void SetLinesCounter(benchmark::State& state, int lines) {
  state.counters["lines_per_second"] =
      benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Checks the program text as -CHECK does; the number of findings.
size_t CheckedFindings(const std::string& program) {
  tav::InterpreterState st;
  tav::ConsoleUi ui(st);
  st.ui = &ui;
  st.programText = program;
  tav::CheckReport report;
  st.check = &report;
  tav::CheckProgram(st, report);
  return report.Findings().size();
}

void BM_CheckProgram(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  const std::string program = MakeProgram(lines);
  size_t findings = 0;
  for (auto _ : state) {
    findings = CheckedFindings(program);
    benchmark::DoNotOptimize(findings);
  }
  if (findings != 0) state.SkipWithError("the generated program does not check clean");
  SetLinesCounter(state, lines);
}

void BM_CheckBinary(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  char dir[] = "/tmp/tav32-bench.XXXXXX";
  if (::mkdtemp(dir) == nullptr) {
    state.SkipWithError("no temporary directory");
    return;
  }
  std::string file = std::string(dir) + "/program.tav";
  std::ofstream(file) << MakeProgram(lines);
  std::string command = std::string("'") + TAV32_BINARY + "' '" + file + "' -CHECK >/dev/null";
  int status = 0;
  for (auto _ : state) status = std::system(command.c_str());
  if (status != 0) state.SkipWithError("the check did not end with exit code 0");
  std::remove(file.c_str());
  ::rmdir(dir);
  SetLinesCounter(state, lines);
}

// One line with many references to variables that are not set: each is
// noted, and the time must grow with their number, not its square.
void BM_CheckUnsetReferences(benchmark::State& state) {
  const int pairs = static_cast<int>(state.range(0));
  std::string program = "Echo";
  for (int i = 0; i < pairs; ++i) program += " %TAV32_BENCH_NOT_SET%";
  program += "\n";
  for (auto _ : state) {
    benchmark::DoNotOptimize(CheckedFindings(program));
  }
}

BENCHMARK(BM_CheckProgram)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckUnsetReferences)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckBinary)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
