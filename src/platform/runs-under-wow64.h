#ifndef ZODERUDO_PLATFORM_RUNS_UNDER_WOW64_H_
#define ZODERUDO_PLATFORM_RUNS_UNDER_WOW64_H_

// Whether this 32-bit program runs under WoW64, on a 64-bit Windows. There
// every path below the system directory that it asks for leads to the
// 32-bit SysWOW64, and the package's 32-bit drivers cannot be installed.
//
// True when IsWow64Process says so or fails, or when GetNativeSystemInfo
// reports a processor other than x86; both are found at run time, and a
// system with neither (Windows 2000, NT 4, 9x) has no WoW64. Each answers
// truly on Windows; asking both also covers a 64-bit Windows that lacks
// IsWow64Process (Server 2003 before SP1) and an IsWow64Process that
// answers FALSE for the process's own pseudo-handle under WoW64, as a
// faulty Wine has been seen to. Reports nothing.
bool RunsUnderWow64();

#endif  // ZODERUDO_PLATFORM_RUNS_UNDER_WOW64_H_
