// Test helper for Windows: holds a file open with no sharing while it runs
// a program, as another program that locks the file would; or, given a
// share mode and a time, with that sharing for that long after the program
// started, as a backup or a log collector would. A FILE that is a folder
// is held open to add files to it, as a user's program may.
//
//   hold-file FILE COMMAND-LINE [SHARE-MODE MILLISECONDS]
//
// Creates FILE if missing. The exit code is the program's, or 255 when
// the file cannot be held or the program not started.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 3 && argc != 5) {
    fputs("usage: hold-file FILE COMMAND-LINE [SHARE-MODE MILLISECONDS]\n",
          stderr);
    return 255;
  }
  DWORD share = argc == 5 ? strtoul(argv[3], nullptr, 0) : 0;
  DWORD found = GetFileAttributesA(argv[1]);
  bool folder = found != INVALID_FILE_ATTRIBUTES &&
                (found & FILE_ATTRIBUTE_DIRECTORY) != 0;
  HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, share,
                            nullptr, OPEN_ALWAYS,
                            folder ? FILE_FLAG_BACKUP_SEMANTICS
                                   : FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (held == INVALID_HANDLE_VALUE) {
    fprintf(stderr, "hold-file: cannot open %s (error %lu)\n", argv[1],
            GetLastError());
    return 255;
  }
  char command[1024];
  if (strlen(argv[2]) >= sizeof command) {
    CloseHandle(held);
    return 255;
  }
  strcpy(command, argv[2]);
  STARTUPINFOA startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process;
  DWORD code = 255;
  if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr,
                     nullptr, &startup, &process)) {
    if (argc == 5 &&
        WaitForSingleObject(process.hProcess, strtoul(argv[4], nullptr, 0)) ==
            WAIT_TIMEOUT) {
      CloseHandle(held);
      held = INVALID_HANDLE_VALUE;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (held != INVALID_HANDLE_VALUE)
    CloseHandle(held);
  return static_cast<int>(code);
}
