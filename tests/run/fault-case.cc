#include "fault-case.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "os/posix/host-control.h"
#include "run/run-update.h"
#include "support/host-machine.h"

namespace fs = std::filesystem;

const char kEarlierRecord[] =
    "01-02-2005 03:04:05,Update=0.9,New=1.0,Status=Success,ReturnCode=0 \r\n";

namespace {

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void Write(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

TreeSnapshot Snapshot(const fs::path& root) {
  TreeSnapshot tree;
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(root, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    std::string name = fs::relative(it->path(), root).generic_string();
    if (it->is_directory()) {
      tree[name] = "dir";
    } else {
      bool writable = (it->status().permissions() & fs::perms::owner_write) !=
                      fs::perms::none;
      tree[name] = std::string("file ") + (writable ? "w " : "r ") +
                   ReadWhole(it->path().string());
    }
  }
  return tree;
}

void MakeMachine(const fs::path& c, const fs::path& marker, int update_exit) {
  fs::create_directories(c / "WINDOWS/system32/DRIVERS");
  Write(c / "WINDOWS/system32/DRIVERS/tavixnt5.sys", "");
  InstallSystemInterpreter((c / "WINDOWS/system32").string());
  fs::create_directories(c / "ZRLOG");
  Write(c / "ZRLOG/ZR.log", std::string(kEarlierRecord) + "\x1A");
  fs::create_directories(c / "start");
  Write(c / "start/version.id", "start\nhere\n");
  fs::create_directories(c / "pkg/sub/inner");
  Write(c / "pkg/version.id", "1.0\n2.0\n");
  Write(c / "pkg/.hidden", "hidden");
  Write(c / "pkg/readonly.txt", "read only");
  fs::permissions(c / "pkg/readonly.txt", fs::perms::owner_read);
  Write(c / "pkg/sub/data.bin", std::string("\0\1\2", 3));
  Write(c / "pkg/sub/inner/deep.txt", "deep");
  // Written outside drive C:, so the package stays as it was.
  Write(c / "pkg/ZELMOR_UPDATE", "#!/bin/sh\npwd -P > '" + marker.string() +
                                     "'\nexit " + std::to_string(update_exit) +
                                     "\n");
  fs::permissions(c / "pkg/ZELMOR_UPDATE", fs::perms::owner_all);
}

// What the child reports, read by the parent from a file.
struct Report {
  std::string path;
  std::string start_host;  // host path of the starting folder
  Injection injection;
};
Report report;

void WriteReport(bool returned, int result) {
  size_t handles = HostOpenHandleCount();
  char cwd[4096] = "";
  bool at_start = getcwd(cwd, sizeof cwd) && report.start_host == cwd;
  // The update may still run when the wait for it failed: its record of
  // where it ran must be complete before the parent looks.
  while (wait(nullptr) > 0 || errno == EINTR) {
  }
  FILE* out = fopen(report.path.c_str(), "w");
  if (!out) return;
  fprintf(out, "returned %d\nresult %d\nhandles %zu\nat_start %d\n",
          returned ? 1 : 0, result, handles, at_start ? 1 : 0);
  for (const auto& [function, count] : HostTakeCallCounts())
    fprintf(out, "call %s %d\n", function.c_str(), count);
  int seen = 0;
  std::string traced = report.injection.function + " ";
  for (const std::string& line : HostTakeTrace()) {
    if (line.compare(0, traced.size(), traced) == 0 &&
        ++seen == report.injection.nth)
      fprintf(out, "failed_call %s\n", line.c_str());
  }
  fclose(out);
}

void ReportAtExit() { WriteReport(false, 0); }

[[noreturn]] void RunChild(const FaultScenario& scenario,
                           const Injection& injection, const fs::path& c,
                           const fs::path& console, const fs::path& errors,
                           const fs::path& report_to) {
  setpgid(0, 0);  // a hang is ended with everything the run started
  int out = open(console.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 ||
      dup2(err, STDERR_FILENO) < 0)
    _exit(120);
  close(out);
  close(err);

  HostResetMachine();
  SetEnvironmentVariableA("systemdrive", nullptr);
  HostMapDrive('C', c.c_str());
  HostSetSystemDirectory("C:\\WINDOWS\\system32");
  OSVERSIONINFOEXA version = {};
  version.dwPlatformId = VER_PLATFORM_WIN32_NT;
  version.dwMajorVersion = 5;
  version.dwMinorVersion = scenario.applies ? 0 : 1;
  HostSetVersion(version, true, true);
  HostSkipSleep(true);
  const char* start = scenario.staged ? "C:\\start" : "C:\\pkg";
  if (!SetCurrentDirectoryA(start)) _exit(121);
  report.path = report_to.string();
  report.start_host = (c / (scenario.staged ? "start" : "pkg")).string();
  report.injection = injection;

  std::string program = "zoderudo", argument = "C:\\pkg";
  char* argv[] = {program.data(), argument.data(), nullptr};
  int argc = scenario.staged ? 2 : 1;
  HostTakeCallCounts();
  HostTraceCalls(true);
  if (!injection.function.empty())
    HostFailNthCall(injection.function.c_str(), injection.error, injection.nth);
  atexit(ReportAtExit);
  int result = RunUpdate(argc, argv);
  fflush(stdout);
  WriteReport(true, result);
  _exit(0);
}

// Waits for the child for at most `seconds`; false when it had to be
// killed.
bool AwaitChild(pid_t pid, int seconds, int* status) {
  struct timespec pause = {0, 1000000};
  for (long waited = 0; waited < seconds * 1000L; ++waited) {
    pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) return false;
    nanosleep(&pause, nullptr);
  }
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
  waitpid(pid, status, 0);
  return false;
}

void ReadReport(const std::string& text, FaultOutcome* outcome) {
  std::istringstream in(text);
  std::string key;
  while (in >> key) {
    if (key == "returned") {
      in >> outcome->returned;
    } else if (key == "result") {
      int32_t result = 0;
      in >> result;
      outcome->result = static_cast<uint32_t>(result);
    } else if (key == "handles") {
      in >> outcome->open_handles;
    } else if (key == "at_start") {
      in >> outcome->at_start;
    } else if (key == "failed_call") {
      in.get();
      std::getline(in, outcome->failed_call);
    } else if (key == "call") {
      std::string function;
      int count = 0;
      in >> function >> count;
      outcome->calls[function] = count;
    }
  }
  outcome->reported = true;
}

}  // namespace

FaultOutcome RunFaultCase(const FaultScenario& scenario,
                          const Injection& injection, int seconds) {
  FaultOutcome outcome;
  std::string pattern = (fs::temp_directory_path() / "zod-fault-XXXXXX");
  if (!mkdtemp(pattern.data())) return outcome;
  fs::path folder = fs::canonical(pattern);
  fs::path c = folder / "c", marker = folder / "ran-in.txt";
  fs::path console = folder / "console.txt", errors = folder / "errors.txt";
  fs::path report_to = folder / "report";
  MakeMachine(c, marker, scenario.update_exit);
  outcome.before = Snapshot(c);

  fflush(nullptr);  // nothing buffered is written twice
  pid_t pid = fork();
  if (pid == 0) RunChild(scenario, injection, c, console, errors, report_to);
  int status = 0;
  outcome.ended = pid > 0 && AwaitChild(pid, seconds, &status);
  outcome.exited = outcome.ended && WIFEXITED(status);
  outcome.exit_status = outcome.exited ? WEXITSTATUS(status) : -1;

  outcome.console = ReadWhole(console.string());
  outcome.errors = ReadWhole(errors.string());
  if (fs::exists(report_to)) ReadReport(ReadWhole(report_to.string()), &outcome);
  outcome.update_ran = fs::exists(marker);
  std::string ran_in = ReadWhole(marker.string());
  if (!ran_in.empty() && ran_in.back() == '\n') ran_in.pop_back();
  std::string drive = c.string() + "/";
  outcome.update_folder = ran_in.compare(0, drive.size(), drive) == 0
                              ? ran_in.substr(drive.size())
                              : ran_in;
  outcome.after = Snapshot(c);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return outcome;
}
