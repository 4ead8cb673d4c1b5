// Command lines, the program search and exit codes on the host.
#include <errno.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "host-scratch.h"
#include "os/posix/command-line-posix.h"

namespace {

using HostProcess = HostScratch;
using Words = std::vector<std::string>;

TEST(CommandLine, SplitsLikeTheCRuntime) {
  struct Case {
    const char* line;
    Words words;
  } cases[] = {
      {"prog a  b", {"prog", "a", "b"}},
      {"  \"C:\\Program Files\\x.exe\" arg",
       {"C:\\Program Files\\x.exe", "arg"}},
      {"p\\\"x a", {"p\\x a"}},  // the program name knows no escapes
      {"p \"a b\"\tc", {"p", "a b", "c"}},
      {"p a\\\\\\\"b", {"p", "a\\\"b"}},          // 2n+1: n and a quote
      {"p a\\\\\\\\\"b c\"", {"p", "a\\\\b c"}},  // 2n: n, quote groups
      {"p a\\\\b\\ c\\", {"p", "a\\\\b\\", "c\\"}},
      {"p \"\" x", {"p", "", "x"}},
      {"p \"a\"b\"c d\"", {"p", "abc d"}},
      {"p \"open end", {"p", "open end"}},
      {"", {}},
      {" \t ", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(os_posix::SplitCommandLine(c.line), c.words) << c.line;
  }
}

TEST_F(HostProcess, ArgumentsReachTheChild) {
  EXPECT_EQ(
      Run("sh -c \"printf '%s|' \\\"$@\\\" > args\" x a\\\"b \"c d\" e\\\\f"),
      0u);
  EXPECT_EQ(ReadFile("args"), "a\"b|c d|e\\\\f|");
}

TEST_F(HostProcess, SearchTriesTheApplicationFolderFirst) {
  MakeFile("cmd", "#!/bin/sh\nexit 3\n", true);
  MakeFile("helper", "exit 5\n", true);
  EXPECT_EQ(Run("cmd /d /c \"helper\""), 5u);  // the stand-in, not ./cmd
  MakeFile("Zoderudo-Probe", "#!/bin/sh\nexit 4\n", true);
  EXPECT_EQ(Run("ZODERUDO-PROBE"), 4u);
  EXPECT_EQ(Run(".\\zoderudo-probe"), 4u);
  EXPECT_EQ(Run("sh -c \"exit 9\""), 9u);  // from PATH
}

TEST_F(HostProcess, FilesThatCannotRunAreRefused) {
  MakeFile("data", "exit 0\n");
  MakeFile("garbage", "\x01\x02\x03", true);
  EXPECT_EQ(Run("data"), 1000u + ERROR_ACCESS_DENIED);
  EXPECT_EQ(Run("garbage"), 1000u + ERROR_BAD_EXE_FORMAT);
  char environment[] = "A=1\0";
  PROCESS_INFORMATION process;
  EXPECT_FALSE(Start("sh -c \"exit 0\"", &process, environment));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});
}

TEST_F(HostProcess, ExitCodesAndSignalsComeBack) {
  EXPECT_EQ(Run("sh -c \"exit 7\""), 7u);
  EXPECT_EQ(Run("sh -c \"kill -9 $$\""), 128u + SIGKILL);
  PROCESS_INFORMATION process;
  ASSERT_TRUE(Start("sleep 60", &process));
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 0), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(process.hThread, 1), WAIT_TIMEOUT);
  ASSERT_EQ(kill(static_cast<pid_t>(process.dwProcessId), SIGTERM), 0);
  EXPECT_EQ(WaitForSingleObject(process.hThread, INFINITE), WAIT_OBJECT_0);
  EXPECT_TRUE(GetExitCodeProcess(process.hProcess, &code));
  EXPECT_EQ(code, 128u + SIGTERM);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
}

// A child whose handles are closed is collected, now or at the next start.
TEST_F(HostProcess, ClosedChildrenLeaveNoZombies) {
  PROCESS_INFORMATION ended, running;
  ASSERT_TRUE(Start("sh -c \"exit 0\"", &ended));
  ASSERT_TRUE(Start("sleep 60", &running));
  pid_t ended_pid = static_cast<pid_t>(ended.dwProcessId);
  pid_t running_pid = static_cast<pid_t>(running.dwProcessId);
  siginfo_t info;
  ASSERT_EQ(waitid(P_PID, ended_pid, &info, WEXITED | WNOWAIT), 0);
  for (HANDLE handle :
       {ended.hProcess, ended.hThread, running.hProcess, running.hThread}) {
    EXPECT_TRUE(CloseHandle(handle));
  }
  EXPECT_EQ(waitpid(ended_pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  ASSERT_EQ(kill(running_pid, SIGKILL), 0);
  ASSERT_EQ(waitid(P_PID, running_pid, &info, WEXITED | WNOWAIT), 0);
  EXPECT_EQ(Run("sh -c \"exit 0\""), 0u);
  EXPECT_EQ(waitpid(running_pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST_F(HostProcess, CmdStandInRunsANameFromTheCurrentFolder) {
  MakeFile("die", "kill -9 $$\n");
  EXPECT_EQ(Run("CMD /C \"DIE\""), 128u + SIGKILL);
  EXPECT_EQ(Run("cmd /x \"die\""), 1u);
  EXPECT_EQ(Run("cmd /d /c \"die\" more"), 1u);
  // Where the stand-in's messages go is checked through a shell.
  char exe[4096];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(length, 0);
  std::string cmd(exe, static_cast<size_t>(length));
  cmd = cmd.substr(0, cmd.rfind('/')) + "/cmd";
  std::string line = "sh -c \"\\\"$0\\\" /d /c Nothere 2> err\" " + cmd;
  EXPECT_EQ(Run(line.c_str()), 1u);
  EXPECT_EQ(ReadFile("err"),
            "'Nothere' is not recognized as an internal or external command,\n"
            "operable program or batch file.\n");
}

}  // namespace
