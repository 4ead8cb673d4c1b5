// Settings of the Windows machine that the POSIX layer presents.
//
// A host process takes them from its environment the first time any call
// of the layer needs them:
//   ZODERUDO_DRIVE_<L>=<host folder>  maps drive letter L (A-Z) to a host
//                                    folder. Without any setting Z: is the
//                                    host root "/", as under Wine.
//   ZODERUDO_WINVER=<version>        what GetVersionExA answers: nt40,
//                                    win2k, winxp, win2003, win98, or
//                                    PLATFORM.MAJOR.MINOR[.SUITEMASK] such
//                                    as 2.5.0.0x80. Default: win2k.
//   ZODERUDO_SYSTEM_DIR=<path>       what GetSystemDirectoryA answers.
//                                    Default: C:\WINDOWS\system32.
//   ZODERUDO_FREE_SPACE=<s>,<b>,<f>,<t>  what GetDiskFreeSpaceA answers for
//                                    every drive: sectors per cluster,
//                                    bytes per sector, free and total
//                                    clusters; empty or malformed makes it
//                                    fail. Default: the host's figures.
//   ZODERUDO_SLEEP=skip              makes Sleep return at once (it is
//                                    still traced).
//   ZODERUDO_CODEPAGE=<number>       the ANSI code page: 932, 936, 949 and
//                                    950 are double-byte (IsDBCSLeadByte,
//                                    and a trail byte 0x5C in a path is no
//                                    separator); any other is single-byte.
//                                    Default: 1252.
//   ZODERUDO_LOCAL_TIME=YYYY-MM-DD HH:MM:SS
//                                    fixes what GetLocalTime answers (an
//                                    unreadable value gives all zeros).
//                                    Default: the host clock, local zone.
//   ZODERUDO_SECURITY=<kind>         the security calls that
//                                    GetProcAddress finds in ADVAPI32: nt,
//                                    there and working; missing, not there
//                                    (Windows 9x; also any unknown kind);
//                                    stubs, there but each failing with
//                                    ERROR_CALL_NOT_IMPLEMENTED. Default: nt.
//   ZODERUDO_WOW64=<machine>[,<calls>]
//                                    the machine under the 32-bit program:
//                                    x86, a 32-bit Windows; amd64 or ia64,
//                                    a 64-bit one, where the program runs
//                                    under WoW64. And the KERNEL32 calls
//                                    that tell so: both (the default),
//                                    native-only, none, iswow64-fails or
//                                    iswow64-false (see HostWow64Calls).
//                                    An unknown value gives x86 with
//                                    IsWow64Process failing. Default: x86.
//   ZODERUDO_SHORT_NAMES=on          long names answer to 8.3 aliases, as
//                                    on NTFS (see HostSetShortNames).
//                                    Default: off.
//
// The machine's environment is the process's own; GetEnvironmentVariableA
// finds a name in any letter case ("systemdrive" finds SystemDrive).
//
// Tests change the machine in process through the calls below and never
// need to touch the routines built on top of the layer.
#ifndef ZODERUDO_OS_POSIX_HOST_CONTROL_H_
#define ZODERUDO_OS_POSIX_HOST_CONTROL_H_

#include <stddef.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "os/posix/win32-posix.h"

// Forgets every in-process change and takes the settings from the
// environment again. Also clears injected failures and the trace.
void HostResetMachine();

// Maps a drive letter (either case) to a host folder; a null folder
// removes the drive.
void HostMapDrive(char letter, const char* host_folder);

// What GetVersionExA answers: the record (its size field is ignored) and
// whether the query succeeds when given the extended record (156 bytes)
// and the plain one (148 bytes). A failing query sets
// ERROR_INSUFFICIENT_BUFFER, as Windows does for a record it rejects.
void HostSetVersion(const OSVERSIONINFOEXA& record, bool extended_ok,
                    bool plain_ok);

// Sets the ANSI code page (see ZODERUDO_CODEPAGE above).
void HostSetCodePage(UINT code_page);

// Makes the narrow calls show the host entry `host_name` (in any folder)
// as `narrow_name`, as Windows shows a name that has no exact form in the
// ANSI code page by its nearest letters ("Ceština" for "Čeština") or "?":
// in directory listings and in GetCurrentDirectoryA. Every other call
// takes names as they are, so the narrow name leads nowhere, or to another
// entry of that name. A null `narrow_name` takes the setting back.
void HostSetNarrowName(const char* host_name, const char* narrow_name);

// Sets what GetSystemDirectoryA answers; a null path makes it fail.
void HostSetSystemDirectory(const char* windows_path);

// Fixes what GetDiskFreeSpaceA answers for every existing drive. To make
// it fail, use HostFailCall("GetDiskFreeSpaceA", ...).
void HostSetFreeSpace(DWORD sectors_per_cluster, DWORD bytes_per_sector,
                      DWORD free_clusters, DWORD total_clusters);
// Fixes what GetLocalTime answers; null goes back to the host clock.
void HostSetLocalTime(const SYSTEMTIME* time);

// Makes the next `times` calls of the named function (for example
// "GetCurrentDirectoryA") fail with `error`, without doing anything else.
void HostFailCall(const char* function, DWORD error, int times);

// Calls `hook` at the start of every later call of the named function
// that can fail, before the call does anything: a test plays another
// program, or the user at the console, acting at that moment. An empty
// hook removes it.
void HostBeforeCall(const char* function, std::function<void()> hook);

// Makes only the `nth` call of the named function from now on fail, once,
// with `error`; the calls before and after it do what they always do. An
// `nth` below 1 takes back a failure set for the function.
void HostFailNthCall(const char* function, DWORD error, int nth);

// How often each function of the layer that can fail was called since the
// machine was reset or the counts were last taken (which clears them).
// Every call counts, made to fail or not. GetLastError, SetLastError,
// GetLocalTime and Sleep cannot fail and are not counted.
std::map<std::string, int> HostTakeCallCounts();

// How many handles (files, searches, processes, threads, tokens, loaded
// modules) are open, and SIDs allocated and not freed: a test can check
// that a routine gave back everything it took.
size_t HostOpenHandleCount();

// Makes Sleep return at once (on), the tick count passing what it skipped,
// or wait as asked (off).
void HostSkipSleep(bool on);

// Makes GetFileInformationByHandle give 0 as every entry's file index
// (on), as file systems that keep none do (some network shares), or the
// inode number again (off).
void HostSetNoFileIndex(bool on);

// Records, while on, one line per call of the calls that act on files,
// folders, processes and time: CreateDirectoryA, CreateFileA, CopyFileA,
// CreateProcessA, DeleteFileA, FindFirstFileA, GetDiskFreeSpaceA,
// NtCreateFile, RemoveDirectoryA, SetCurrentDirectoryA
// and Sleep. Each line is the function's name, one blank and the path,
// command line or number passed in (for CopyFileA the new file's path; for
// CreateProcessA the program's path, when one is given, a blank and the
// command line; for NtCreateFile the Windows path, a name relative to a
// held folder joined to the path that folder was opened by). An open
// (CreateFileA, NtCreateFile) adds the access and share mode asked for:
// "CreateFileA C:\ZRLOG access=0x1 share=0x1". Made even when the call is
// made to fail.
void HostTraceCalls(bool on);
std::vector<std::string> HostTakeTrace();

// The security calls that GetProcAddress finds in ADVAPI32 (see
// ZODERUDO_SECURITY above).
enum class HostSecurity { kNt, kMissing, kStubs };
void HostSetSecurity(HostSecurity security);

// The machine under the 32-bit program, and which KERNEL32 calls that
// tell a program whether it runs under WoW64 GetProcAddress finds.
// IsWow64Process answers for the process's pseudo-handle and its own
// process handles; GetNativeSystemInfo gives the machine's processor, where
// a 64-bit Windows has one (GetSystemInfo, not offered, would give x86).
enum class HostMachine { kX86, kAmd64, kIa64 };
enum class HostWow64Calls {
  kBoth,            // XP SP2, Server 2003 SP1 and later
  kNativeOnly,      // GetNativeSystemInfo alone: XP, Server 2003 before SP1
  kNone,            // neither: Windows 2000 and older
  kIsWow64Fails,    // both, IsWow64Process failing (ERROR_ACCESS_DENIED)
  kIsWow64False,    // both, IsWow64Process answering FALSE whatever the
                    // machine, as a faulty Wine has been seen to
};
void HostSetWow64(HostMachine machine, HostWow64Calls calls);

// Long names answer to 8.3 aliases, as on NTFS: a name that does not fit
// 8.3 gets BASE~N.EXT (the first six letters, digits and the like in upper
// case, the first three of its extension) with the lowest N that no entry
// of its folder has as its name or alias. An alias is given the first time
// its folder is listed or a name of that shape is looked up in it, in name
// order, and kept while the entry is there. Directory listings show it in
// cAlternateFileName; a path may name the entry by it. Real names come
// first: an entry whose own name has an alias's shape is found by it.
void HostSetShortNames(bool on);

// The account of the process token: a user of the machine's own domain,
// as under Wine.
extern const char kHostTokenUser[];

// Called inside every CreateDirectoryA and NtCreateFile that made a
// folder, with its Windows path (for NtCreateFile with the folder already
// held): a test plays another account that acts before the program's next
// call. An empty hook removes it.
void HostOnFolderMade(std::function<void(const char* windows_path)> hook);

// One entry of a DACL: its type (ACCESS_ALLOWED_ACE_TYPE, ...), its flags
// (OBJECT_INHERIT_ACE, ...), the rights and the trustee's SID ("S-1-1-0").
struct HostAccessEntry {
  BYTE type;
  BYTE flags;
  DWORD rights;
  std::string trustee;
};

// A security descriptor as CreateDirectoryA was given it. Without a DACL
// (none present, or a null one) everyone may do everything.
struct HostFolderSecurity {
  bool has_dacl = false;
  bool dacl_protected = false;  // SE_DACL_PROTECTED: nothing inherited
  std::vector<HostAccessEntry> entries;
};

// What the last CreateDirectoryA or NtCreateFile that made the folder
// `path` (a Windows path, any letter case) was given; kept when the folder
// is gone, for a test to read after a run. False when it was given no
// descriptor, or no
// such folder was made since the machine was reset. The layer enforces
// none of it: the host's permissions stay the process's defaults.
bool HostMadeFolderSecurity(const char* path, HostFolderSecurity* security);

#endif  // ZODERUDO_OS_POSIX_HOST_CONTROL_H_
