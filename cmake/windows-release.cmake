# The windows preset's zoderudo.exe, zrreport.exe and zrcheck.exe and
# their release archives. The exes are built by a second configure of this source tree
# (build/<preset>/ship), with the win32 thread model toolchain and
# ZODERUDO_SHIP, and land in bin/ like every other program. The target
# that builds them keeps the name `zoderudo`; tests reach the files
# through ZODERUDO_EXE, ZRREPORT_EXE and ZRCHECK_EXE.
include(ExternalProject)

set(ZODERUDO_EXE ${CMAKE_BINARY_DIR}/bin/zoderudo.exe)
set(ZRREPORT_EXE ${CMAKE_BINARY_DIR}/bin/zrreport.exe)
set(ZRCHECK_EXE ${CMAKE_BINARY_DIR}/bin/zrcheck.exe)
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
  BUILD_BYPRODUCTS ${ZODERUDO_EXE} ${ZODERUDO_EXE}.debug
                   ${ZRREPORT_EXE} ${ZRREPORT_EXE}.debug
                   ${ZRCHECK_EXE} ${ZRCHECK_EXE}.debug)

# cmake --build --preset windows --target package: the release archives
# in build/<preset>/release (see release.cmake). Signed only when the
# maintainer names a PKCS#12 file; its password is read from the
# environment when the target runs, so it is in no file of the build.
set(ZODERUDO_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file that signs the shipped exe (empty: unsigned)")
set(ZODERUDO_SIGN_TIMESTAMP_URL "" CACHE STRING
    "Time-stamp server for the signatures (empty: none)")
if(ZODERUDO_SIGN_PKCS12)
  find_program(ZODERUDO_OSSLSIGNCODE osslsigncode REQUIRED)
endif()
find_program(ZODERUDO_PYTHON python3 REQUIRED)
find_program(ZODERUDO_CMARK cmark-gfm REQUIRED)

# What the ZIP holds besides the exe: the README with the documents it
# links to, as HTML pages, the example package and the rollout scripts.
file(GLOB shipped_docs CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
     ${CMAKE_SOURCE_DIR}/docs/*.md)
file(GLOB shipped_texts CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
     ${CMAKE_SOURCE_DIR}/examples/package/* ${CMAKE_SOURCE_DIR}/deploy/*.bat)
# A build tree made when CPack wrote the release still holds its
# configuration, which reserves the target name "package".
file(REMOVE ${CMAKE_BINARY_DIR}/CPackConfig.cmake
     ${CMAKE_BINARY_DIR}/CPackSourceConfig.cmake)
add_custom_target(package
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION}
          -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
          "-DEXES=${ZODERUDO_EXE};${ZRREPORT_EXE};${ZRCHECK_EXE}"
          "-DDOCS=${shipped_docs}" "-DTEXTS=${shipped_texts}" -DWORK=${CMAKE_BINARY_DIR}/release-files
          -DOUT=${CMAKE_BINARY_DIR}/release -DPYTHON=${ZODERUDO_PYTHON}
          -DCMARK=${ZODERUDO_CMARK}
          -DPKCS12=${ZODERUDO_SIGN_PKCS12}
          -DOSSLSIGNCODE=${ZODERUDO_OSSLSIGNCODE}
          -DTIMESTAMP_URL=${ZODERUDO_SIGN_TIMESTAMP_URL}
          -P ${CMAKE_CURRENT_LIST_DIR}/release.cmake
  VERBATIM)
add_dependencies(package zoderudo)
