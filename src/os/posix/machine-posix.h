// The machine state behind the layer: drive map, version, system folder,
// fixed local time, injected failures, call trace and the remembered current directory.
// Loaded from the environment at first use; see host-control.h.
#ifndef ZODERUDO_OS_POSIX_MACHINE_POSIX_H_
#define ZODERUDO_OS_POSIX_MACHINE_POSIX_H_

#include <string>

#include "os/posix/host-control.h"
#include "os/posix/win32-posix.h"

namespace os_posix {

// The host folder of a drive (either case), or "" when it is unmapped.
std::string DriveFolder(char letter);

// What GetVersionExA answers for a record of `size` bytes; false when
// the machine rejects that size.
bool VersionFor(DWORD size, OSVERSIONINFOEXA* record);

// False when the machine has no system folder.
bool SystemDirectory(std::string* windows_path);

// What GetDiskFreeSpaceA answers for every drive when the machine fixes
// it (HostSetFreeSpace, ZODERUDO_FREE_SPACE): sectors per cluster, bytes
// per sector, free clusters, total clusters.
struct FreeSpace {
  DWORD sectors_per_cluster, bytes_per_sector, free_clusters, total_clusters;
};
enum class FreeSpaceSource { kHost, kFixed, kFails };
FreeSpaceSource FixedFreeSpace(FreeSpace* space);
// True, with the time filled in, when the machine's clock is fixed.
bool FixedLocalTime(SYSTEMTIME* time);

// True when Sleep is to return at once (HostSkipSleep, ZODERUDO_SLEEP).
bool SleepSkipped();

// True when entries have no file index (HostSetNoFileIndex).
bool NoFileIndex();

// Counts the call, and is true (with the error set) when the call is to
// fail by HostFailCall or HostFailNthCall.
bool TakeInjectedFailure(const char* function);

// Adds "<function> <argument>" to the trace while tracing is on.
void TraceCall(const char* function, const char* argument);

// The ANSI code page (HostSetCodePage, ZODERUDO_CODEPAGE).
UINT AnsiCodePage();

// Whether any host name has a narrow name of its own (HostSetNarrowName),
// and the narrow name of one (the name itself when it has none); see
// code-page-posix.h.
bool HasNarrowNames();
std::string NarrowName(const std::string& host_name);

// The machine under the program and the WoW64 calls it offers
// (HostSetWow64, ZODERUDO_WOW64).
void Wow64Setting(HostMachine* machine, HostWow64Calls* calls);

// The parts of the layer above the machine that keep state of their own
// register it here once: HostResetMachine has them forget it, and
// HostOpenHandleCount adds what they hold (`held` may be null). The
// machine calls up into them only through these, and knows none of them.
void KeepMachinePart(void (*forget)(), size_t (*held)());

// The Windows name last given to the current directory, which keeps the
// letter case the caller used, as Windows does. Valid while the host cwd
// is still `host_folder` and the drive map has not changed since.
void RememberCurrentDirectory(const std::string& windows_path,
                              const std::string& host_folder);
bool RememberedCurrentDirectory(const std::string& host_folder,
                                std::string* windows_path);

}  // namespace os_posix

#endif  // ZODERUDO_OS_POSIX_MACHINE_POSIX_H_
