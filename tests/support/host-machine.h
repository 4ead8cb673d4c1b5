// A scratch Windows machine for host tests of the program's routines: drive
// C: is a fresh temporary folder with a system32\DRIVERS folder, the
// system's cmd.exe in system32, and a package folder C:\pkg, which is the current directory during the test.
// No systemdrive variable is set, so the result log goes to C:\ZRLOG.
#ifndef ZODERUDO_TESTS_SUPPORT_HOST_MACHINE_H_
#define ZODERUDO_TESTS_SUPPORT_HOST_MACHINE_H_

#include <gtest/gtest.h>

#include <string>

#include "os/os.h"

// Puts the system's own cmd.exe in the host folder `system_folder`: a
// script that starts the host stand-in for cmd built beside the running
// test program. The program starts no interpreter from anywhere else.
void InstallSystemInterpreter(const std::string& system_folder);

class HostMachineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // What GetVersionExA answers; both record sizes are accepted.
  void SetWindows(DWORD platform, DWORD major, DWORD minor, WORD suite = 0);

  // Host paths below drive C:.
  std::string HostPath(const std::string& below_c) const;
  void MakeFile(const std::string& below_c, const std::string& content = "");
  void MakeFolder(const std::string& below_c);
  bool Exists(const std::string& below_c) const;
  std::string ReadFile(const std::string& below_c) const;

  // An update command in C:\pkg that records the folder it ran in (in
  // C:\pkg\ran-in.txt, wherever it runs) and exits with `exit_code`, all
  // 32 bits of it.
  void MakeUpdateCommand(int exit_code);
  // The folder the update command ran in, as a host path; empty if it
  // did not run.
  std::string UpdateRanIn() const;

  std::string drive_c_;

 private:
  std::string saved_cwd_;
};

#endif  // ZODERUDO_TESTS_SUPPORT_HOST_MACHINE_H_
