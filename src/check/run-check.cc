#include "check/run-check.h"

#include <stdlib.h>
#include <string.h>

#include "check/code-page-text.h"
#include "check/findings.h"
#include "check/name-rules.h"
#include "check/package-tree.h"
#include "check/path-rules.h"
#include "check/program-rules.h"
#include "check/update-rules.h"
#include "check/version-rules.h"
#include "console/report-line.h"
#include "os/os.h"
#include "staging/same-folder.h"
#include "staging/staging-area.h"

namespace {

const char kUsage[] =
    "usage: zrcheck [--at PATH] [--code-page N]... PACKAGE_FOLDER\n"
    "  Names every fault of the package that a run on a PC would meet:\n"
    "  one line per finding, PATH: error|warning: what happens and what to\n"
    "  do, then the counts. Exit code 0: no error, 1: errors, 2: usage or\n"
    "  a folder that cannot be read.\n"
    "  --at PATH       where the folder stands when a PC runs it: on the\n"
    "                  CD (default D:\\ and its name; D:\\ for the CD's\n"
    "                  root), or the share path, \\\\server\\share\\package,\n"
    "                  when it is deployed from a share: give that\n"
    "  --code-page N   a code page of the PCs (repeatable; default the\n"
    "                  ANSI code page of this machine)";
const char kCdDrive[] = "D:\\";

struct Options {
  const char* package;
  const char* at;
  CodePages pages;
};

bool IsHelp(const char* argument) {
  return strcmp(argument, "-h") == 0 || strcmp(argument, "--help") == 0 ||
         strcmp(argument, "-?") == 0 || strcmp(argument, "/?") == 0;
}

int UsageError(const char* what, const char* detail) {
  ReportErrorLine(what, detail);
  ReportErrorLine(kUsage);
  return CheckUsage;
}

bool ParseCodePage(const char* text, UINT* code_page) {
  char* end = nullptr;
  unsigned long number = strtoul(text, &end, 10);
  if (text[0] < '0' || text[0] > '9' || *end != '\0' || number > 0xFFFF ||
      !KnownCodePage(static_cast<UINT>(number)))
    return false;
  *code_page = static_cast<UINT>(number);
  return true;
}

// -1 when the options are sound, else the exit code.
int ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    bool has_value = i + 1 < argc;
    if (strcmp(argument, "--at") == 0 && has_value) {
      options->at = argv[++i];
    } else if (strcmp(argument, "--code-page") == 0 && has_value) {
      CodePages* pages = &options->pages;
      if (pages->count == kMostCodePages)
        return UsageError("zrcheck: too many code pages at ", argv[i + 1]);
      UINT page = 0;
      if (!ParseCodePage(argv[++i], &page))
        return UsageError("zrcheck: not a code page Windows knows: ",
                          argv[i]);
      // One page given twice counts once.
      bool known = false;
      for (unsigned k = 0; k < pages->count; ++k)
        known = known || pages->pages[k] == page;
      if (!known)
        pages->pages[pages->count++] = page;
    } else if (argument[0] == '-' || options->package != nullptr) {
      return UsageError("zrcheck: unknown or incomplete argument ", argument);
    } else {
      options->package = argument;
    }
  }
  if (options->package == nullptr)
    return UsageError("zrcheck: no package folder given", nullptr);
  return -1;
}

// The last name of `path`, read by characters (a trail byte 0x5C is no
// backslash), up to its trailing backslashes, in `name` (MAX_PATH
// characters); empty for a root.
void LastName(const char* path, char* name) {
  size_t begin = 0, end = 0, next = 0;
  for (size_t at = 0, step; (step = ListedCharacterLength(path + at));
       at += step) {
    if (step == 1 && path[at] == ':') {
      begin = end = next = at + 1;  // a drive is no name
    } else if (step == 1 && path[at] == '\\') {
      next = at + 1;
    } else {
      begin = at == next ? at : begin;
      end = at + step;
    }
  }
  size_t length = end - begin < MAX_PATH ? end - begin : MAX_PATH - 1;
  memcpy(name, path + begin, length);
  name[length] = '\0';
}

// The package folder's place when run: --at, or D:\ and the current
// folder's name; with a backslash at its end, in `folder` (2 * MAX_PATH
// characters, zero-filled).
void PlaceOnCd(const char* at, char* folder, CdPlace* cd) {
  char current[MAX_PATH] = {};
  if (at == nullptr) {
    strcpy(folder, kCdDrive);
    DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length > 0 && length < MAX_PATH)
      LastName(current, folder + strlen(folder));
  } else {
    strncpy(folder, at, MAX_PATH);
  }
  cd->folder = folder;
  cd->cd = !(folder[0] == '\\' && folder[1] == '\\');
  cd->level = 0;
  bool backslash_last = false;
  for (size_t step; (step = ListedCharacterLength(folder)) != 0;
       folder += step) {
    backslash_last = step == 1 && *folder == '\\';
    cd->level += backslash_last;
  }
  if (!backslash_last) {
    strcat(folder, "\\");
    ++cd->level;
  }
}

// Each name above the package folder where it stands when run, each a
// finding of its path up to that name.
void CheckNamesAbove(Findings* findings, const CodePages& pages,
                     const char* folder) {
  char path[2 * MAX_PATH];
  strcpy(path, folder);
  size_t begin = 0, name = 0, name_end = 0;
  for (size_t at = 0, step; (step = ListedCharacterLength(path + at));
       at += step) {
    if (step != 1 || path[at] != '\\' || at == begin) {
      begin = step == 1 && path[at] == '\\' ? at + 1 : begin;
      continue;
    }
    if (name_end > 0) {  // a name before this one
      path[name_end] = '\0';
      PackageEntry above = {path, path + name, true, 0, 0};
      CheckNameAbove(findings, above, pages);
      path[name_end] = '\\';
    }
    name = begin;
    name_end = at;
    begin = at + 1;
  }
}

// The package folder's own name, where it stands when run, is read like
// every name in it, and the names above it as a PC reads them; and the
// name this machine gives the folder must lead back to it, as a staged
// run tests before it copies.
void CheckOwnName(Findings* findings, const CodePages& pages,
                  const CdPlace& cd) {
  CheckNamesAbove(findings, pages, cd.folder);
  char name[MAX_PATH];
  LastName(cd.folder, name);
  if (name[0] != '\0') {
    PackageEntry own = {".", name, true, 0, 0};
    CheckName(findings, own, pages, cd.cd);
  }
  char current[MAX_PATH] = {};
  DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
  if (length == 0 || length >= MAX_PATH || LeadsBack(current))
    return;
  FindingText text = {};
  Say(&text, "this machine gives the package folder the name ");
  Say(&text, current);
  Say(&text, ", which leads elsewhere: a character of it has no form in "
             "code page ");
  SayNumber(&text, GetACP());
  Say(&text, ", and every staged run fails (\"Unable to open package "
             "directory\"); rename it in ASCII");
  AddFinding(findings, ".", FindingError, text.text);
}

struct Check {
  Findings* findings;
  const CodePages* pages;
  const CdPlace* cd;
  UpdateFiles update;
  bool program;
  uint64_t bytes;
};

bool SameName(const char* name, const char* other) {
  for (;; ++name, ++other) {
    char a = *name >= 'a' && *name <= 'z' ? *name - 'a' + 'A' : *name;
    char b = *other >= 'a' && *other <= 'z' ? *other - 'a' + 'A' : *other;
    if (a != b)
      return false;
    if (a == '\0')
      return true;
  }
}

void TakeEntry(void* context, const PackageEntry& entry) {
  Check* check = static_cast<Check*>(context);
  CheckName(check->findings, entry, *check->pages, check->cd->cd);
  CheckPath(check->findings, entry, *check->pages, *check->cd);
  check->bytes += entry.size;
  if (entry.depth != 1)
    return;
  NoteUpdateEntry(check->findings, entry, &check->update);
  check->program =
      check->program || (!entry.folder && SameName(entry.name, kProgramFile));
}

void CheckSize(Findings* findings, uint64_t bytes) {
  if (bytes <= kFreeSpaceNeeded)
    return;
  FindingText text = {};
  Say(&text, "the package has ");
  SayNumber(&text, static_cast<int64_t>(bytes));
  Say(&text, " bytes, more than the ");
  SayNumber(&text, kFreeSpaceNeeded);
  Say(&text, " free bytes a staged run checks for before it copies: on a "
             "drive with less free space than the package the copy fails "
             "part-way");
  AddFinding(findings, ".", FindingWarning, text.text);
}

}  // namespace

int RunCheck(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (IsHelp(argv[i])) {
      ReportLine(kUsage);
      return CheckPassed;
    }
  }
  Options options = {};
  int usage = ParseOptions(argc, argv, &options);
  if (usage >= 0)
    return usage;
  if (options.pages.count == 0) {
    // A page it cannot judge in (UTF-8, 65001, which Windows 10 offers)
    // would make every name that is not ASCII one without an exact form.
    UINT page = GetACP();
    if (!KnownCodePage(page)) {
      FindingText text = {};
      Say(&text, "zrcheck: this machine's ANSI code page, ");
      SayNumber(&text, page);
      Say(&text, ", is not one zrcheck knows: give the PCs' code page "
                 "with --code-page N");
      return UsageError(text.text, nullptr);
    }
    options.pages.pages[options.pages.count++] = page;
  }
  // The test of the folder's own name may leave another folder current:
  // the package is then entered again from where zrcheck started (its
  // name as this machine gives it may lead nowhere).
  char starting[MAX_PATH] = {};
  DWORD started = GetCurrentDirectoryA(MAX_PATH, starting);
  if (!SetCurrentDirectoryA(options.package)) {
    ReportErrorLine("zrcheck: cannot open the package folder ",
                    options.package);
    return CheckUsage;
  }
  // D:\, a name of up to MAX_PATH characters and a backslash.
  char at[2 * MAX_PATH] = {};
  CdPlace cd;
  PlaceOnCd(options.at, at, &cd);

  Findings findings = {};
  BY_HANDLE_FILE_INFORMATION package = {}, current = {};
  bool known = ReadFolderIdentity(".", &package);
  CheckOwnName(&findings, options.pages, cd);
  bool left = !known || !ReadFolderIdentity(".", &current) ||
              !SameFolderIdentity(package, current);
  if (left && (started == 0 || started >= MAX_PATH ||
               !SetCurrentDirectoryA(starting) ||
               !SetCurrentDirectoryA(options.package))) {
    free(findings.items);
    ReportErrorLine("zrcheck: cannot open the package folder ",
                    options.package);
    return CheckUsage;
  }
  Check check = {&findings, &options.pages, &cd, {}, false, 0};
  if (!WalkPackage(&findings, TakeEntry, &check)) {
    free(findings.items);
    ReportErrorLine("zrcheck: cannot read the package folder ",
                    options.package);
    return CheckUsage;
  }
  CheckUpdate(&findings, check.update);
  CheckVersionFile(&findings);
  CheckProgram(&findings, check.program);
  CheckSize(&findings, check.bytes);
  bool failed = findings.errors > 0 || findings.out_of_memory;
  WriteFindings(&findings);
  return failed ? CheckFailed : CheckPassed;
}
