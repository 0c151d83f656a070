# Checks of what a release holds, run by the native tree (no GoogleTest):
#   kwo_package_test  `cmake --install` of this tree into a temporary prefix,
#                     and an outside project (vendor/) that finds the package
#                     and stamps setup programs with it
#   kwo_notices_test  THIRD-PARTY-NOTICES.txt is what
#                     scripts/third-party-notices.sh makes of the licence
#                     texts of the installed toolchain
add_test(NAME kwo_package_test
  COMMAND ${CMAKE_COMMAND} -DTREE=${CMAKE_BINARY_DIR} -DVENDOR=${CMAKE_CURRENT_LIST_DIR}/vendor
          -DWORK=${CMAKE_CURRENT_BINARY_DIR}/package-test -P ${CMAKE_CURRENT_LIST_DIR}/PackageTest.cmake)
set_tests_properties(kwo_package_test PROPERTIES TIMEOUT 300)

add_test(NAME kwo_notices_test
  COMMAND sh -c "scripts/third-party-notices.sh | cmp - THIRD-PARTY-NOTICES.txt ||
    { echo 'THIRD-PARTY-NOTICES.txt is out of date: scripts/third-party-notices.sh > THIRD-PARTY-NOTICES.txt'; exit 1; }"
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
