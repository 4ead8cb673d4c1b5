// CreateProcessA: finds the program as Windows would, then starts it as a
// host program with the words of the command line as argv.
#include "os/posix/process-posix.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "os/posix/command-line-posix.h"
#include "os/posix/machine-posix.h"
#include "os/posix/paths-posix.h"

extern char** environ;

namespace os_posix {
const char kExitCodeVariable[] = "ZODERUDO_EXIT_CODE_FD";
}  // namespace os_posix

namespace {

bool IsProgramFile(const std::string& host_path) {
  struct stat st;
  return stat(host_path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Programs found are started only if the host lets us execute them.
DWORD Runnable(const std::string& host_path, std::string* program) {
  if (access(host_path.c_str(), X_OK) != 0) return ERROR_ACCESS_DENIED;
  *program = host_path;
  return ERROR_SUCCESS;
}

// A program named by a Windows path. Like Wine, a missing folder on the
// way or a folder in the program's place counts as a missing file.
DWORD ProgramAt(const char* windows_path, std::string* program) {
  os_posix::HostPath where;
  if (os_posix::ResolveWindowsPath(windows_path, &where) != ERROR_SUCCESS ||
      !where.exists || !IsProgramFile(where.Host())) {
    return ERROR_FILE_NOT_FOUND;
  }
  return Runnable(where.Host(), program);
}

std::string ApplicationFolder() {
  static const std::string folder = [] {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    std::string exe(path, static_cast<size_t>(length));
    return exe.substr(0, exe.rfind('/'));
  }();
  return folder;
}

bool FoundNoCase(const std::string& folder, const std::string& name,
                 std::string* host_path) {
  std::string on_disk;
  if (folder.empty() || !os_posix::FindNameNoCase(folder, name, &on_disk)) {
    return false;
  }
  *host_path = os_posix::JoinHost(folder, on_disk);
  return IsProgramFile(*host_path);
}

// The search order of Windows, with the host PATH in place of the system
// folders and PATH: the application's folder, the current folder (names
// regardless of case in both), then PATH (exact names).
DWORD SearchProgram(const std::string& name, std::string* program) {
  if (name.find_first_of("\\/:") != std::string::npos) {
    return ProgramAt(name.c_str(), program);
  }
  std::string found;
  if (FoundNoCase(ApplicationFolder(), name, &found) ||
      FoundNoCase(os_posix::HostCurrentDirectory(), name, &found)) {
    return Runnable(found, program);
  }
  const char* path = getenv("PATH");
  std::string entries = path ? path : "";
  size_t start = 0;
  while (start <= entries.size()) {
    size_t end = entries.find(':', start);
    if (end == std::string::npos) end = entries.size();
    std::string folder = entries.substr(start, end - start);
    if (!folder.empty() && IsProgramFile(os_posix::JoinHost(folder, name))) {
      return Runnable(os_posix::JoinHost(folder, name), program);
    }
    start = end + 1;
  }
  return ERROR_FILE_NOT_FOUND;
}

// Wine answers ERROR_DIRECTORY for a missing folder and for a file alike.
DWORD StartingFolder(const char* windows_path, std::string* host_folder) {
  os_posix::HostPath where;
  struct stat st;
  if (os_posix::ResolveWindowsPath(windows_path, &where) != ERROR_SUCCESS ||
      !where.exists || stat(where.Host().c_str(), &st) != 0 ||
      !S_ISDIR(st.st_mode)) {
    return ERROR_DIRECTORY;
  }
  *host_folder = where.Host();
  return ERROR_SUCCESS;
}

DWORD ErrorOfSpawn(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case ENOEXEC:
      return ERROR_BAD_EXE_FORMAT;
    case ENOMEM:
    case E2BIG:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:
      return ERROR_GEN_FAILURE;
  }
}

// Our environment, with the whole exit code's channel set to `channel`.
std::vector<std::string> ChildEnvironment(int channel) {
  std::vector<std::string> variables;
  std::string prefix = std::string(os_posix::kExitCodeVariable) + "=";
  for (char** variable = environ; *variable; ++variable) {
    if (strncmp(*variable, prefix.c_str(), prefix.size()) != 0)
      variables.push_back(*variable);
  }
  if (channel >= 0) variables.push_back(prefix + std::to_string(channel));
  return variables;
}

std::vector<char*> Pointers(const std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (const std::string& text : strings)
    pointers.push_back(const_cast<char*>(text.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// posix_spawn reports a failed chdir or exec as its result, so no error
// pipe is needed; a child that failed to start is collected by it. The
// child gets the write end of `channel` (see kExitCodeVariable); the
// caller keeps the read end.
DWORD Spawn(const std::string& program, const std::vector<std::string>& words,
            const std::string& folder, const int channel[2], pid_t* pid) {
  std::vector<char*> argv = Pointers(words);
  std::vector<std::string> variables = ChildEnvironment(channel[1]);
  std::vector<char*> envp = Pointers(variables);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!folder.empty())
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  // A new Windows process starts with no signals blocked.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  int result = posix_spawn(pid, program.c_str(), &actions, &attributes,
                           argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return result == 0 ? ERROR_SUCCESS : ErrorOfSpawn(result);
}

// An environment block is not supported (the program passes none); a
// starting folder is. Standard handles, creation flags and inheritance are
// not modelled: the child shares our stdio, environment and cwd.
DWORD Start(LPCSTR application, LPCSTR command_line, LPVOID environment,
            LPCSTR current_directory, LPPROCESS_INFORMATION info) {
  if (!info || environment || (!application && !command_line)) {
    return ERROR_INVALID_PARAMETER;
  }
  std::vector<std::string> words =
      os_posix::SplitCommandLine(command_line ? command_line : "");
  if (words.empty() && application) words.push_back(application);
  if (words.empty()) return ERROR_FILE_NOT_FOUND;
  std::string program;
  DWORD error = application ? ProgramAt(application, &program)
                            : SearchProgram(words[0], &program);
  std::string folder;
  if (error == ERROR_SUCCESS && current_directory) {
    error = StartingFolder(current_directory, &folder);
  }
  if (error != ERROR_SUCCESS) return error;
  // Only the write end goes to the child; a read that finds nothing
  // must not wait.
  int channel[2] = {-1, -1};
  if (pipe(channel) != 0 ||
      fcntl(channel[0], F_SETFD, FD_CLOEXEC) != 0 ||
      fcntl(channel[0], F_SETFL, O_NONBLOCK) != 0) {
    for (int end : channel)
      if (end >= 0) close(end);
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  pid_t pid = 0;
  error = Spawn(program, words, folder, channel, &pid);
  close(channel[1]);
  if (error != ERROR_SUCCESS) {
    close(channel[0]);
    return error;
  }

  auto child = std::make_shared<os_posix::Child>(pid, channel[0]);
  info->hProcess = os_posix::OpenHandle(std::make_unique<os_posix::ChildHandle>(
      os_posix::HandleKind::kProcess, child));
  info->hThread = os_posix::OpenHandle(std::make_unique<os_posix::ChildHandle>(
      os_posix::HandleKind::kThread, child));
  // The main thread of a Linux process has the process's id.
  info->dwProcessId = static_cast<DWORD>(pid);
  info->dwThreadId = static_cast<DWORD>(pid);
  return ERROR_SUCCESS;
}

}  // namespace

BOOL WINAPI CreateProcessA(LPCSTR application, LPSTR command_line,
                           LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                           DWORD creation_flags, LPVOID environment,
                           LPCSTR current_directory,
                           LPSTARTUPINFOA,
                           LPPROCESS_INFORMATION process_information) {
  // Traced even when made to fail: the trace shows what was attempted,
  // the program named (if any), then the command line.
  std::string attempted = application ? application : "";
  if (application && command_line) attempted += " ";
  if (command_line) attempted += command_line;
  os_posix::TraceCall("CreateProcessA", attempted.c_str());
  if (os_posix::TakeInjectedFailure("CreateProcessA")) return FALSE;
  // Children are started plainly. A flag is refused rather than ignored:
  // with DEBUG_PROCESS, say, Windows would leave the child waiting for a
  // debugger forever.
  if (creation_flags != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  os_posix::SweepOrphans();
  DWORD error = Start(application, command_line, environment, current_directory,
                      process_information);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}
