// The machine state and the host-control hooks that change it.
#include "os/posix/machine-posix.h"

#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <array>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "os/posix/handles-posix.h"
#include "os/posix/host-control.h"
#include "os/posix/version-posix.h"

namespace {

struct Machine {
  std::array<std::string, 26> drives;  // host folder per letter, "" unmapped
  OSVERSIONINFOEXA version;
  bool extended_ok = true;
  bool plain_ok = true;
  std::optional<std::string> system_dir;
  std::optional<SYSTEMTIME> local_time;  // unset: the host clock
  struct Failure {
    DWORD error;
    int passes;  // calls that still succeed first
    int times;   // calls that fail after them
  };
  std::map<std::string, Failure> failures;
  std::map<std::string, std::function<void()>> hooks;
  std::map<std::string, int> calls;  // since the last HostTakeCallCounts
  bool skip_sleep = false;
  bool no_file_index = false;
  bool tracing = false;
  std::vector<std::string> trace;
  std::string cwd_windows;  // see RememberCurrentDirectory
  std::string cwd_host;
  os_posix::FreeSpaceSource free_space_source =
      os_posix::FreeSpaceSource::kHost;
  os_posix::FreeSpace free_space = {};
  HostMachine processor = HostMachine::kX86;
  HostWow64Calls wow64_calls = HostWow64Calls::kBoth;
  UINT code_page = 1252;
  std::map<std::string, std::string> narrow_names;  // host name -> shown
};

std::mutex machine_mutex;
std::optional<Machine> machine;

// Drive folders are kept canonical so that they compare with getcwd().
// A folder that does not exist is kept as given; lookups in it fail.
std::string CanonicalFolder(const char* folder) {
  char* real = realpath(folder, nullptr);
  std::string result = real ? real : folder;
  free(real);
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

// Unknown ZODERUDO_WINVER values make every GetVersionExA call fail,
// rather than quietly answering the default: a mistyped setting must not
// pass for a working one.
void LoadVersion(Machine* m) {
  memset(&m->version, 0, sizeof m->version);
  const char* setting = getenv("ZODERUDO_WINVER");
  bool known =
      os_posix::ParseWindowsVersion(setting ? setting : "win2k", &m->version);
  m->extended_ok = known;
  m->plain_ok = known;
}

// An empty ZODERUDO_SYSTEM_DIR stands for "no system folder", the
// environment's way to say what HostSetSystemDirectory(nullptr) says.
void LoadSystemDirectory(Machine* m) {
  const char* setting = getenv("ZODERUDO_SYSTEM_DIR");
  if (!setting) {
    m->system_dir = "C:\\WINDOWS\\system32";
  } else if (*setting) {
    m->system_dir = setting;
  }
}

// Sunday 0 (Sakamoto's method, Gregorian calendar).
WORD DayOfWeek(int year, int month, int day) {
  static const int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return static_cast<WORD>(
      (year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) %
      7);
}

// "YYYY-MM-DD HH:MM:SS" fixes the clock. A value that does not read so
// gives an all-zero time, which no record can pass for a real one.
void LoadLocalTime(Machine* m) {
  const char* setting = getenv("ZODERUDO_LOCAL_TIME");
  if (!setting) return;
  SYSTEMTIME time = {};
  int year, month, day, hour, minute, second;
  char end;
  if (sscanf(setting, "%4d-%2d-%2d %2d:%2d:%2d%c", &year, &month, &day, &hour,
             &minute, &second, &end) == 6 &&
      year >= 1601 && month >= 1 && month <= 12 && day >= 1 && day <= 31 &&
      hour <= 23 && minute <= 59 && second <= 59 && hour >= 0 &&
      minute >= 0 && second >= 0) {
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wDayOfWeek = DayOfWeek(year, month, day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
  }
  m->local_time = time;
}

// Z: is the host root, as under Wine, unless ZODERUDO_DRIVE_Z says
// otherwise; an empty value leaves a drive unmapped.
void LoadDrives(Machine* m) {
  m->drives[25] = "/";
  for (int i = 0; i < 26; ++i) {
    std::string name = "ZODERUDO_DRIVE_";
    name += static_cast<char>('A' + i);
    const char* folder = getenv(name.c_str());
    if (folder) m->drives[i] = *folder ? CanonicalFolder(folder) : "";
  }
}

// "SECTORS,BYTES,FREE,TOTAL", four decimal numbers. Anything else, an
// empty value included, makes the query fail.
void LoadFreeSpace(Machine* m) {
  const char* setting = getenv("ZODERUDO_FREE_SPACE");
  if (!setting) return;
  m->free_space_source = os_posix::FreeSpaceSource::kFails;
  DWORD* fields[] = {&m->free_space.sectors_per_cluster,
                     &m->free_space.bytes_per_sector,
                     &m->free_space.free_clusters,
                     &m->free_space.total_clusters};
  const char* p = setting;
  for (size_t i = 0; i < 4; ++i) {
    if (!isdigit(static_cast<unsigned char>(*p))) return;
    char* end;
    errno = 0;
    unsigned long long value = strtoull(p, &end, 10);
    if (errno != 0 || value > 0xFFFFFFFFull) return;
    *fields[i] = static_cast<DWORD>(value);
    p = end;
    if (i < 3 && *p++ != ',') return;
  }
  if (*p == '\0') m->free_space_source = os_posix::FreeSpaceSource::kFixed;
}

// A number; anything else keeps the Western page.
void LoadCodePage(Machine* m) {
  const char* setting = getenv("ZODERUDO_CODEPAGE");
  if (!setting || !isdigit(static_cast<unsigned char>(*setting))) return;
  char* end;
  unsigned long value = strtoul(setting, &end, 10);
  if (*end == '\0' && value > 0 && value <= 0xFFFF)
    m->code_page = static_cast<UINT>(value);
}

// "MACHINE[,CALLS]". A value that does not read so makes IsWow64Process
// fail: a mistyped setting must not pass for a 32-bit Windows.
void LoadWow64(Machine* m) {
  const char* setting = getenv("ZODERUDO_WOW64");
  if (!setting) return;
  std::string text = setting;
  size_t comma = text.find(',');
  std::string machine_name = text.substr(0, comma);
  std::string calls_name =
      comma == std::string::npos ? "both" : text.substr(comma + 1);
  static const std::pair<const char*, HostMachine> kMachines[] = {
      {"x86", HostMachine::kX86},
      {"amd64", HostMachine::kAmd64},
      {"ia64", HostMachine::kIa64}};
  static const std::pair<const char*, HostWow64Calls> kCalls[] = {
      {"both", HostWow64Calls::kBoth},
      {"native-only", HostWow64Calls::kNativeOnly},
      {"none", HostWow64Calls::kNone},
      {"iswow64-fails", HostWow64Calls::kIsWow64Fails},
      {"iswow64-false", HostWow64Calls::kIsWow64False}};
  bool machine_known = false, calls_known = false;
  for (const auto& known : kMachines) {
    if (machine_name == known.first) {
      m->processor = known.second;
      machine_known = true;
    }
  }
  for (const auto& known : kCalls) {
    if (calls_name == known.first) {
      m->wow64_calls = known.second;
      calls_known = true;
    }
  }
  if (!machine_known || !calls_known) {
    m->processor = HostMachine::kX86;
    m->wow64_calls = HostWow64Calls::kIsWow64Fails;
  }
}

Machine FromEnvironment() {
  Machine m;
  LoadCodePage(&m);
  LoadDrives(&m);
  LoadVersion(&m);
  LoadSystemDirectory(&m);
  LoadFreeSpace(&m);
  LoadLocalTime(&m);
  LoadWow64(&m);
  const char* sleep = getenv("ZODERUDO_SLEEP");
  m.skip_sleep = sleep && strcmp(sleep, "skip") == 0;
  return m;
}

// Callers hold machine_mutex.
Machine& Loaded() {
  if (!machine) machine = FromEnvironment();
  return *machine;
}

struct MachinePart {
  void (*forget)();
  size_t (*held)();
};

// Filled while the program starts, before any test runs, so read without
// the machine's lock.
std::vector<MachinePart>& Parts() {
  static std::vector<MachinePart> parts;
  return parts;
}

int DriveIndex(char letter) {
  int upper = toupper(static_cast<unsigned char>(letter));
  return upper >= 'A' && upper <= 'Z' ? upper - 'A' : -1;
}

}  // namespace

namespace os_posix {

std::string DriveFolder(char letter) {
  int index = DriveIndex(letter);
  if (index < 0) return "";
  std::lock_guard<std::mutex> lock(machine_mutex);
  return Loaded().drives[index];
}

bool VersionFor(DWORD size, OSVERSIONINFOEXA* record) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  bool ok = (size == sizeof(OSVERSIONINFOEXA) && m.extended_ok) ||
            (size == sizeof(OSVERSIONINFOA) && m.plain_ok);
  if (ok) *record = m.version;
  return ok;
}

bool SystemDirectory(std::string* windows_path) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (!m.system_dir) return false;
  *windows_path = *m.system_dir;
  return true;
}

FreeSpaceSource FixedFreeSpace(FreeSpace* space) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  *space = m.free_space;
  return m.free_space_source;
}

bool FixedLocalTime(SYSTEMTIME* time) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (!m.local_time) return false;
  *time = *m.local_time;
  return true;
}

bool SleepSkipped() {
  std::lock_guard<std::mutex> lock(machine_mutex);
  return Loaded().skip_sleep;
}

bool NoFileIndex() {
  std::lock_guard<std::mutex> lock(machine_mutex);
  return Loaded().no_file_index;
}

bool TakeInjectedFailure(const char* function) {
  DWORD error;
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(machine_mutex);
    auto found = Loaded().hooks.find(function);
    if (found != Loaded().hooks.end()) hook = found->second;
  }
  if (hook) hook();
  {
    std::lock_guard<std::mutex> lock(machine_mutex);
    Machine& m = Loaded();
    ++m.calls[function];
    auto it = m.failures.find(function);
    if (it == m.failures.end()) return false;
    if (it->second.passes > 0) {
      --it->second.passes;
      return false;
    }
    error = it->second.error;
    if (--it->second.times <= 0) m.failures.erase(it);
  }
  SetLastError(error);
  return true;
}

void TraceCall(const char* function, const char* argument) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (!m.tracing) return;
  std::string line = function;
  line += ' ';
  line += argument ? argument : "";
  m.trace.push_back(std::move(line));
}

UINT AnsiCodePage() {
  std::lock_guard<std::mutex> lock(machine_mutex);
  return Loaded().code_page;
}

bool HasNarrowNames() {
  std::lock_guard<std::mutex> lock(machine_mutex);
  return !Loaded().narrow_names.empty();
}

std::string NarrowName(const std::string& host_name) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  const auto& names = Loaded().narrow_names;
  auto it = names.find(host_name);
  return it == names.end() ? host_name : it->second;
}

void Wow64Setting(HostMachine* machine, HostWow64Calls* calls) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  *machine = m.processor;
  *calls = m.wow64_calls;
}

void KeepMachinePart(void (*forget)(), size_t (*held)()) {
  Parts().push_back({forget, held});
}

void RememberCurrentDirectory(const std::string& windows_path,
                              const std::string& host_folder) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  m.cwd_windows = windows_path;
  m.cwd_host = host_folder;
}

bool RememberedCurrentDirectory(const std::string& host_folder,
                                std::string* windows_path) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (m.cwd_windows.empty() || m.cwd_host != host_folder) return false;
  *windows_path = m.cwd_windows;
  return true;
}

}  // namespace os_posix

void HostResetMachine() {
  for (const MachinePart& part : Parts()) part.forget();
  std::lock_guard<std::mutex> lock(machine_mutex);
  machine = FromEnvironment();
}

void HostMapDrive(char letter, const char* host_folder) {
  int index = DriveIndex(letter);
  if (index < 0) return;
  std::string folder = host_folder ? CanonicalFolder(host_folder) : "";
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  m.drives[index] = folder;
  m.cwd_windows.clear();  // its drive letter may no longer hold
}

void HostSetCodePage(UINT code_page) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Loaded().code_page = code_page;
}

void HostSetNarrowName(const char* host_name, const char* narrow_name) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  auto& names = Loaded().narrow_names;
  if (narrow_name)
    names[host_name] = narrow_name;
  else
    names.erase(host_name);
}

void HostSetVersion(const OSVERSIONINFOEXA& record, bool extended_ok,
                    bool plain_ok) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  m.version = record;
  m.version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  m.extended_ok = extended_ok;
  m.plain_ok = plain_ok;
}

void HostSetSystemDirectory(const char* windows_path) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (windows_path) {
    m.system_dir = windows_path;
  } else {
    m.system_dir.reset();
  }
}

void HostSetFreeSpace(DWORD sectors_per_cluster, DWORD bytes_per_sector,
                      DWORD free_clusters, DWORD total_clusters) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  m.free_space = {sectors_per_cluster, bytes_per_sector, free_clusters,
                  total_clusters};
  m.free_space_source = os_posix::FreeSpaceSource::kFixed;
}

void HostSetLocalTime(const SYSTEMTIME* time) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (time) {
    m.local_time = *time;
  } else {
    m.local_time.reset();
  }
}

void HostFailCall(const char* function, DWORD error, int times) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (times > 0) {
    m.failures[function] = {error, 0, times};
  } else {
    m.failures.erase(function);
  }
}

void HostBeforeCall(const char* function, std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  if (hook) {
    Loaded().hooks[function] = std::move(hook);
  } else {
    Loaded().hooks.erase(function);
  }
}

void HostFailNthCall(const char* function, DWORD error, int nth) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  if (nth > 0) {
    m.failures[function] = {error, nth - 1, 1};
  } else {
    m.failures.erase(function);
  }
}

std::map<std::string, int> HostTakeCallCounts() {
  std::lock_guard<std::mutex> lock(machine_mutex);
  std::map<std::string, int> calls;
  calls.swap(Loaded().calls);
  return calls;
}

size_t HostOpenHandleCount() {
  size_t count = os_posix::CountOpenHandles();
  for (const MachinePart& part : Parts()) {
    if (part.held) count += part.held();
  }
  return count;
}

void HostSetWow64(HostMachine machine, HostWow64Calls calls) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Machine& m = Loaded();
  m.processor = machine;
  m.wow64_calls = calls;
}

void HostSkipSleep(bool on) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Loaded().skip_sleep = on;
}

void HostSetNoFileIndex(bool on) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Loaded().no_file_index = on;
}

void HostTraceCalls(bool on) {
  std::lock_guard<std::mutex> lock(machine_mutex);
  Loaded().tracing = on;
}

std::vector<std::string> HostTakeTrace() {
  std::lock_guard<std::mutex> lock(machine_mutex);
  std::vector<std::string> trace;
  trace.swap(Loaded().trace);
  return trace;
}
