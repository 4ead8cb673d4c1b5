// Test helper for Windows: holds a file open with no sharing while it runs
// a program, as another program that locks the file would.
//
//   hold-file FILE COMMAND-LINE
//
// Creates FILE if missing. The exit code is the program's, or 255 when
// the file cannot be held or the program not started.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: hold-file FILE COMMAND-LINE\n", stderr);
    return 255;
  }
  HANDLE held = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(held);
  return static_cast<int>(code);
}
