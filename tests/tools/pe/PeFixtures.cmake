# Small Windows programs with resources for the PE tests, built with the
# MinGW cross tools (the native tests read them, the Windows tests also run
# them). The tests find them below their working folder:
#   probe.exe            resources in the middle (.reloc, debug sections and a
#                        symbol table follow), as the GNU linker lays them out
#                        and as the launcher stub has them
#   probe-stripped.exe   the same, stripped (no debug sections, no symbols)
#   probe-payload.exe    with an older payload KWZ/137 in language 0x407
#   probe-bare.exe       without any resources
#   probe-version.exe    with version information (windres's, US English)
# A Windows tree builds them for its own architecture into pe-fixtures/, so
# that its tests can run them. The native tree builds both: the 32-bit ones
# into pe-fixtures/ and the 64-bit ones into pe-fixtures/x64/.
set(src ${CMAKE_CURRENT_LIST_DIR})

# kwo_pe_fixture_set(DIR CC WINDRES): the four fixtures, built into DIR.
function(kwo_pe_fixture_set out cc windres)
  file(MAKE_DIRECTORY ${out})
  foreach(fixture "probe;ResourceProbe.rc;-g" "probe-stripped;ResourceProbe.rc;-s"
                  "probe-payload;ResourcePayload.rc;-s" "probe-bare;;-s" "probe-version;VersionProbe.rc;-s")
    list(GET fixture 0 name)
    list(GET fixture 1 rc)
    list(GET fixture 2 flag)
    set(objects "")
    set(depends ${src}/ResourceProbe.c)
    if(rc)
      set(res ${out}/${name}-res.o)
      add_custom_command(OUTPUT ${res}
        COMMAND ${windres} -I ${src} -i ${src}/${rc} -o ${res} -O coff
        DEPENDS ${src}/${rc} ${src}/ResourceProbe.rc VERBATIM)
      set(objects ${res})
      list(APPEND depends ${res})
    endif()
    add_custom_command(OUTPUT ${out}/${name}.exe
      COMMAND ${cc} -O2 ${flag} ${src}/ResourceProbe.c ${objects} -lgdi32 -o ${out}/${name}.exe
      DEPENDS ${depends}
      COMMENT "Building PE test fixture ${out}/${name}.exe" VERBATIM)
    set_property(GLOBAL APPEND PROPERTY KWO_PE_FIXTURES ${out}/${name}.exe)
  endforeach()
endfunction()

# Each set as LABEL=FOLDER, for the tests.
if(WIN32)
  kwo_pe_fixture_set(${CMAKE_CURRENT_BINARY_DIR}/pe-fixtures ${CMAKE_C_COMPILER} ${CMAKE_RC_COMPILER})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(fixture_sets x64=pe-fixtures)
  else()
    set(fixture_sets x86=pe-fixtures)
  endif()
else()
  foreach(triplet i686-w64-mingw32 x86_64-w64-mingw32)
    find_program(KWO_${triplet}_CC NAMES ${triplet}-gcc-posix ${triplet}-gcc REQUIRED)
    find_program(KWO_${triplet}_WINDRES NAMES ${triplet}-windres REQUIRED)
  endforeach()
  kwo_pe_fixture_set(${CMAKE_CURRENT_BINARY_DIR}/pe-fixtures
    ${KWO_i686-w64-mingw32_CC} ${KWO_i686-w64-mingw32_WINDRES})
  kwo_pe_fixture_set(${CMAKE_CURRENT_BINARY_DIR}/pe-fixtures/x64
    ${KWO_x86_64-w64-mingw32_CC} ${KWO_x86_64-w64-mingw32_WINDRES})
  set(fixture_sets x86=pe-fixtures x64=pe-fixtures/x64)
endif()

get_property(fixtures GLOBAL PROPERTY KWO_PE_FIXTURES)
add_custom_target(kwz_pe_fixtures DEPENDS ${fixtures})
add_dependencies(kwz_tests kwz_pe_fixtures)
string(REPLACE ";" "," fixture_sets "${fixture_sets}")
target_compile_definitions(kwz_tests PRIVATE KWZ_PE_FIXTURES="pe-fixtures" KWZ_PE_FIXTURE_SETS="${fixture_sets}")

# The project's version, which the stubs' version information carries; the
# Windows tests read version information with the system's functions.
target_compile_definitions(kwz_tests PRIVATE KWO_VERSION="${PROJECT_VERSION}")
if(WIN32)
  target_link_libraries(kwz_tests PRIVATE version)
endif()
