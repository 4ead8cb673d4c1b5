# Writes OUTPUT in the form `sha256sum -c` reads: one "HASH  NAME" line per
# NAME=PATH entry of FILES, in the order given.
#
#   cmake -DOUTPUT=SHA256SUMS "-DFILES=a.exe=/path/a.exe;..." -P sha256sums.cmake
set(text "")
foreach(entry IN LISTS FILES)
  string(FIND "${entry}" "=" at)
  string(SUBSTRING "${entry}" 0 ${at} name)
  math(EXPR at "${at} + 1")
  string(SUBSTRING "${entry}" ${at} -1 path)
  file(SHA256 "${path}" hash)
  string(APPEND text "${hash}  ${name}\n")
endforeach()
file(WRITE "${OUTPUT}" "${text}")
