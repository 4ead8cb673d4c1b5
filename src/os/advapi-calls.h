// The security calls of ADVAPI32 that the program finds at run time with
// GetProcAddress, so that the exe imports nothing from ADVAPI32: their
// types, the same for Windows and for our layer, which offers them there.
#ifndef ZODERUDO_OS_ADVAPI_CALLS_H_
#define ZODERUDO_OS_ADVAPI_CALLS_H_

#include "os/find-call.h"
#include "os/os.h"

typedef BOOL(WINAPI* OpenProcessTokenCall)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI* GetTokenInformationCall)(HANDLE, TOKEN_INFORMATION_CLASS,
                                              LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI* AllocateAndInitializeSidCall)(
    PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
    DWORD, DWORD, PSID*);
typedef PVOID(WINAPI* FreeSidCall)(PSID);
typedef DWORD(WINAPI* GetLengthSidCall)(PSID);
typedef BOOL(WINAPI* InitializeAclCall)(PACL, DWORD, DWORD);
typedef BOOL(WINAPI* AddAccessAllowedAceExCall)(PACL, DWORD, DWORD, DWORD,
                                                PSID);
typedef BOOL(WINAPI* InitializeSecurityDescriptorCall)(PSECURITY_DESCRIPTOR,
                                                       DWORD);
typedef BOOL(WINAPI* SetSecurityDescriptorDaclCall)(PSECURITY_DESCRIPTOR, BOOL,
                                                    PACL, BOOL);
typedef BOOL(WINAPI* SetSecurityDescriptorControlCall)(
    PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL,
    SECURITY_DESCRIPTOR_CONTROL);

#endif  // ZODERUDO_OS_ADVAPI_CALLS_H_
