# The package as a vendor uses it (cmake -P): installs the native tree TREE
# (with its Windows siblings) into WORK/prefix, checks the installed files,
# then configures and builds the outside project VENDOR against the prefix
# and checks the setup programs it stamped against kwz stamp run by hand.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT code EQUAL 0)
    string(REPLACE ";" " " command "${ARGN}")
    message(FATAL_ERROR "${command} failed (${code}):\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${WORK})
set(prefix ${WORK}/prefix)
run(${CMAKE_COMMAND} --install ${TREE} --prefix ${prefix})

# What make dist ships, as the installation lays it out.
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(SORT installed)
set(expected
  bin/kwz bin/kwz.exe
  lib/cmake/KwoSetup/KwoSetupConfig.cmake lib/cmake/KwoSetup/KwoSetupConfigVersion.cmake
  share/doc/kwo-warden-setup/LICENSE share/doc/kwo-warden-setup/README.txt
  share/doc/kwo-warden-setup/THIRD-PARTY-NOTICES.txt
  share/kwo-warden-setup/KwoWardenSetup-stub-x64.exe share/kwo-warden-setup/KwoWardenSetup-stub.exe)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()

# The vendor's project, built from elsewhere; it runs the installed kwz.
run(${CMAKE_COMMAND} -S ${VENDOR} -B ${WORK}/vendor -G Ninja -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK}/vendor)
set(kwz ${prefix}/bin/kwz)
set(stubs ${prefix}/share/kwo-warden-setup)
foreach(program ExampleSetup.exe x64/ExampleSetup.exe)
  run(${kwz} verify -q ${WORK}/vendor/${program} ${VENDOR}/product)
endforeach()
run(${kwz} stamp -q --icon ${VENDOR}/product.ico --version-info ${VENDOR}/version.txt
    --set "Comments=stamped by CMake" ${stubs}/KwoWardenSetup-stub.exe ${VENDOR}/product ${WORK}/by-hand.exe)
run(${kwz} stamp -q ${stubs}/KwoWardenSetup-stub-x64.exe ${VENDOR}/product ${WORK}/by-hand-x64.exe)
foreach(pair "ExampleSetup.exe|by-hand.exe" "x64/ExampleSetup.exe|by-hand-x64.exe")
  string(REPLACE "|" ";" pair "${pair}")
  list(GET pair 0 built)
  list(GET pair 1 by_hand)
  file(SHA256 ${WORK}/vendor/${built} built_hash)
  file(SHA256 ${WORK}/${by_hand} by_hand_hash)
  if(NOT built_hash STREQUAL by_hand_hash)
    message(FATAL_ERROR "${built} is not what kwz stamp makes by hand")
  endif()
endforeach()

# Built: a second build has nothing to do.
run(${CMAKE_COMMAND} --build ${WORK}/vendor)
if(NOT output MATCHES "no work to do")
  message(FATAL_ERROR "the second build stamped again:\n${output}")
endif()
message(STATUS "the outside project stamped both setup programs from ${prefix}")
