# Launchers: the setup library and its entry point linked with a resource
# object of their own, so that launchers with different payloads share every
# compiled object. Their resources are the last section (resources-last.ld).
set(KWO_RESOURCES_LAST_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/resources-last.ld CACHE INTERNAL "linker script part for launchers")

# kwo_setup_resources(OUT_VAR NAME [PAYLOAD file] [DEPENDS ...]): compiles the
# common resource script (strings, icon, bitmaps), plus the payload as "KWZ"
# 137 when one is given, into an object file for NAME; sets OUT_VAR to its path.
function(kwo_setup_resources out name)
  cmake_parse_arguments(ARG "" "PAYLOAD" "DEPENDS" ${ARGN})
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${name}.setup)
  set(rc ${work}/${name}.rc)
  set(res ${work}/${name}-res.o)
  set(script "#include \"${KWO_SETUP_RC}\"\n")
  if(ARG_PAYLOAD)
    string(APPEND script "137 KWZ \"${ARG_PAYLOAD}\"\n")
  endif()
  file(MAKE_DIRECTORY ${work})
  file(GENERATE OUTPUT ${rc} CONTENT "${script}")
  add_custom_command(OUTPUT ${res}
    COMMAND ${CMAKE_RC_COMPILER} -I ${KWO_ART_DIR} -i ${rc} -o ${res} -O coff
    DEPENDS ${rc} ${KWO_SETUP_RC} ${KWO_SETUP_ART_FILES} ${ARG_PAYLOAD} ${ARG_DEPENDS}
    COMMENT "Compiling the resources of ${name}" VERBATIM)
  set(${out} ${res} PARENT_SCOPE)
endfunction()

#   kwz_add_setup(NAME [PAYLOAD_DIR dir | PAYLOAD_FILE file] [OUTPUT_DIRECTORY dir]
#                 [DEPENDS files-or-targets...])
#
# PAYLOAD_DIR is packed with `kwz pack` (KWO_HOST_KWZ) at build time; its files
# are dependencies, so a changed file repacks. PAYLOAD_FILE is taken as the
# payload as it is (an already packed or a deliberately broken one). With
# neither, the launcher has no payload: the stub that `kwz stamp` completes.
# The program is NAME.exe in OUTPUT_DIRECTORY (default: the current binary
# folder).
function(kwz_add_setup name)
  cmake_parse_arguments(ARG "" "PAYLOAD_DIR;PAYLOAD_FILE;OUTPUT_DIRECTORY" "DEPENDS" ${ARGN})
  if(ARG_PAYLOAD_DIR AND ARG_PAYLOAD_FILE)
    message(FATAL_ERROR "kwz_add_setup(${name}): PAYLOAD_DIR and PAYLOAD_FILE exclude each other")
  endif()
  if(NOT ARG_OUTPUT_DIRECTORY)
    set(ARG_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  set(payload "")

  if(ARG_PAYLOAD_DIR)
    if(NOT KWO_HOST_KWZ)
      message(FATAL_ERROR "kwz_add_setup(${name}): KWO_HOST_KWZ (the native kwz) is not set")
    endif()
    get_filename_component(dir "${ARG_PAYLOAD_DIR}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    file(GLOB_RECURSE dir_files CONFIGURE_DEPENDS "${dir}/*")
    set(payload ${CMAKE_CURRENT_BINARY_DIR}/${name}.setup/payload.kwz)
    add_custom_command(OUTPUT ${payload}
      COMMAND ${KWO_HOST_KWZ} pack ${dir} ${payload}
      DEPENDS ${KWO_HOST_KWZ} ${dir_files} ${ARG_DEPENDS}
      COMMENT "Packing ${dir} for ${name}" VERBATIM)
  elseif(ARG_PAYLOAD_FILE)
    get_filename_component(payload "${ARG_PAYLOAD_FILE}" ABSOLUTE BASE_DIR ${CMAKE_CURRENT_BINARY_DIR})
  endif()

  kwo_setup_resources(res ${name} PAYLOAD "${payload}" DEPENDS ${ARG_DEPENDS})
  add_executable(${name} WIN32 $<TARGET_OBJECTS:kwo_setup_entry> ${res})
  target_link_libraries(${name} PRIVATE kwo_setup)
  target_link_options(${name} PRIVATE -s -Wl,-T,${KWO_RESOURCES_LAST_SCRIPT})
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${KWO_RESOURCES_LAST_SCRIPT})
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # On 64-bit Windows a 32-bit launcher then has 4 GiB of address space for
    # the decode instead of 2 (PE32+ launchers have it by default).
    target_link_options(${name} PRIVATE -Wl,--large-address-aware)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIRECTORY})
  add_dependencies(${name} kwo_setup_art)
endfunction()
