# Wine for the Windows tests: one 32-bit prefix per build tree, and one
# 64-bit prefix for the cases of a 64-bit Windows, each made once by a
# fixture before every test that uses it, with a persistent server that the
# cleanup fixture stops.
set(ZODERUDO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(ZODERUDO_WINE_ENV
  "WINEPREFIX=${ZODERUDO_WINEPREFIX}"
  "WINEARCH=win32"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "DISPLAY="
)

add_test(NAME wine_start
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/start-wine.sh ${ZODERUDO_WINEPREFIX})
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
# No server left to stop is no failure: ctest --repeat runs this again.
add_test(NAME wine_stop COMMAND sh -c "wineserver -k || true")
set_tests_properties(wine_stop PROPERTIES
  FIXTURES_CLEANUP wine ENVIRONMENT "${ZODERUDO_WINE_ENV}")

# Marks tests as needing the Wine prefix and server. They take the machine
# in turn: a suite stops the server to kill a run, and would kill theirs.
function(zoderudo_wine_tests)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED wine ENVIRONMENT "${ZODERUDO_WINE_ENV}"
    RESOURCE_LOCK zoderudo_wine_machine)
endfunction()

# A 64-bit Windows, where the 32-bit exe runs under WoW64.
set(ZODERUDO_WINEPREFIX64 ${CMAKE_BINARY_DIR}/wineprefix64)
set(ZODERUDO_WINE64_ENV
  "WINEPREFIX=${ZODERUDO_WINEPREFIX64}"
  "WINEARCH=win64"
  "WINEDEBUG=-all"
  "WINEDLLOVERRIDES=mscoree,mshtml="
  "DISPLAY="
)
add_test(NAME wine64_start
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/start-wine.sh ${ZODERUDO_WINEPREFIX64} win64)
set_tests_properties(wine64_start PROPERTIES FIXTURES_SETUP wine64)
add_test(NAME wine64_stop COMMAND sh -c "wineserver -k || true")
set_tests_properties(wine64_stop PROPERTIES
  FIXTURES_CLEANUP wine64 ENVIRONMENT "${ZODERUDO_WINE64_ENV}")

function(zoderudo_wine64_tests)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED wine64 ENVIRONMENT "${ZODERUDO_WINE64_ENV}")
endfunction()
