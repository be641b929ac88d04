// Kills the interpreter with SIGKILL at random moments of its writes and
// checks what it leaves: every file is its old or its new version, no update
// that the LOG file reports as done is missing, and leftovers of killed
// writes do not pile up (none at all after a run that is not killed).
//
//   tav32_crash TAV32-BINARY WORK-DIRECTORY KILLS [SEED]
//
// The kills are shared between four workloads: IniChangeLine on a 20 MB
// INI file, runs of 3 and of 20 RegSetValue into stores of 30,000 and
// 100,000 values (the kills land in journal appends, in the replay of a
// journal a killed run left, and in the checkpoints that end each run), and a
// SynchronizeDir that overwrites, adds and deletes. Exit code 0 when nothing was damaged and
// nothing was left over.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/registry.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// The largest N of the "done N" lines in a LOG file; -1 when there is none.
long LastDone(const fs::path& log) {
  std::istringstream in(ReadAll(log));
  long last = -1;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("done ", 0) == 0) last = std::max(last, std::strtol(line.c_str() + 5, nullptr, 10));
  }
  return last;
}

bool LogHasErrors(const fs::path& log) { return ReadAll(log).find("Error") != std::string::npos; }

// Names in a directory tree that a killed write may leave behind.
size_t CountLeftovers(const fs::path& root) {
  size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string name = entry.path().filename();
    if (name.find(".tav32") != std::string::npos || name.rfind("!SYN~", 0) == 0) ++count;
  }
  return count;
}

struct Tally {
  long kills = 0;
  long inside = 0;  // kills that landed while the write was in progress
  long completed = 0;
  long damaged = 0;
  size_t mostLeftovers = 0;
  size_t leftoversAfter = 0;
  long journalsLeft = 0;  // kills that left a journal for the next run
};

// Registry journals in a directory tree: pending changes of a killed run.
size_t CountJournals(const fs::path& root) {
  size_t count = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().extension() == ".journal") ++count;
  }
  return count;
}

// Starts the interpreter on program files in one directory and kills it.
class Driver {
 public:
  Driver(std::string binary, fs::path directory, unsigned seed)
      : binary_(std::move(binary)), directory_(std::move(directory)), random_(seed) {
    fs::create_directories(directory_);
  }

  const fs::path& Directory() const { return directory_; }
  fs::path Log() const { return directory_ / "run.log"; }

  // Runs the program; with kill, waits until writing() tells that a write is
  // in progress, then kills it after delay unless it ends first; inside
  // tells whether the write was still in progress at the kill. True when it
  // was killed.
  bool Run(const std::string& program, bool kill, std::chrono::microseconds delay, const std::function<bool()>& writing,
           bool& inside) {
    fs::remove(Log());
    pid_t pid = ::fork();
    if (pid == 0) Start(program);
    int status = 0;
    inside = false;
    if (kill) {
      // Short sleeps, so that a run that ends early is not waited out.
      while (!writing()) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
      Clock::time_point end = Clock::now() + delay;
      while (Clock::now() < end) {
        if (::waitpid(pid, &status, WNOHANG) == pid) return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(end - Clock::now(), std::chrono::microseconds(100)));
      }
      inside = writing();
      ::kill(pid, SIGKILL);
    }
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

  // How long the longest write of an unkilled run of the program lasts, as
  // writing() sees it.
  std::chrono::microseconds MeasureWrite(const std::string& program, const std::function<bool()>& writing) {
    fs::remove(Log());
    pid_t pid = ::fork();
    if (pid == 0) Start(program);
    Clock::duration longest{};
    std::optional<Clock::time_point> since;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
      bool now = writing();
      if (now && !since) since = Clock::now();
      if (!now && since) {
        longest = std::max(longest, Clock::now() - *since);
        since.reset();
      }
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return std::max(std::chrono::microseconds(100), std::chrono::duration_cast<std::chrono::microseconds>(longest));
  }

  // A random moment within the first three quarters of a write of the given
  // length, so that most kills land before the write ends.
  std::chrono::microseconds SomeMoment(std::chrono::microseconds length) {
    std::uniform_int_distribution<long> pick(0, std::max<long>(1, length.count() * 3 / 4));
    return std::chrono::microseconds(pick(random_));
  }

  std::mt19937& Random() { return random_; }

 private:
  [[noreturn]] void Start(const std::string& program) {
    if (::chdir(directory_.c_str()) != 0) ::_exit(127);
    ::setenv("TAV32_REGISTRY", (directory_ / "registry").c_str(), 1);
    ::setenv("WINDIR", directory_.c_str(), 1);
    std::FILE* null = std::fopen("/dev/null", "r+");
    if (null != nullptr) {
      for (int fd = 0; fd < 3; ++fd) ::dup2(::fileno(null), fd);
    }
    ::execl(binary_.c_str(), binary_.c_str(), program.c_str(), "-LOG run.log", static_cast<char*>(nullptr));
    ::_exit(127);
  }

  std::string binary_;
  fs::path directory_;
  std::mt19937 random_;
};

void Complain(Tally& tally, const std::string& what) {
  ++tally.damaged;
  std::fprintf(stderr, "DAMAGE: %s\n", what.c_str());
}

// Checks a counter that a run raised from before towards planned, one update
// at a time, against its LOG file: the update in flight may or may not have
// landed, every one reported as done has.
void CheckCounter(Tally& tally, const char* what, long found, long before, long done, long planned) {
  long low = done >= 0 ? done : before;
  long high = std::min(planned, low + 1);
  if (found < low || found > high) {
    Complain(tally, std::string(what) + " holds " + std::to_string(found) + ", expected " + std::to_string(low) +
                        (high != low ? " or " + std::to_string(high) : ""));
  }
}

// A workload: a program that raises a counter in its file a few steps at a
// time, and a way to read the counter back (-1: the file is damaged).
struct Workload {
  const char* name;
  int steps;
  std::string (*statement)(long value);
  std::function<long()> read;
  std::function<void(long)> mend;  // puts an undamaged file back
  std::function<bool()> writing;    // whether a write is in progress (its temporary file or backup is there)
};

std::string CounterProgram(const Workload& work, long from) {
  std::string program;
  for (long v = from + 1; v <= from + work.steps; ++v) {
    program += work.statement(v) + "Echo done " + std::to_string(v) + "\n";
  }
  return program;
}

// One run of a counter workload, killed or not; true when it was killed.
bool CounterStep(Driver& driver, const Workload& work, long& value, bool kill, std::chrono::microseconds length,
                 Tally& tally) {
  WriteAll(driver.Directory() / "step.tav", CounterProgram(work, value));
  bool inside = false;
  bool killed = driver.Run("step.tav", kill, driver.SomeMoment(length), work.writing, inside);
  if (killed && inside) ++tally.inside;
  long found = work.read();
  if (found < 0) {
    Complain(tally, std::string(work.name) + " is neither its old nor its new version");
    work.mend(value);
    found = value;
  } else {
    CheckCounter(tally, work.name, found, value, LastDone(driver.Log()), value + work.steps);
  }
  if (!killed && (found != value + work.steps || LogHasErrors(driver.Log()))) {
    Complain(tally, std::string(work.name) + ": a run that was not killed did not finish its updates");
  }
  value = found;
  tally.mostLeftovers = std::max(tally.mostLeftovers, CountLeftovers(driver.Directory()));
  if (killed && CountJournals(driver.Directory()) != 0) ++tally.journalsLeft;
  return killed;
}

void RunCounterWorkload(Driver& driver, const Workload& work, long kills, Tally& tally) {
  long value = work.read();
  if (value < 0) {
    Complain(tally, std::string(work.name) + " could not be read before the first run");
    return;
  }
  WriteAll(driver.Directory() / "step.tav", CounterProgram(work, value));
  std::chrono::microseconds length = driver.MeasureWrite("step.tav", work.writing);
  if (work.read() != value + work.steps || LogHasErrors(driver.Log())) {
    Complain(tally, std::string(work.name) + ": a run that was not killed did not give the expected file");
    return;
  }
  value += work.steps;
  for (long done = 0; done < kills;) {
    if (CounterStep(driver, work, value, true, length, tally)) {
      ++done;
      ++tally.kills;
    } else {
      ++tally.completed;
    }
  }
  CounterStep(driver, work, value, false, length, tally);
  // A run that ends takes its journal into the store file.
  tally.leftoversAfter += CountLeftovers(driver.Directory()) + CountJournals(driver.Directory());
}

// ---- IniChangeLine on a file of tens of MB.

std::string IniHead(long value) { return "[counter]\nvalue=" + std::to_string(value) + "\n"; }

std::string IniBulk() {
  std::string bulk = "[bulk]\n";
  char line[64];
  for (int i = 0; bulk.size() < (20u << 20); ++i) {
    int n = std::snprintf(line, sizeof line, "key%07d=value %07d of the bulk section\n", i, i);
    bulk.append(line, static_cast<size_t>(n));
  }
  return bulk;
}

// The counter when the file is exactly a version that the updates make.
long IniValue(const std::string& bytes, const std::string& bulk) {
  if (bytes.size() <= bulk.size() || bytes.compare(bytes.size() - bulk.size(), bulk.size(), bulk) != 0) return -1;
  std::string head = bytes.substr(0, bytes.size() - bulk.size());
  if (head.rfind("[counter]\nvalue=", 0) != 0) return -1;
  long value = std::strtol(head.c_str() + 16, nullptr, 10);
  return IniHead(value) == head ? value : -1;
}

void RunIni(const std::string& binary, const fs::path& work, long kills, unsigned seed, Tally& tally) {
  Driver driver(binary, work / "ini", seed);
  const fs::path file = driver.Directory() / "big.ini";
  const std::string bulk = IniBulk();
  WriteAll(file, IniHead(0) + bulk);
  Workload workload{
      "big.ini", 3,
      [](long v) { return "IniChangeLine big.ini [counter] value=" + std::to_string(v) + "\n"; },
      [&] { return IniValue(ReadAll(file), bulk); },
      [&](long v) { WriteAll(file, IniHead(v) + bulk); },
      [&] { return fs::exists(driver.Directory() / ".big.ini.tav32~new") || fs::exists(driver.Directory() / ".big.ini.tav32~old"); }};
  RunCounterWorkload(driver, workload, kills, tally);
}

// ---- RegSetValue into a large store.

std::string StoreText(long counter, int values) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Counter]\r\n";
  char line[96];
  std::snprintf(line, sizeof line, "\"value\"=dword:%08lx\r\n\r\n[HKEY_LOCAL_MACHINE\\Bulk]\r\n", counter);
  text += line;
  for (int i = 0; i < values; ++i) {
    std::snprintf(line, sizeof line, "\"v%06d\"=\"bulk value number %06d\"\r\n", i, i);
    text += line;
  }
  return text;
}

std::vector<uint8_t> BulkData(int i) {
  char text[40];
  int n = std::snprintf(text, sizeof text, "bulk value number %06d", i);
  return std::vector<uint8_t>(text, text + n + 1);
}

// The counter, read through the store itself, when every bulk value checked
// is there; -1 when the store is damaged or a value is missing.
long StoreValue(const fs::path& store, int values) {
  using namespace tav::platform;
  ::setenv("TAV32_REGISTRY", store.c_str(), 1);
  RegKey counter = nullptr;
  RegKey bulk = nullptr;
  long result = -1;
  uint32_t type = 0;
  std::vector<uint8_t> data;
  if (RegOpen(RegLocalRoot(RegRoot::LocalMachine), "Counter", counter) == kRegOk &&
      RegQueryValue(counter, "value", type, data) == kRegOk && type == kRegDword && data.size() == 4 &&
      RegOpen(RegLocalRoot(RegRoot::LocalMachine), "Bulk", bulk) == kRegOk) {
    result = data[0] | data[1] << 8 | data[2] << 16 | static_cast<long>(data[3]) << 24;
    for (int i = 0; i < values && result >= 0; i += (i + 1 == values - 1 ? 1 : 97)) {
      std::string name = std::to_string(i);
      name.insert(0, 6 - name.size(), '0');
      name.insert(0, 1, 'v');
      if (RegQueryValue(bulk, name, type, data) !=
              kRegOk ||
          data != BulkData(i)) {
        result = -1;
      }
    }
  }
  if (counter != nullptr) RegClose(counter);
  if (bulk != nullptr) RegClose(bulk);
  RegTakeDiagnostic();
  return result;
}

void RunRegistryOf(const std::string& binary, const fs::path& work, long kills, unsigned seed, Tally& tally,
                   int values, int steps) {
  Driver driver(binary, work / ("registry" + std::to_string(values)), seed);
  const fs::path store = driver.Directory() / "registry";
  fs::create_directories(store);
  WriteAll(store / "HKEY_LOCAL_MACHINE.reg", StoreText(0, values));
  Workload workload{
      "the registry store", steps,
      [](long v) {
        return "RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\Counter\nRegSetValue value : REG_DWORD : " +
               std::to_string(v) + "\n";
      },
      [&] { return StoreValue(store, values); },
      [&](long v) {
        fs::remove(store / "HKEY_LOCAL_MACHINE.journal");
        WriteAll(store / "HKEY_LOCAL_MACHINE.reg", StoreText(v, values));
      },
      [&] {
        return fs::exists(store / "HKEY_LOCAL_MACHINE.journal") ||
               fs::exists(store / ".HKEY_LOCAL_MACHINE.reg.tav32~new") ||
               fs::exists(store / ".HKEY_LOCAL_MACHINE.reg.tav32~old");
      }};
  RunCounterWorkload(driver, workload, kills, tally);
}

void RunRegistry(const std::string& binary, const fs::path& work, long kills, unsigned seed, Tally& tally) {
  RunRegistryOf(binary, work, kills, seed, tally, 30000, 3);
}

void RunJournal(const std::string& binary, const fs::path& work, long kills, unsigned seed, Tally& tally) {
  RunRegistryOf(binary, work, kills, seed, tally, 100000, 20);
}

// ---- SynchronizeDir that overwrites, adds and deletes.

struct Tree {
  std::map<std::string, std::string> oldFiles;  // the destination before
  std::map<std::string, std::string> newFiles;  // the source, and the destination after
};

Tree MakeTree(std::mt19937& random) {
  Tree tree;
  std::uniform_int_distribution<int> size(0, 300000);
  for (int i = 0; i < 240; ++i) {
    // The last few live in a directory that only the destination has.
    bool gone = i >= 220;
    // Built by appending: GCC 12 at -O3 warns falsely of overlap on "x" + string.
    std::string name = gone ? std::string("gone") : std::string("d").append(std::to_string(i % 4));
    name.append("/f").append(std::to_string(i)).append(".dat");
    std::string body(static_cast<size_t>(size(random)), static_cast<char>('a' + i % 26));
    if (gone || i % 3 != 2) tree.oldFiles[name] = "old " + name + body.substr(0, body.size() / 2);
    if (!gone && i % 3 != 1) tree.newFiles[name] = "new " + name + body;
  }
  return tree;
}

// Puts the destination back to its old version; staging leftovers of killed
// runs stay, for the next run to clear.
void ResetDestination(const fs::path& destination, const Tree& tree) {
  for (const auto& entry : fs::recursive_directory_iterator(destination)) {
    std::string name = entry.path().filename();
    if (entry.is_regular_file() && name.rfind("!SYN~", 0) != 0) {
      fs::remove(entry.path());
    }
  }
  for (const auto& [name, bytes] : tree.oldFiles) {
    fs::create_directories((destination / name).parent_path());
    WriteAll(destination / name, bytes);
  }
}

void CheckDestination(const fs::path& destination, const Tree& tree, bool done, Tally& tally) {
  for (const auto& entry : fs::recursive_directory_iterator(destination)) {
    if (!entry.is_regular_file()) continue;
    std::string name = fs::relative(entry.path(), destination).string();
    if (entry.path().filename().string().rfind("!SYN~", 0) == 0) continue;
    auto before = tree.oldFiles.find(name);
    auto after = tree.newFiles.find(name);
    std::string bytes = ReadAll(entry.path());
    bool isOld = before != tree.oldFiles.end() && bytes == before->second;
    bool isNew = after != tree.newFiles.end() && bytes == after->second;
    if (!isOld && !isNew) Complain(tally, "sync: " + name + " is neither its old nor its new version");
    if (done && !isNew) Complain(tally, "sync: " + name + " should be gone or new after a reported run");
  }
  for (const auto& [name, bytes] : tree.newFiles) {
    bool present = fs::exists(destination / name);
    if (!present && (done || tree.oldFiles.count(name) != 0)) Complain(tally, "sync: " + name + " is missing");
  }
}

void RunSync(const std::string& binary, const fs::path& work, long kills, unsigned seed, Tally& tally) {
  Driver driver(binary, work / "sync", seed);
  Tree tree = MakeTree(driver.Random());
  const fs::path source = driver.Directory() / "src";
  const fs::path destination = driver.Directory() / "dst";
  for (const auto& [name, bytes] : tree.newFiles) {
    fs::create_directories((source / name).parent_path());
    WriteAll(source / name, bytes);
  }
  fs::create_directories(destination);
  WriteAll(driver.Directory() / "sync.tav",
           "SynchronizeDir\n  From src\n  To dst\n  Add\n  Delete\n  Overwrite\n  Subdirectories\n"
           "End SynchronizeDir\nEcho done 1\n");
  // A copy is in progress while a staging file is in one of the destination's
  // directories.
  auto writing = [&] {
    std::error_code error;
    for (fs::recursive_directory_iterator it(destination, error), end; !error && it != end; it.increment(error)) {
      if (it->path().filename().string().rfind("!SYN~", 0) == 0) return true;
    }
    return false;
  };
  ResetDestination(destination, tree);
  std::chrono::microseconds length = driver.MeasureWrite("sync.tav", writing);
  CheckDestination(destination, tree, true, tally);
  auto step = [&](bool kill) {
    ResetDestination(destination, tree);
    bool inside = false;
    bool killed = driver.Run("sync.tav", kill, driver.SomeMoment(length), writing, inside);
    if (killed && inside) ++tally.inside;
    bool done = LastDone(driver.Log()) == 1;
    if (!killed && (!done || LogHasErrors(driver.Log()))) Complain(tally, "sync: a run that was not killed failed");
    CheckDestination(destination, tree, done, tally);
    tally.mostLeftovers = std::max(tally.mostLeftovers, CountLeftovers(destination));
    return killed;
  };
  for (long done = 0; done < kills;) {
    if (step(true)) {
      ++done;
      ++tally.kills;
    } else {
      ++tally.completed;
    }
  }
  step(false);
  tally.leftoversAfter += CountLeftovers(destination);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s TAV32-BINARY WORK-DIRECTORY KILLS [SEED]\n", argv[0]);
    return 2;
  }
  std::string binary = fs::absolute(argv[1]).string();
  fs::path work = fs::absolute(argv[2]);
  long kills = std::strtol(argv[3], nullptr, 10);
  unsigned seed = argc > 4 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)) : std::random_device()();
  std::printf("seed %u, %ld kills in %s\n", seed, kills, work.c_str());
  long each = kills / 4;
  struct Part {
    const char* name;
    void (*run)(const std::string&, const fs::path&, long, unsigned, Tally&);
    long kills;
  } parts[] = {{"IniChangeLine, 20 MB file", RunIni, each},
               {"RegSetValue, 30,000-value store", RunRegistry, each},
               {"20 RegSetValue, 100,000-value store", RunJournal, each},
               {"SynchronizeDir, overwrite and delete", RunSync, kills - 3 * each}};
  Tally total;
  for (const Part& part : parts) {
    Tally tally;
    Clock::time_point start = Clock::now();
    part.run(binary, work, part.kills, seed++, tally);
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%-38s kills %5ld  inside the write %5ld (%3.0f%%)  finished runs %4ld  damaged %ld  most leftovers "
                "after a kill %zu  leftovers after %zu  journals left by kills %ld  (%.0f s)\n",
                part.name, tally.kills, tally.inside, tally.kills > 0 ? 100.0 * tally.inside / tally.kills : 0.0,
                tally.completed, tally.damaged, tally.mostLeftovers, tally.leftoversAfter, tally.journalsLeft, seconds);
    std::fflush(stdout);
    total.kills += tally.kills;
    total.damaged += tally.damaged;
    total.leftoversAfter += tally.leftoversAfter;
  }
  std::printf("kills injected %ld, files found damaged %ld, leftovers after %zu\n", total.kills, total.damaged,
              total.leftoversAfter);
  return total.damaged == 0 && total.leftoversAfter == 0 ? 0 : 1;
}
