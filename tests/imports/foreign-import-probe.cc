// An exe that breaks the rules zoderudo.exe must keep, for the checker's
// own test: it imports from USER32.dll and imports GetTickCount64 (Vista),
// and is linked as a GUI program for Windows Vista, without resources.
#define _WIN32_WINNT 0x0600
#include <windows.h>

int main() {
  return MessageBeep(MB_OK) && GetTickCount64() != 0 ? 0 : 1;
}
