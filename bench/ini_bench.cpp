// The INI statements on real files: many IniAddLine statements into one
// growing file, and each statement against a 5 MB file of 50,000 lines
// (1,000 sections of 49 lines). One benchmark iteration is one statement,
// including its full-path resolution, read, locked rewrite and flush to disk.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/state.h"
#include "ini/ini.h"

namespace {

using Handler = bool (*)(tav::InterpreterState&, const tav::ArgumentArray*);

constexpr int kSections = 1000;
constexpr int kLinesPerSection = 49;

std::filesystem::path BenchDirectory() {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tav32-ini-bench";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

std::string SectionName(int section) { return "Section" + std::to_string(section); }
std::string KeyName(int section, int line) { return "k" + std::to_string(section) + "_" + std::to_string(line); }

// 1,000 sections of 49 lines, each line about 100 bytes: 5 MB, 50,000 lines.
std::string LargeFile(char fill) {
  std::string text;
  for (int section = 0; section < kSections; ++section) {
    text += "[" + SectionName(section) + "]\n";
    for (int line = 0; line < kLinesPerSection; ++line) {
      std::string entry = KeyName(section, line) + "=";
      entry.append(104 - entry.size(), fill);
      text += entry + "\n";
    }
  }
  return text;
}

void Write(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

void Statement(benchmark::State& state, tav::InterpreterState& st, Handler handler, tav::ArgumentArray args) {
  if (!handler(st, &args)) state.SkipWithError("statement failed");
}

tav::ArgumentArray Args(std::initializer_list<std::string> words) {
  tav::ArgumentArray args;
  for (const std::string& word : words) args.push_back(tav::Argument::Text(word));
  return args;
}

// Statements per second (wall-clock time, as the flush to disk counts); the
// time column is the time per statement.
void ReportRate(benchmark::State& state) { state.SetItemsProcessed(state.iterations()); }

void AddLinesToOneFile(benchmark::State& state) {
  std::filesystem::path dir = BenchDirectory();
  std::string file = (dir / "grow.ini").string();
  tav::InterpreterState st;
  int n = 0;
  for (auto _ : state) {
    Statement(state, st, tav::ini::IniAddLine, Args({file, "Section" + std::to_string(n % 10), "key" + std::to_string(n) + "=value"}));
    ++n;
  }
  ReportRate(state);
  std::filesystem::remove_all(dir);
}
BENCHMARK(AddLinesToOneFile)->Iterations(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each statement kind against the large file; iteration n works on section
// n % 1000 (for IniDeleteLine on line n / 1000 of it).
enum Kind { kAdd, kChange, kCopyLine, kCopySection, kDeleteLine, kDeleteSection };

void StatementsOnLargeFile(benchmark::State& state) {
  std::filesystem::path dir = BenchDirectory();
  std::string big = (dir / "big.ini").string();
  std::string other = (dir / "other.ini").string();
  const std::string bytes = LargeFile('v');
  Write(big, bytes);
  Write(other, LargeFile('w'));
  tav::InterpreterState st;
  int n = 0;
  for (auto _ : state) {
    int section = n % kSections;
    std::string name = SectionName(section);
    switch (state.range(0)) {
      case kAdd:
        Statement(state, st, tav::ini::IniAddLine, Args({big, name, "added" + std::to_string(n) + "=1"}));
        break;
      case kChange:
        Statement(state, st, tav::ini::IniChangeLine, Args({big, name, KeyName(section, 7) + "=" + std::to_string(n)}));
        break;
      case kCopyLine:
        Statement(state, st, tav::ini::IniCopyLine, Args({big, other, name, KeyName(section, n % 49)}));
        break;
      case kCopySection:
        Statement(state, st, tav::ini::IniCopySection, Args({big, other, name}));
        break;
      case kDeleteLine:
        Statement(state, st, tav::ini::IniDeleteLine, Args({big, name, KeyName(section, n / kSections) + "="}));
        break;
      case kDeleteSection:
        Statement(state, st, tav::ini::IniDeleteSection, Args({big, name}));
        state.PauseTiming();
        Write(big, bytes);
        state.ResumeTiming();
        break;
    }
    ++n;
  }
  ReportRate(state);
  std::filesystem::remove_all(dir);
}
BENCHMARK(StatementsOnLargeFile)
    ->ArgName("kind")
    ->DenseRange(kAdd, kDeleteSection)
    ->Iterations(1000)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

// IniAddLine into one section that is the whole 5 MB file: the section buffer
// doubles from 8,192 bytes to 8 MB on every statement.
void AddLineToLargeSection(benchmark::State& state) {
  std::filesystem::path dir = BenchDirectory();
  std::string big = (dir / "one.ini").string();
  std::string bytes = "[All]\n";
  for (int line = 0; line < 50000; ++line) {
    std::string entry = "key" + std::to_string(line) + "=";
    entry.append(104 - entry.size(), 'v');
    bytes += entry + "\n";
  }
  Write(big, bytes);
  tav::InterpreterState st;
  int n = 0;
  for (auto _ : state) {
    Statement(state, st, tav::ini::IniAddLine, Args({big, "All", "added" + std::to_string(n++) + "=1"}));
  }
  ReportRate(state);
  std::filesystem::remove_all(dir);
}
BENCHMARK(AddLineToLargeSection)->Iterations(100)->Unit(benchmark::kMillisecond)->UseRealTime();

// IniAddLine into files of 1, 5 and 20 MB (sections of 49 lines of about 100
// bytes): the statement rewrites the whole file, as other programs read INI
// files directly and no journal beside them would be seen.
void AddLineToFileOfSize(benchmark::State& state) {
  std::filesystem::path dir = BenchDirectory();
  std::string big = (dir / "sized.ini").string();
  std::string bytes;
  std::string section = LargeFile('v');  // 5 MB
  while (bytes.size() < static_cast<size_t>(state.range(0)) << 20) bytes += section;
  bytes.resize(static_cast<size_t>(state.range(0)) << 20);
  bytes.resize(bytes.rfind('\n') + 1);
  Write(big, bytes);
  tav::InterpreterState st;
  int n = 0;
  for (auto _ : state) {
    Statement(state, st, tav::ini::IniAddLine, Args({big, SectionName(n % kSections), "added" + std::to_string(n) + "=1"}));
    ++n;
  }
  ReportRate(state);
  std::filesystem::remove_all(dir);
}
BENCHMARK(AddLineToFileOfSize)->ArgName("MB")->Arg(1)->Arg(5)->Arg(20)->Iterations(20)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
