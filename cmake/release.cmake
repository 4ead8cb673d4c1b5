# The release archives, made by the package target (windows-release.cmake
# passes the arguments) into OUT:
# - zoderudo-VERSION-win32.zip: a folder of that name with the EXES
#   (zoderudo.exe, zrreport.exe and zrcheck.exe), README.txt, the README
#   and the DOCS (Markdown paths below SOURCE_DIR) as HTML pages
#   (render-docs.py, with the cmark-gfm program CMARK), the TEXTS (paths
#   below SOURCE_DIR) and SHA256SUMS of them all;
# - zoderudo-VERSION-win32-debug.zip: the exes' debug files, in the folder
#   zoderudo-VERSION-win32 too, so that they unpack beside the exes;
# - a .sha256 file beside each.
# With PKCS12, the ZIP holds signed copies of the exes (sign-exe.sh), made
# in WORK before the checksums; the build's own exes stay as they are.
#
# The ZIPs' bytes depend only on the files' contents (write-zip.py): every
# entry takes the time SOURCE_DATE_EPOCH, else that of the commit when
# SOURCE_DIR is the top of a git work tree, else 1980-01-01.
#
#   cmake -DVERSION= -DSOURCE_DIR= -DEXES= -DDOCS= -DTEXTS= -DWORK= -DOUT=
#         -DPYTHON= -DCMARK= [-DPKCS12= -DOSSLSIGNCODE= -DTIMESTAMP_URL=] -P release.cmake
include(${CMAKE_CURRENT_LIST_DIR}/sha256sums.cmake)
set(top zoderudo-${VERSION}-win32)
set(zip ${OUT}/${top}.zip)
set(debug_zip ${OUT}/${top}-debug.zip)
# No archive of an earlier run may pass for this one if this one fails.
file(REMOVE ${zip} ${zip}.sha256 ${debug_zip} ${debug_zip}.sha256)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK} ${OUT})

if("$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  set(epoch $ENV{SOURCE_DATE_EPOCH})
  set(source SOURCE_DATE_EPOCH)
else()
  # A folder inside some other work tree is no commit of this project.
  set(epoch 0)
  set(source "no commit, no SOURCE_DATE_EPOCH")
  execute_process(COMMAND git -C ${SOURCE_DIR} rev-parse --show-toplevel
                  OUTPUT_VARIABLE git_top OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  file(REAL_PATH ${SOURCE_DIR} source_dir)
  if(failed EQUAL 0 AND git_top STREQUAL source_dir)
    execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
                    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                    COMMAND_ERROR_IS_FATAL ANY)
    set(source "the commit")
  endif()
endif()
message(STATUS "Release archives: entry times ${epoch} (${source})")

set(files)
set(debug_files)
foreach(built ${EXES})
  get_filename_component(name ${built} NAME)
  set(exe ${built})
  if(PKCS12)
    set(exe ${WORK}/${name})
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/sign-exe.sh
                            ${OSSLSIGNCODE} ${PKCS12} "${TIMESTAMP_URL}"
                            ${built} ${exe}
                    COMMAND_ERROR_IS_FATAL ANY)
  endif()
  list(APPEND files ${name}=${exe})
  list(APPEND debug_files ${top}/${name}.debug=${built}.debug)
endforeach()

set(pages ${WORK}/pages)
execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/render-docs.py
                        ${CMARK} ${SOURCE_DIR} ${pages} README.md ${DOCS}
                COMMAND_ERROR_IS_FATAL ANY)
list(APPEND files README.txt=${pages}/README.txt)
foreach(doc README.md ${DOCS})
  string(REGEX REPLACE "[.]md$" ".html" page ${doc})
  list(APPEND files ${page}=${pages}/${page})
endforeach()
foreach(text ${TEXTS})
  list(APPEND files ${text}=${SOURCE_DIR}/${text})
endforeach()
write_sha256sums(${WORK}/SHA256SUMS "${files}")
list(APPEND files SHA256SUMS=${WORK}/SHA256SUMS)
list(TRANSFORM files PREPEND ${top}/)

execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/write-zip.py
                        ${zip} ${epoch} ${files}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${PYTHON} ${CMAKE_CURRENT_LIST_DIR}/write-zip.py
                        ${debug_zip} ${epoch} ${debug_files}
                COMMAND_ERROR_IS_FATAL ANY)
foreach(archive ${zip} ${debug_zip})
  get_filename_component(name ${archive} NAME)
  write_sha256sums(${archive}.sha256 ${name}=${archive})
endforeach()
