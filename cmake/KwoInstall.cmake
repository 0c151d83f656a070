# Installation from a native tree: `cmake --install build/host --prefix DIR`
# (or `make install PREFIX=DIR`) puts under DIR
#   bin/kwz, bin/kwz.exe                      the packer, for Linux and Windows
#   share/kwo-warden-setup/KwoWardenSetup-stub.exe       the x86 stub
#   share/kwo-warden-setup/KwoWardenSetup-stub-x64.exe   the x64 stub
#   lib/cmake/KwoSetup/                       the package for find_package(KwoSetup)
#   share/doc/kwo-warden-setup/               README.txt, LICENSE, THIRD-PARTY-NOTICES.txt
# make dist installs the same into the release folder. The Windows programs
# come from the Windows trees beside this one, which must be built first
# (`make` builds all three).
if(WIN32)
  return()
endif()
include(CMakePackageConfigHelpers)

get_filename_component(build_folder ${CMAKE_BINARY_DIR} DIRECTORY)
set(KWO_WIN32_TREE ${build_folder}/win32 CACHE PATH "Built i686 Windows tree whose kwz.exe and stub are installed")
set(KWO_WIN64_TREE ${build_folder}/win64 CACHE PATH "Built x86_64 Windows tree whose stub is installed")

set(KWO_INSTALL_STUBDIR share/kwo-warden-setup)
set(KWO_INSTALL_PACKAGEDIR lib/cmake/KwoSetup)
set(KWO_INSTALL_DOCDIR share/doc/kwo-warden-setup)

# From the Windows trees: file|name when installed|folder.
set(windows_files
  "${KWO_WIN32_TREE}/kwz.exe|kwz.exe|bin"
  "${KWO_WIN32_TREE}/KwoWardenSetup-stub.exe|KwoWardenSetup-stub.exe|${KWO_INSTALL_STUBDIR}"
  "${KWO_WIN64_TREE}/KwoWardenSetup-stub.exe|KwoWardenSetup-stub-x64.exe|${KWO_INSTALL_STUBDIR}")
foreach(entry IN LISTS windows_files)
  string(REGEX MATCH "^[^|]*" file "${entry}")
  install(CODE "if(NOT EXISTS \"${file}\")
  message(FATAL_ERROR \"${file} is missing: build the Windows trees first (make)\")
endif()")
endforeach()

install(TARGETS kwz RUNTIME DESTINATION bin)
foreach(entry IN LISTS windows_files)
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 file)
  list(GET entry 1 name)
  list(GET entry 2 folder)
  install(PROGRAMS ${file} DESTINATION ${folder} RENAME ${name})
endforeach()

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KwoSetupConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/KwoSetupConfig.cmake
  INSTALL_DESTINATION ${KWO_INSTALL_PACKAGEDIR}
  PATH_VARS KWO_INSTALL_STUBDIR)
# The package holds a Linux kwz and Windows stubs, whatever the project that
# finds it builds for.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/KwoSetupConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES ${CMAKE_BINARY_DIR}/package/KwoSetupConfig.cmake ${CMAKE_BINARY_DIR}/package/KwoSetupConfigVersion.cmake
  DESTINATION ${KWO_INSTALL_PACKAGEDIR})

configure_file(${CMAKE_SOURCE_DIR}/docs/dist-README.txt ${CMAKE_BINARY_DIR}/package/README.txt @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt ${CMAKE_SOURCE_DIR}/LICENSE
  ${CMAKE_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt DESTINATION ${KWO_INSTALL_DOCDIR})
