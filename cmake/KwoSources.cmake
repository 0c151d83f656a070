# Source lists by folder: every *.cpp of a folder (or every file matching the
# optional GLOB pattern) belongs to its target, except that files ending in
# Win32.cpp or Win32Test.cpp build only for Windows and files ending in
# Posix.cpp or PosixTest.cpp only natively. Adding a file needs no CMake edit.
function(kwo_glob_sources out dir)
  cmake_parse_arguments(ARG "" "GLOB" "" ${ARGN})
  if(NOT ARG_GLOB)
    set(ARG_GLOB "*.cpp")
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/${ARG_GLOB})
  foreach(src ${sources})
    if(WIN32 AND src MATCHES "Posix(Test)?\\.cpp$")
      list(REMOVE_ITEM sources ${src})
    elseif(NOT WIN32 AND src MATCHES "Win32(Test)?\\.cpp$")
      list(REMOVE_ITEM sources ${src})
    endif()
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
