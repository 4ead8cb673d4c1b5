# Cross-build of the shipped zoderudo.exe for 32-bit Windows with mingw-w64,
# with the win32 thread model: its runtime pieces import nothing newer than
# Windows 2000, where the posix model's winpthreads imports functions of XP
# and Vista (AddVectoredExceptionHandler, GetTickCount64) as soon as a throw,
# new or iostream pulls it in. The tests keep mingw-i686.cmake.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-common.cmake)
