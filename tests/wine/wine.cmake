# Wine for the Windows tests: one prefix per build tree, made once by a
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

# Marks tests as needing the Wine prefix and server.
function(zoderudo_wine_tests)
  set_tests_properties(${ARGN} PROPERTIES
    FIXTURES_REQUIRED wine ENVIRONMENT "${ZODERUDO_WINE_ENV}")
endfunction()
