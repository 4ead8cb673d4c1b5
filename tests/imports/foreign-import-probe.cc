// Imports a function from USER32.dll, which zoderudo.exe must never do:
// the import checker's own test expects the checker to reject this exe.
#include <windows.h>

int main() {
  return MessageBeep(MB_OK) ? 0 : 1;
}
