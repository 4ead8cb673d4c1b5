# The windows preset's zoderudo.exe and its release archives. The exe is
# built by a second configure of this source tree (build/<preset>/ship),
# with the win32 thread model toolchain and ZODERUDO_SHIP, and lands in
# bin/ like every other program. The target keeps the name `zoderudo`;
# tests reach the file through ZODERUDO_EXE.
include(ExternalProject)

set(ZODERUDO_EXE ${CMAKE_BINARY_DIR}/bin/zoderudo.exe)
ExternalProject_Add(zoderudo
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/ship
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686-win32-threads.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DCMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR}
    -DCMAKE_RUNTIME_OUTPUT_DIRECTORY=${CMAKE_BINARY_DIR}/bin
    -DZODERUDO_SHIP=ON
  # Its own build decides what is out of date.
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${ZODERUDO_EXE} ${ZODERUDO_EXE}.debug)

# Checksums of what the ZIP holds, in the form `sha256sum -c` reads: the
# exe, the README with the documents it links to, and the example package.
file(GLOB shipped_texts CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
     ${CMAKE_SOURCE_DIR}/docs/*.md ${CMAKE_SOURCE_DIR}/examples/package/*)
set(release_files zoderudo.exe=${ZODERUDO_EXE})
foreach(text README.md ${shipped_texts})
  list(APPEND release_files ${text}=${CMAKE_SOURCE_DIR}/${text})
endforeach()
set(sums ${CMAKE_BINARY_DIR}/release-files/SHA256SUMS)
set(sum_inputs ${release_files})
list(TRANSFORM sum_inputs REPLACE "^[^=]*=" "")
add_custom_command(OUTPUT ${sums}
  COMMAND ${CMAKE_COMMAND} -DOUTPUT=${sums} "-DFILES=${release_files}"
          -P ${CMAKE_CURRENT_LIST_DIR}/sha256sums.cmake
  DEPENDS zoderudo ${sum_inputs} ${CMAKE_CURRENT_LIST_DIR}/sha256sums.cmake
  VERBATIM)
add_custom_target(release_sums ALL DEPENDS ${sums})

# cmake --build --preset windows --target package: the ZIP to ship and,
# apart from it, the debug file.
install(PROGRAMS ${ZODERUDO_EXE} DESTINATION . COMPONENT program)
install(FILES README.md ${sums} DESTINATION . COMPONENT program)
install(DIRECTORY docs DESTINATION . COMPONENT program)
install(DIRECTORY examples/package DESTINATION examples COMPONENT program)
install(FILES ${ZODERUDO_EXE}.debug DESTINATION . COMPONENT debug)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zoderudo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/release)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_COMPONENTS_ALL program debug)
set(CPACK_ARCHIVE_PROGRAM_FILE_NAME zoderudo-${PROJECT_VERSION}-win32)
set(CPACK_ARCHIVE_DEBUG_FILE_NAME zoderudo-${PROJECT_VERSION}-win32-debug)
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
