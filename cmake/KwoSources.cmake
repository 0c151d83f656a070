# Source lists by folder: every *.cpp of a folder belongs to its target, except
# that files ending in Win32.cpp build only for Windows and files ending in
# Posix.cpp only natively. Adding a file needs no CMake edit.
function(kwo_glob_sources out dir)
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  foreach(src ${sources})
    if(WIN32 AND src MATCHES "Posix\\.cpp$")
      list(REMOVE_ITEM sources ${src})
    elseif(NOT WIN32 AND src MATCHES "Win32\\.cpp$")
      list(REMOVE_ITEM sources ${src})
    endif()
  endforeach()
  set(${out} ${sources} PARENT_SCOPE)
endfunction()
