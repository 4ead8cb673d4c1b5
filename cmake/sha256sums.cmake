# write_sha256sums(OUTPUT FILES): writes OUTPUT in the form `sha256sum -c`
# reads, one "HASH  NAME" line per NAME=PATH entry of the list FILES, in
# the order given.
function(write_sha256sums output files)
  set(text "")
  foreach(entry IN LISTS files)
    string(FIND "${entry}" "=" at)
    string(SUBSTRING "${entry}" 0 ${at} name)
    math(EXPR at "${at} + 1")
    string(SUBSTRING "${entry}" ${at} -1 path)
    file(SHA256 "${path}" hash)
    string(APPEND text "${hash}  ${name}\n")
  endforeach()
  file(WRITE "${output}" "${text}")
endfunction()
