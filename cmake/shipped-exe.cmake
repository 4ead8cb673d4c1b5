# The exes that ship, zoderudo.exe, zrreport.exe and zrcheck.exe, built by a configure
# of their own of this project (ZODERUDO_SHIP) with the win32 thread model
# toolchain (mingw-i686-win32-threads.cmake); the windows preset starts
# that build through windows-release.cmake. Included after the targets are
# defined.

# No C++ exceptions: nothing can then pull in the runtime's unwinding and
# thread support, whose newer pieces would import functions Windows 2000
# lacks. The debug information goes to a file of its own (below).
#
# Reproducible bytes: the source and build folders are replaced in the
# debug information by one fixed name, and the linker writes no time stamp,
# so one commit built in any two folders gives the same exe and debug file.
set(map /usr/src/zoderudo-${PROJECT_VERSION})
foreach(target zoderudo_core zoderudo_report zoderudo_check zoderudo zrreport
               zrcheck)
  target_compile_options(${target} PRIVATE -fno-exceptions -g
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=${map}
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=${map}/build)
endforeach()

enable_language(RC)
# objcopy stamps the PE header with the time it ran unless it is given
# SOURCE_DATE_EPOCH: 0 keeps the linker's empty stamp.
set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})

# The version resource and the manifest of each exe, from the project's
# version: its name and what it is (no word in it that makes Vista guess
# an installer, see the resource script).
foreach(exe zoderudo zrreport zrcheck)
  if(exe STREQUAL zoderudo)
    set(EXE_DESCRIPTION "ZR driver package runner")
  elseif(exe STREQUAL zrreport)
    set(EXE_DESCRIPTION "ZR result log report")
  else()
    set(EXE_DESCRIPTION "ZR package check")
  endif()
  set(EXE_NAME ${exe})
  target_link_options(${exe} PRIVATE -g -Wl,--no-insert-timestamp)
  set(ZODERUDO_MANIFEST ${CMAKE_BINARY_DIR}/${exe}.exe.manifest)
  configure_file(src/resources/exe.manifest.in ${ZODERUDO_MANIFEST}
                 @ONLY)
  configure_file(src/resources/exe.rc.in ${CMAKE_BINARY_DIR}/${exe}.rc
                 @ONLY)
  target_sources(${exe} PRIVATE ${CMAKE_BINARY_DIR}/${exe}.rc)
  set_source_files_properties(${CMAKE_BINARY_DIR}/${exe}.rc PROPERTIES
    OBJECT_DEPENDS ${ZODERUDO_MANIFEST})

  # Stripped exe, with a link to EXE.exe.debug beside it (name and
  # checksum), where a debugger finds the symbols to read a crash with.
  add_custom_command(TARGET ${exe} POST_BUILD
    COMMAND ${objcopy} --only-keep-debug ${exe}.exe ${exe}.exe.debug
    COMMAND ${objcopy} --strip-all
            --add-gnu-debuglink=${exe}.exe.debug ${exe}.exe
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${exe}>
    VERBATIM)
endforeach()
