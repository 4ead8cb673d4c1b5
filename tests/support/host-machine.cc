#include "support/host-machine.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "os/posix/host-control.h"

namespace fs = std::filesystem;

void InstallSystemInterpreter(const std::string& system_folder) {
  fs::path stand_in = fs::read_symlink("/proc/self/exe").parent_path() / "cmd";
  std::string interpreter = system_folder + "/cmd.exe";
  {
    std::ofstream out(interpreter, std::ios::binary);
    out << "#!/bin/sh\nexec '" << stand_in.string() << "' \"$@\"\n";
  }
  fs::permissions(interpreter, fs::perms::owner_all);
}

void HostMachineTest::SetUp() {
  HostResetMachine();
  // The log's drive comes from the system directory unless a test says.
  SetEnvironmentVariableA("systemdrive", nullptr);
  saved_cwd_ = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "zoderudo-XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  drive_c_ = fs::canonical(pattern).string();
  HostMapDrive('C', drive_c_.c_str());
  HostSetSystemDirectory("C:\\WINDOWS\\system32");
  MakeFolder("WINDOWS/system32/DRIVERS");
  InstallSystemInterpreter(HostPath("WINDOWS/system32"));
  MakeFolder("pkg");
  ASSERT_TRUE(SetCurrentDirectoryA("C:\\pkg"));
}

void HostMachineTest::TearDown() {
  fs::current_path(saved_cwd_);
  HostResetMachine();
  std::error_code ignored;
  fs::remove_all(drive_c_, ignored);
}

void HostMachineTest::SetWindows(DWORD platform, DWORD major, DWORD minor,
                                 WORD suite) {
  OSVERSIONINFOEXA record = {};
  record.dwPlatformId = platform;
  record.dwMajorVersion = major;
  record.dwMinorVersion = minor;
  record.wSuiteMask = suite;
  HostSetVersion(record, true, true);
}

std::string HostMachineTest::HostPath(const std::string& below_c) const {
  return drive_c_ + "/" + below_c;
}

void HostMachineTest::MakeFile(const std::string& below_c,
                               const std::string& content) {
  std::ofstream out(HostPath(below_c), std::ios::binary);
  out << content;
  ASSERT_TRUE(out.good()) << below_c;
}

void HostMachineTest::MakeFolder(const std::string& below_c) {
  fs::create_directories(HostPath(below_c));
}

bool HostMachineTest::Exists(const std::string& below_c) const {
  return fs::exists(HostPath(below_c));
}

std::string HostMachineTest::ReadFile(const std::string& below_c) const {
  std::ifstream in(HostPath(below_c), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void HostMachineTest::MakeUpdateCommand(int exit_code) {
  std::string record = HostPath("pkg/ran-in.txt");
  // A code beyond the host's 8 bits goes whole through the channel that
  // the layer gives its children; the exit status keeps its low 8 bits.
  std::string code = std::to_string(exit_code);
  MakeFile("pkg/ZELMOR_UPDATE",
           "#!/bin/sh\npwd -P > '" + record + "'\necho " + code +
               " >&$ZODERUDO_EXIT_CODE_FD\nexit $((" + code + " & 255))\n");
  fs::permissions(HostPath("pkg/ZELMOR_UPDATE"), fs::perms::owner_all);
}

std::string HostMachineTest::UpdateRanIn() const {
  std::string text = ReadFile("pkg/ran-in.txt");
  if (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text;
}
