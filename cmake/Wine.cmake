# Test programs run under Wine with a prefix inside the build tree. The CTest
# fixture "wine" creates the prefix once and keeps one wine server for the
# run; the cleanup test stops it.
#
# Every program starts under the 64-bit loader, which hands a 32-bit program
# to the 32-bit one itself. So 64-bit programs run where the machine cannot
# execute the (i386) 32-bit loader at all; cmake/i386-exec.sh tells whether it
# can, and installs an emulator where it cannot.

find_program(QLN_WINE_LOADER wine64 HINTS /usr/lib/wine /usr/lib64/wine REQUIRED)
find_program(QLN_WINESERVER wineserver REQUIRED)
set(QLN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
               GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

function(qln_wine_fixture)
  add_test(NAME wine_prefix_start
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-setup.sh start ${CMAKE_BINARY_DIR}
                   ${QLN_WIDTH})
  set_tests_properties(wine_prefix_start PROPERTIES FIXTURES_SETUP wine)
  add_test(NAME wine_server_stop
           COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/wine-setup.sh stop ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine)
endfunction()

# One CTest test per test program; extra arguments go to the program.
function(qln_add_wine_test target)
  add_test(NAME ${target} COMMAND ${target} ${ARGN})
  set_tests_properties(${target} PROPERTIES FIXTURES_REQUIRED wine
                       WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endfunction()
