# The zoderudo.exe that ships, built by a configure of its own of this
# project (ZODERUDO_SHIP) with the win32 thread model toolchain
# (mingw-i686-win32-threads.cmake); the windows preset starts that build
# through windows-release.cmake. Included after the targets are defined.

# No C++ exceptions: nothing can then pull in the runtime's unwinding and
# thread support, whose newer pieces would import functions Windows 2000
# lacks. The debug information goes to a file of its own (below).
#
# Reproducible bytes: the source and build folders are replaced in the
# debug information by one fixed name, and the linker writes no time stamp,
# so one commit built in any two folders gives the same exe and debug file.
set(map /usr/src/zoderudo-${PROJECT_VERSION})
foreach(target zoderudo_core zoderudo)
  target_compile_options(${target} PRIVATE -fno-exceptions -g
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=${map}
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=${map}/build)
endforeach()
target_link_options(zoderudo PRIVATE -g -Wl,--no-insert-timestamp)

# The version resource and the manifest, from the project's version.
enable_language(RC)
set(ZODERUDO_MANIFEST ${CMAKE_BINARY_DIR}/zoderudo.exe.manifest)
configure_file(src/resources/zoderudo.exe.manifest.in ${ZODERUDO_MANIFEST}
               @ONLY)
configure_file(src/resources/zoderudo.rc.in ${CMAKE_BINARY_DIR}/zoderudo.rc
               @ONLY)
target_sources(zoderudo PRIVATE ${CMAKE_BINARY_DIR}/zoderudo.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/zoderudo.rc PROPERTIES
  OBJECT_DEPENDS ${ZODERUDO_MANIFEST})

# Stripped exe, with a link to zoderudo.exe.debug beside it (name and
# checksum), where a debugger finds the symbols to read a crash with.
# objcopy stamps the PE header with the time it ran unless it is given
# SOURCE_DATE_EPOCH: 0 keeps the linker's empty stamp.
set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
add_custom_command(TARGET zoderudo POST_BUILD
  COMMAND ${objcopy} --only-keep-debug zoderudo.exe zoderudo.exe.debug
  COMMAND ${objcopy} --strip-all
          --add-gnu-debuglink=zoderudo.exe.debug zoderudo.exe
  WORKING_DIRECTORY $<TARGET_FILE_DIR:zoderudo>
  VERBATIM)
