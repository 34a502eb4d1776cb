# One CTest test per Windows test executable, run through Wine (the toolchain's emulator,
# scripts/wine-run). Suites that would meet on Wine's HID device 845e:0001 or the device lock run
# one at a time within a lane. Each lane is a Wine prefix of its own, with its own wineserver, so
# lanes run side by side under ctest -j; scripts/test.sh prepares them.
function(kelvra_add_wine_test name lane timeout)
  kelvra_add_wine_test_part(${name} ${name} ${lane} ${timeout} *)
endfunction()

# The tests of an executable that a GoogleTest filter picks, as a CTest test named name.
function(kelvra_add_wine_test_part name executable lane timeout filter)
  add_test(NAME ${name} COMMAND ${executable} --gtest_color=no --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout} RESOURCE_LOCK kelvra-wine-lane-${lane}
                       ENVIRONMENT KELVRA_WINE_LANE=${lane})
endfunction()
