// Whole runs with one call of the layer failing: every call the run makes,
// once with each error the real call can give. Whatever fails, the run
// ends (no crash, no hang) with a documented exit code and documented
// console lines, records no success it did not have, closes what it
// opened, goes back to its starting folder, and leaves on disk only what
// docs/reference.md says a failure may leave.
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fault-case.h"

namespace {

// What the real call can fail with; the first is the one the first pass
// injects at every call, the others follow in the second pass.
const std::map<std::string, std::vector<DWORD>>& Errors() {
  static const std::map<std::string, std::vector<DWORD>> errors = {
      // A missing or unimplemented security call is a system without
      // that security: the staging folder is made bare, as before.
      {"AddAccessAllowedAceEx",
       {ERROR_ALLOTTED_SPACE_EXCEEDED, ERROR_CALL_NOT_IMPLEMENTED}},
      {"AllocateAndInitializeSid", {ERROR_NOT_ENOUGH_MEMORY}},
      {"CloseHandle", {ERROR_INVALID_HANDLE}},
      {"CopyFileA",
       {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
        ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_HANDLE_DISK_FULL}},
      {"CreateDirectoryA",
       {ERROR_ACCESS_DENIED, ERROR_ALREADY_EXISTS, ERROR_PATH_NOT_FOUND,
        ERROR_DISK_FULL, ERROR_FILENAME_EXCED_RANGE}},
      {"CreateFileA",
       {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_PATH_NOT_FOUND,
        ERROR_FILE_NOT_FOUND, ERROR_DISK_FULL, ERROR_TOO_MANY_OPEN_FILES}},
      // A failure that sets no error must not read as the exit code 0.
      {"CreateProcessA",
       {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND,
        ERROR_NOT_ENOUGH_MEMORY, ERROR_BAD_EXE_FORMAT, ERROR_SUCCESS}},
      {"DeleteFileA",
       {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_FILE_NOT_FOUND}},
      {"FindClose", {ERROR_INVALID_HANDLE}},
      {"FindFirstFileA",
       {ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
        ERROR_NO_MORE_FILES, ERROR_INVALID_NAME}},
      {"FindNextFileA",
       {ERROR_ACCESS_DENIED, ERROR_NO_MORE_FILES, ERROR_NOT_ENOUGH_MEMORY}},
      {"FreeLibrary", {ERROR_MOD_NOT_FOUND}},
      {"GetCurrentDirectoryA", {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY}},
      {"GetDiskFreeSpaceA",
       {ERROR_NOT_READY, ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE,
        ERROR_ACCESS_DENIED}},
      {"GetEnvironmentVariableA", {ERROR_ENVVAR_NOT_FOUND}},
      {"GetExitCodeProcess",
       {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_SUCCESS}},
      {"GetFileAttributesA",
       {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_PATH_NOT_FOUND}},
      {"GetFileInformationByHandle",
       {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_INVALID_FUNCTION}},
      {"GetFileSize", {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED}},
      {"GetModuleHandleA", {ERROR_MOD_NOT_FOUND}},
      {"GetProcAddress", {ERROR_PROC_NOT_FOUND, ERROR_MOD_NOT_FOUND}},
      {"GetSystemDirectoryA", {ERROR_INVALID_PARAMETER}},
      {"GetTokenInformation", {ERROR_INSUFFICIENT_BUFFER}},
      {"GetVersionExA", {ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER}},
      {"InitializeAcl", {ERROR_INSUFFICIENT_BUFFER}},
      {"InitializeSecurityDescriptor", {ERROR_UNKNOWN_REVISION}},
      // Not knowing whether it runs under WoW64, the update does not apply.
      {"IsWow64Process", {ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE}},
      {"LoadLibraryA",
       {ERROR_NOT_ENOUGH_MEMORY, ERROR_MOD_NOT_FOUND, ERROR_ACCESS_DENIED}},
      {"LockFile", {ERROR_LOCK_VIOLATION, ERROR_ACCESS_DENIED}},
      // A sharing violation is waited out; the others fail the open.
      {"NtCreateFile",
       {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, ERROR_ALREADY_EXISTS,
        ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL}},
      {"OpenProcessToken",
       {ERROR_ACCESS_DENIED, ERROR_NOT_ENOUGH_MEMORY,
        ERROR_CALL_NOT_IMPLEMENTED}},
      {"ReadFile", {ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION}},
      {"RemoveDirectoryA",
       {ERROR_ACCESS_DENIED, ERROR_DIR_NOT_EMPTY, ERROR_SHARING_VIOLATION,
        ERROR_FILE_NOT_FOUND}},
      // The run then ends at a break, as before.
      {"SetConsoleCtrlHandler", {ERROR_INVALID_PARAMETER}},
      {"SetCurrentDirectoryA",
       {ERROR_PATH_NOT_FOUND, ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED,
        ERROR_DIRECTORY, ERROR_FILENAME_EXCED_RANGE}},
      {"SetEndOfFile", {ERROR_ACCESS_DENIED, ERROR_DISK_FULL}},
      {"SetFileAttributesA",
       {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION}},
      {"SetFilePointer", {ERROR_NEGATIVE_SEEK, ERROR_INVALID_HANDLE}},
      {"SetSecurityDescriptorControl", {ERROR_INVALID_PARAMETER}},
      {"SetSecurityDescriptorDacl", {ERROR_UNKNOWN_REVISION}},
      {"UnlockFile", {ERROR_NOT_LOCKED}},
      {"WaitForSingleObject",
       {ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED, ERROR_SUCCESS}},
      {"WriteFile", {ERROR_DISK_FULL, ERROR_ACCESS_DENIED, ERROR_LOCK_VIOLATION}},
  };
  return errors;
}

// The program's console lines; the ones that end in a blank or without a
// full stop are followed by a detail (the argument or a path).
const char* const kMessages[] = {
    "Unable to determine current directory.  Aborting update!",
    "Cannot Get System Directory",
    "zoDerudo: Cannot Read Version.id file",
    "Log File Creation Failed!",
    "Unable to determine if enough free space to copy files.",
    "Not enough disk space to copy necessary files.",
    "Unable to create temporary directory!",
    "Unable to copy files from ZR CD to hard drive.",
    "Unable to create temporary sub-directory!",
    "Unable to copy sub-directory update files to the hard drive.",
    "Unable to copy update files to the hard drive.",
    "Copying update files to the hard drive failed.",
    "Unable to delete files from temporary sub-directory.",
    "Could not remove temporary sub-directory.",
    "Could not delete files from temporary directory.",
};
const char* const kArgumentMessages[] = {
    "Unable to open package directory ",
    "Package directory path is too long: ",
    "Package directory holds the staging directory: ",
};
// A name in the package that leads nowhere.
const char* const kPackageEntryMessages[] = {
    "Unable to read package sub-directory C:\\pkg\\",
    "Unable to read package file C:\\pkg\\",
    "Package holds two files named C:\\pkg\\",
};
const char kCannotRemoveFile[] = "Unable to remove temp file C:\\ZRT";
const char kCannotRemoveStaging[] = "Could not remove temporary directoryC:\\ZRT";
const char kStagingFailed[] = "Copying update files to the hard drive failed.";
const char kCannotDeleteStaging[] =
    "Could not delete files from temporary directory.";
const char kLogFailed[] = "Log File Creation Failed!";

const char kPackageArgument[] = "C:\\pkg";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool StartsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool Documented(const std::string& line) {
  for (const char* message : kMessages)
    if (line == message) return true;
  for (const char* message : kArgumentMessages)
    if (line == std::string(message) + kPackageArgument) return true;
  for (const char* message : kPackageEntryMessages)
    if (StartsWith(line, message)) return true;
  return StartsWith(line, kCannotRemoveFile) ||
         (StartsWith(line, kCannotRemoveStaging) && line.back() == '\\');
}

// A snapshot entry without the write permission: "dir" or the content.
std::string Content(const std::string& entry) {
  return entry == "dir" ? entry : entry.substr(strlen("file w "));
}

bool Said(const std::vector<std::string>& lines, const std::string& start) {
  for (const std::string& line : lines)
    if (StartsWith(line, start)) return true;
  return false;
}

bool OneOf(const std::string& function,
           std::initializer_list<const char*> functions) {
  for (const char* name : functions)
    if (function == name) return true;
  return false;
}

// A run in place stages nothing: only these can it say.
bool SaidInPlace(const std::string& line) {
  return OneOf(line, {kMessages[0], "Cannot Get System Directory",
                      "zoDerudo: Cannot Read Version.id file", kLogFailed});
}

// The line with which a run stops before the check: the starting folder,
// the argument, or the staging; "" when it did not stop.
std::string StopLine(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (line == kMessages[0]) return line;
    for (const char* message : kArgumentMessages)
      if (StartsWith(line, message)) return line;
  }
  if (!lines.empty() && lines.back() == kStagingFailed) return lines.back();
  return "";
}

// What the step of a failed staging call says first, for the calls the
// trace names; "" where the step says nothing of its own, or the trace
// does not tell the step.
std::string StepMessage(bool staged, const Injection& injection,
                        const std::string& failed_call) {
  const std::string& function = injection.function;
  // The starting folder, then the package folder's name.
  if (function == "GetCurrentDirectoryA" && injection.nth == 1)
    return kMessages[0];
  // A run in place has no other steps that stop it.
  if (!staged) return "";
  if (function == "GetCurrentDirectoryA" && injection.nth == 2)
    return std::string(kArgumentMessages[0]) + kPackageArgument;
  std::string argument = failed_call.substr(
      std::min(failed_call.size(), function.size() + 1));
  bool in_staging = StartsWith(argument, "C:\\ZRT");
  size_t top_end = argument.find('\\', 3);
  bool staging_top = in_staging && top_end + 1 == argument.size();
  if (function == "SetCurrentDirectoryA" && argument == kPackageArgument)
    return std::string(kArgumentMessages[0]) + kPackageArgument;
  if (function == "SetCurrentDirectoryA" && staging_top)
    return kStagingFailed;
  if (function == "GetDiskFreeSpaceA")
    return "Unable to determine if enough free space to copy files.";
  // A name that is taken moves on to the next.
  if (function == "CreateDirectoryA" && staging_top &&
      injection.error != ERROR_ALREADY_EXISTS)
    return "Unable to create temporary directory!";
  if (function == "CreateDirectoryA" && in_staging && !staging_top)
    return "Unable to create temporary sub-directory!";
  // A file that is gone from the package is the package's fault.
  if (function == "CopyFileA" && in_staging) {
    if (OneOf(std::to_string(injection.error),
              {std::to_string(ERROR_FILE_NOT_FOUND).c_str(),
               std::to_string(ERROR_PATH_NOT_FOUND).c_str()}))
      return "Unable to read package file C:\\pkg\\" +
             argument.substr(top_end + 1);
    return "Unable to copy files from ZR CD to hard drive.";
  }
  if (function == "FindFirstFileA" && StartsWith(argument, "C:\\pkg\\sub"))
    return "Unable to read package sub-directory " +
           argument.substr(0, argument.size() - strlen("*.*"));
  return "";
}

}  // namespace

void PrintTo(const FaultScenario& scenario, std::ostream* out) {
  *out << scenario.name;
}

namespace {

struct Totals {
  int call_sites = 0;
  std::set<std::pair<std::string, DWORD>> error_codes;
  int cases = 0;
};

// Counts failed checks, so that a case can tell whether it failed.
class FailureCounter : public testing::EmptyTestEventListener {
 public:
  static int count;
  void OnTestPartResult(const testing::TestPartResult& result) override {
    if (result.failed()) ++count;
  }
};
int FailureCounter::count = 0;

class FaultInjection : public testing::TestWithParam<FaultScenario> {
 protected:
  static void SetUpTestSuite() {
    static bool listening = false;
    if (!listening)
      testing::UnitTest::GetInstance()->listeners().Append(new FailureCounter);
    listening = true;
  }

  // Checks one case; the test fails with what was wrong.
  void Check(const Injection& injection, const FaultOutcome& outcome);
  void CheckClean(const FaultOutcome& outcome);
  void CheckSteps(const Injection& injection, const FaultOutcome& outcome,
                  const std::vector<std::string>& lines, int32_t code);
  void CheckLog(const Injection& injection, const FaultOutcome& outcome,
                int32_t code);
  void CheckDrive(const Injection& injection, const FaultOutcome& outcome,
                  const std::vector<std::string>& lines);
};

// A staged copy can come out short without the run knowing: a listing
// that ends early reads as a complete one, and a package folder that is
// not there is walked as empty (a sub-folder is not: its parent listed
// it). The update may then be missing from the copy (the command
// interpreter says so and ends with 1), and so may its version file.
bool CopyMayBeShort(const FaultScenario& scenario, const Injection& injection) {
  if (!scenario.staged) return false;
  if (injection.function == "FindNextFileA")
    return injection.error == ERROR_NO_MORE_FILES;
  // The first listing is the package's, which an empty drive root fails.
  return injection.function == "FindFirstFileA" && injection.nth == 1 &&
         (injection.error == ERROR_NO_MORE_FILES ||
          injection.error == ERROR_FILE_NOT_FOUND ||
          injection.error == ERROR_PATH_NOT_FOUND);
}

void FaultInjection::Check(const Injection& injection,
                           const FaultOutcome& outcome) {
  const FaultScenario& scenario = GetParam();
  const std::string& function = injection.function;
  ASSERT_TRUE(outcome.ended) << "hung";
  ASSERT_TRUE(outcome.exited) << "crashed";
  ASSERT_TRUE(outcome.reported) << "exit status " << outcome.exit_status
                                << "\n" << outcome.errors;

  std::vector<std::string> lines = Lines(outcome.console);
  for (const std::string& line : lines)
    EXPECT_TRUE(Documented(line)) << "console: " << line;
  // Only the update writes to standard error: when its copy came out
  // short, or when the run could not wait for it and removed its copy.
  bool short_copy = CopyMayBeShort(scenario, injection);
  bool unwaited = scenario.staged && function == "WaitForSingleObject";
  if (!short_copy && !unwaited) {
    EXPECT_EQ(outcome.errors, "");
  }

  // The handle the failed close was to close stays open; nothing else.
  size_t leaked =
      OneOf(function, {"CloseHandle", "FindClose", "FreeLibrary"}) ? 1 : 0;
  EXPECT_EQ(outcome.open_handles, leaked);

  int32_t code;
  if (outcome.returned) {
    code = static_cast<int32_t>(outcome.result);
    EXPECT_EQ(outcome.exit_status, 0);
    // Unless the one call that goes back there failed: nothing else can
    // make it current.
    if (!scenario.staged ||
        outcome.failed_call != "SetCurrentDirectoryA C:\\start") {
      EXPECT_TRUE(outcome.at_start) << "not back in the starting folder";
    }
  } else {
    // Only a log that cannot be opened or written ends the run from within.
    code = outcome.exit_status;
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(!lines.empty() && lines.back() == kLogFailed)
        << outcome.console;
  }

  // The exit code says what happened: the update's own code once it ran,
  // else 99 or 1; and an error number only for the start of the update,
  // the wait for it or the query of its code.
  std::set<int32_t> codes;
  DWORD error = injection.error != ERROR_SUCCESS ? injection.error
                                                  : ERROR_GEN_FAILURE;
  if (outcome.update_ran) {
    EXPECT_TRUE(scenario.applies);
    codes = {scenario.update_exit};
    if (!outcome.returned) codes.insert(1);
    // Where it ran: the package itself, or the staging copy.
    if (!outcome.update_folder.empty()) {
      if (scenario.staged) {
        EXPECT_TRUE(StartsWith(outcome.update_folder, "ZRT"))
            << outcome.update_folder;
      } else {
        EXPECT_EQ(outcome.update_folder, "pkg");
      }
    }
  } else {
    codes = {99, 1};
    // The interpreter is the system folder's: without it none starts.
    if (OneOf(function, {"CreateProcessA", "GetSystemDirectoryA"}))
      codes.insert(static_cast<int32_t>(error));
  }
  // Started, but whether and how it ended is not known.
  if (OneOf(function, {"WaitForSingleObject", "GetExitCodeProcess"}))
    codes.insert(static_cast<int32_t>(error));
  EXPECT_EQ(codes.count(code), 1u) << "exit code " << code;

  CheckSteps(injection, outcome, lines, code);
  CheckLog(injection, outcome, code);
  CheckDrive(injection, outcome, lines);
}

// The run says what the step that failed says, and ends with that step's
// code: 1 where it stopped before the check, 99 where the check found
// nothing to do, the error where the update could not be started or
// waited for; a run in place never speaks of staging.
void FaultInjection::CheckSteps(const Injection& injection,
                                const FaultOutcome& outcome,
                                const std::vector<std::string>& lines,
                                int32_t code) {
  const FaultScenario& scenario = GetParam();
  const std::string& function = injection.function;
  if (!scenario.staged) {
    for (const std::string& line : lines)
      EXPECT_TRUE(SaidInPlace(line)) << "a run in place said: " << line;
  }
  std::string stop = StopLine(lines);
  if (!stop.empty()) {
    EXPECT_FALSE(outcome.update_ran) << stop;
    EXPECT_EQ(code, 1) << stop;
  }
  DWORD error = injection.error != ERROR_SUCCESS ? injection.error
                                                  : ERROR_GEN_FAILURE;
  // The interpreter is named from the system folder: without it, the
  // update cannot be started, as when the start itself fails.
  bool process_error =
      OneOf(function, {"CreateProcessA", "WaitForSingleObject",
                       "GetExitCodeProcess", "GetSystemDirectoryA"}) &&
      code == static_cast<int32_t>(error);
  if (outcome.returned && !outcome.update_ran && !process_error &&
      !CopyMayBeShort(scenario, injection)) {
    EXPECT_EQ(code, stop.empty() ? 99 : 1);
    // Only the check itself finds that an update that applies does not;
    // a WoW64 query that fails counts as 64-bit Windows.
    if (code == 99 && scenario.applies) {
      EXPECT_TRUE(OneOf(function, {"FindFirstFileA", "GetVersionExA",
                                   "GetSystemDirectoryA", "IsWow64Process"}))
          << "99 after " << function;
    }
  }
  std::string step =
      StepMessage(scenario.staged, injection, outcome.failed_call);
  if (!step.empty()) {
    ASSERT_FALSE(lines.empty()) << "nothing said of " << outcome.failed_call;
    EXPECT_EQ(lines.front(), step) << outcome.failed_call;
    bool own_stop = step == kMessages[0] ||
                    StartsWith(step, kArgumentMessages[0]);
    EXPECT_EQ(stop, own_stop ? step : kStagingFailed) << outcome.failed_call;
  }
}

// The run without a failure: the update's code or 99, nothing said, the
// one new record after the earlier one (the mark cut), and drive C: else
// as it was.
void FaultInjection::CheckClean(const FaultOutcome& outcome) {
  const FaultScenario& scenario = GetParam();
  ASSERT_TRUE(outcome.returned);
  int32_t code = scenario.applies ? scenario.update_exit : 99;
  EXPECT_EQ(static_cast<int32_t>(outcome.result), code);
  EXPECT_EQ(outcome.console, "");
  EXPECT_EQ(outcome.errors, "");
  EXPECT_EQ(outcome.update_ran, scenario.applies);
  if (scenario.applies && scenario.staged) {
    EXPECT_TRUE(StartsWith(outcome.update_folder, "ZRT"));
  } else if (scenario.applies) {
    EXPECT_EQ(outcome.update_folder, "pkg");
  }
  TreeSnapshot before = outcome.before, after = outcome.after;
  std::string log = Content(after["ZRLOG/ZR.log"]);
  before.erase("ZRLOG/ZR.log");
  after.erase("ZRLOG/ZR.log");
  EXPECT_EQ(after, before) << "drive C: changed";
  std::regex record(std::string(kEarlierRecord) +
                    "\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d,"
                    "Update=1\\.0,New=2\\.0,Status=" +
                    (code == 0 ? "Success" : "Unknown") + ",ReturnCode=" +
                    std::to_string(code) + " \r\n");
  EXPECT_TRUE(std::regex_match(log, record)) << log;
}

// The log holds the earlier record, then at most the run's own, whole,
// with the exit code; the end-of-file mark between them is cut unless a
// step of the cut failed.
void FaultInjection::CheckLog(const Injection& injection,
                              const FaultOutcome& outcome, int32_t code) {
  const FaultScenario& scenario = GetParam();
  auto log = outcome.after.find("ZRLOG/ZR.log");
  ASSERT_NE(log, outcome.after.end());
  std::string text = Content(log->second);
  ASSERT_TRUE(StartsWith(text, kEarlierRecord)) << text;
  text.erase(0, strlen(kEarlierRecord));
  // A mark left, or an end that could not be read, puts the record on a
  // line of its own.
  bool cut_failed = OneOf(injection.function,
                          {"LockFile", "GetFileSize", "SetFilePointer",
                           "ReadFile", "NtCreateFile", "SetEndOfFile"});
  if (!text.empty() && text[0] == '\x1A') {
    text.erase(0, 1);
    EXPECT_TRUE(text.empty() || cut_failed)
        << "the end-of-file mark stayed before the record";
  }
  if (StartsWith(text, "\r\n") && cut_failed) text.erase(0, 2);
  if (text.empty()) {
    // No record: the run ended at the log, had no version file, or its
    // write failed.
    EXPECT_TRUE(!outcome.returned ||
                Said(Lines(outcome.console),
                     "zoDerudo: Cannot Read Version.id file") ||
                injection.function == "WriteFile")
        << "no record";
    return;
  }
  static const std::regex record(
      "\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d:\\d\\d,Update=([^,\r\n]*),"
      "New=([^,\r\n]*),Status=(Success|Unknown),ReturnCode=(-?\\d+) \r\n");
  std::smatch fields;
  ASSERT_TRUE(std::regex_match(text, fields, record)) << text;
  ASSERT_TRUE(outcome.returned);
  EXPECT_EQ(fields[4].str(), std::to_string(code));
  EXPECT_EQ(fields[3].str() == "Success",
            code == 0 && outcome.update_ran && scenario.update_exit == 0);

  // Read from the folder the update ran in: the package, or its copy;
  // from the starting folder when the staging failed (or, the copy having
  // come out short, the update was missing from it and ended with 1).
  std::string versions = fields[1].str() + "," + fields[2].str();
  std::set<std::string> expected = {"1.0,2.0"};
  if (scenario.staged && code == 1 && !outcome.update_ran) {
    expected = {"start,here"};
    if (CopyMayBeShort(scenario, injection)) expected.insert("1.0,2.0");
  }
  if (injection.function == "ReadFile") expected.insert(",");
  EXPECT_EQ(expected.count(versions), 1u) << versions;
}

// Drive C: is as it was, but for the new record, a staging folder that the
// console says stays (or that a failed log leaves behind), the ZRLOG
// folder, and the empty reserved name when deleting it failed.
void FaultInjection::CheckDrive(const Injection& injection,
                                const FaultOutcome& outcome,
                                const std::vector<std::string>& lines) {
  const FaultScenario& scenario = GetParam();
  bool staging_may_stay =
      scenario.staged &&
      (Said(lines, kStagingFailed) || Said(lines, kCannotDeleteStaging) ||
       Said(lines, kCannotRemoveStaging) || !outcome.returned);
  std::set<std::string> staging_folders;
  for (const auto& [name, what] : outcome.after) {
    if (name == "ZRLOG/ZR.log") continue;
    if (StartsWith(name, "ZRT")) {
      std::string top = name.substr(0, name.find('/'));
      if (top == name && what != "dir") {
        EXPECT_TRUE(injection.function == "DeleteFileA" && injection.nth == 1)
            << "reserved name left: " << name;
        EXPECT_EQ(what, "file w ");
        continue;
      }
      staging_folders.insert(top);
      EXPECT_TRUE(staging_may_stay) << "staging left: " << name;
      // What was copied before the failure, nothing else.
      if (top != name) {
        auto source = outcome.before.find("pkg" + name.substr(top.size()));
        ASSERT_NE(source, outcome.before.end()) << name;
        EXPECT_EQ(Content(what), Content(source->second)) << name;
      }
      continue;
    }
    auto was = outcome.before.find(name);
    EXPECT_TRUE(was != outcome.before.end() && was->second == what)
        << "changed: " << name;
  }
  EXPECT_LE(staging_folders.size(), 1u);
  for (const auto& [name, what] : outcome.before)
    EXPECT_EQ(outcome.after.count(name), 1u) << "gone: " << name;
}

TEST_P(FaultInjection, EveryCallFailingWithEachOfItsErrors) {
  const FaultScenario& scenario = GetParam();
  FaultOutcome baseline = RunFaultCase(scenario, Injection());
  Check(Injection(), baseline);
  CheckClean(baseline);
  ASSERT_FALSE(HasFailure()) << "the run without a failure";
  ASSERT_TRUE(baseline.update_ran == scenario.applies);
  ASSERT_FALSE(baseline.calls.empty());

  Totals totals;
  // Enough to see a pattern; the rest would repeat it.
  const int kMostFailedCases = 40;
  int failed_cases = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [function, count] : baseline.calls) {
      auto errors = Errors().find(function);
      ASSERT_NE(errors, Errors().end()) << "no errors listed for " << function;
      if (pass == 0) totals.call_sites += count;
      size_t first = pass == 0 ? 0 : 1;
      size_t end = pass == 0 ? 1 : errors->second.size();
      for (size_t e = first; e < end; ++e) {
        totals.error_codes.insert({function, errors->second[e]});
        for (int nth = 1; nth <= count; ++nth) {
          Injection injection{function, errors->second[e], nth};
          SCOPED_TRACE(function + " call " + std::to_string(nth) +
                       " fails with " + std::to_string(injection.error));
          FaultOutcome outcome = RunFaultCase(scenario, injection);
          ++totals.cases;
          int before = FailureCounter::count;
          Check(injection, outcome);
          if (FailureCounter::count != before) {
            ADD_FAILURE() << "console:\n" << outcome.console << "errors:\n"
                          << outcome.errors;
            if (++failed_cases == kMostFailedCases) return;
          }
        }
      }
    }
  }
  printf("fault injection, %s: %zu functions, %d call sites, %zu error "
         "codes, %d cases\n",
         scenario.name, baseline.calls.size(), totals.call_sites,
         totals.error_codes.size(), totals.cases);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FaultInjection,
    testing::Values(FaultScenario{"InPlaceUpdateExits0", false, true, 0},
                    FaultScenario{"InPlaceUpdateExits7", false, true, 7},
                    FaultScenario{"InPlaceNotApplicable", false, false, 0},
                    FaultScenario{"StagedUpdateExits0", true, true, 0},
                    FaultScenario{"StagedUpdateExits7", true, true, 7},
                    FaultScenario{"StagedNotApplicable", true, false, 0}),
    [](const testing::TestParamInfo<FaultScenario>& info) {
      return std::string(info.param.name);
    });

}  // namespace
