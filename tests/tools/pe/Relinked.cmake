# Second links of what ships, for the check that linking is reproducible: the
# stub with a resource object of its own, kwz.exe from a main object of its
# own, both into relinked/ under the names they ship with. A native test
# holds them to the first links byte for byte.
kwz_add_setup(KwoWardenSetup-stub-relinked OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/relinked)
set_target_properties(KwoWardenSetup-stub-relinked PROPERTIES OUTPUT_NAME KwoWardenSetup-stub)

add_executable(kwz-relinked ${CMAKE_SOURCE_DIR}/tools/kwz/main.cpp)
target_link_libraries(kwz-relinked PRIVATE kwz_lib)
kwo_warnings(kwz-relinked)
set_target_properties(kwz-relinked PROPERTIES OUTPUT_NAME kwz RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/relinked)
