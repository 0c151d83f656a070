# Small Windows programs with resources for the PE tests, built with the MinGW
# cross tools in both trees (the native tests read them, the Windows tests
# also run them). The tests find them below their working folder, in
# pe-fixtures/.
#   probe.exe            resources in the middle (.reloc, debug sections and a
#                        symbol table follow), as the GNU linker lays them out
#                        and as the launcher stub has them
#   probe-stripped.exe   the same, stripped (no debug sections, no symbols)
#   probe-payload.exe    with an older payload KWZ/137 in language 0x407
#   probe-bare.exe       without any resources
find_program(KWO_MINGW_CC NAMES i686-w64-mingw32-gcc-posix i686-w64-mingw32-gcc REQUIRED)
find_program(KWO_MINGW_WINDRES NAMES i686-w64-mingw32-windres REQUIRED)

set(src ${CMAKE_CURRENT_LIST_DIR})
set(out ${CMAKE_CURRENT_BINARY_DIR}/pe-fixtures)
file(MAKE_DIRECTORY ${out})

function(kwo_pe_fixture name rc)
  set(flags ${ARGN})
  set(objects "")
  set(depends ${src}/ResourceProbe.c)
  if(rc)
    set(res ${out}/${name}-res.o)
    add_custom_command(OUTPUT ${res}
      COMMAND ${KWO_MINGW_WINDRES} -I ${src} -i ${src}/${rc} -o ${res} -O coff
      DEPENDS ${src}/${rc} ${src}/ResourceProbe.rc VERBATIM)
    set(objects ${res})
    list(APPEND depends ${res})
  endif()
  add_custom_command(OUTPUT ${out}/${name}.exe
    COMMAND ${KWO_MINGW_CC} -O2 ${flags} ${src}/ResourceProbe.c ${objects} -o ${out}/${name}.exe
    DEPENDS ${depends}
    COMMENT "Building PE test fixture ${name}.exe" VERBATIM)
  set_property(GLOBAL APPEND PROPERTY KWO_PE_FIXTURES ${out}/${name}.exe)
endfunction()

kwo_pe_fixture(probe ResourceProbe.rc -g)
kwo_pe_fixture(probe-stripped ResourceProbe.rc -s)
kwo_pe_fixture(probe-payload ResourcePayload.rc -s)
kwo_pe_fixture(probe-bare "" -s)

get_property(fixtures GLOBAL PROPERTY KWO_PE_FIXTURES)
add_custom_target(kwz_pe_fixtures DEPENDS ${fixtures})
add_dependencies(kwz_tests kwz_pe_fixtures)
target_compile_definitions(kwz_tests PRIVATE KWZ_PE_FIXTURES="pe-fixtures")
