# Cross-build for 32-bit Windows with mingw-w64, posix thread model: the
# test programs, since GoogleTest needs std::mutex. The shipped exe has a
# build of its own with mingw-i686-win32-threads.cmake.
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-common.cmake)

# Windows test programs run under Wine; the prefix is set up by the tests.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
