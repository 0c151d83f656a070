# The fuzz corpora as ordinary tests of the native test tree: each fuzz target
# linked with a plain main (ReplayMain.cpp) that feeds it every file of its
# seed corpus, so every finding kept there stays a regression case.
file(GLOB kwo_fuzz_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/Fuzz*.cpp)
foreach(src ${kwo_fuzz_sources})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name}Replay ${src} ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
  target_link_libraries(${name}Replay PRIVATE kwz_lib)
  target_include_directories(${name}Replay PRIVATE ${CMAKE_SOURCE_DIR})
  kwo_warnings(${name}Replay)
  add_test(NAME FuzzReplay.${name} COMMAND ${name}Replay ${CMAKE_SOURCE_DIR}/fuzz/corpus/${name})
endforeach()
