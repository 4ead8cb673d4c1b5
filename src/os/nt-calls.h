// NtCreateFile of ntdll, which the program finds at run time with
// GetModuleHandleA and GetProcAddress: it is in every Windows NT (3.1
// and later), in no KERNEL32, and in no Windows 9x. Its types are those
// of the native API, declared here under names of our own so that they
// meet nothing of the system headers; the same for Windows and for our
// layer, which offers the call.
#ifndef ZODERUDO_OS_NT_CALLS_H_
#define ZODERUDO_OS_NT_CALLS_H_

#include <stdint.h>

#include "os/find-call.h"
#include "os/os.h"

typedef LONG NtStatus;

// UNICODE_STRING: lengths in bytes, no terminator counted.
struct NtUnicodeString {
  WORD length;
  WORD maximum_length;
  WORD* buffer;
};

// OBJECT_ATTRIBUTES: a name relative to `root_directory` when that is
// given, else a full NT path ("\??\C:\...").
struct NtObjectAttributes {
  DWORD length;
  HANDLE root_directory;
  NtUnicodeString* object_name;
  DWORD attributes;
  void* security_descriptor;
  void* security_quality_of_service;
};

// IO_STATUS_BLOCK.
struct NtIoStatusBlock {
  union {
    NtStatus status;
    void* pointer;
  };
  uintptr_t information;
};

typedef NtStatus(WINAPI* NtCreateFileCall)(PHANDLE, DWORD,
                                            NtObjectAttributes*,
                                            NtIoStatusBlock*, void*, DWORD,
                                            DWORD, DWORD, DWORD, void*, DWORD);

// OBJ_CASE_INSENSITIVE: names match as Win32 names do.
const DWORD kNtCaseInsensitive = 0x00000040;

// Dispositions.
const DWORD kNtOpen = 1;      // FILE_OPEN: only what exists
const DWORD kNtCreate = 2;    // FILE_CREATE: only what does not
const DWORD kNtOpenIf = 3;    // FILE_OPEN_IF: either

// Options.
const DWORD kNtDirectoryFile = 0x00000001;     // FILE_DIRECTORY_FILE
const DWORD kNtSynchronousIo = 0x00000020;     // FILE_SYNCHRONOUS_IO_NONALERT
const DWORD kNtNonDirectoryFile = 0x00000040;  // FILE_NON_DIRECTORY_FILE
const DWORD kNtOpenReparsePoint = 0x00200000;  // FILE_OPEN_REPARSE_POINT

// The statuses the program tells apart.
const NtStatus kNtSuccess = 0;
const NtStatus kNtAccessDenied = static_cast<NtStatus>(0xC0000022);
const NtStatus kNtNameNotFound = static_cast<NtStatus>(0xC0000034);
const NtStatus kNtNameCollision = static_cast<NtStatus>(0xC0000035);
const NtStatus kNtPathNotFound = static_cast<NtStatus>(0xC000003A);
const NtStatus kNtSharingViolation = static_cast<NtStatus>(0xC0000043);
const NtStatus kNtDeletePending = static_cast<NtStatus>(0xC0000056);

#endif  // ZODERUDO_OS_NT_CALLS_H_
