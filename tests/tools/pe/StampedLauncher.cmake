# A stamped launcher beside the linked one: the payload-free stub stamped with
# the demo folder by the native kwz at build time (the test holds it to the
# stub stamped with the linked launcher's payload file), and a test program that
# runs both under the launcher tests' driver. Included from tests/app, where
# the launchers, their definitions and the driver are.
set(stamped_launcher ${CMAKE_CURRENT_BINARY_DIR}/KwoSetupStamped.exe)
set(stamped_payload ${CMAKE_BINARY_DIR}/app/KwoWardenSetup.setup/payload.kwz)
add_custom_command(OUTPUT ${stamped_launcher}
  COMMAND ${KWO_HOST_KWZ} stamp -q $<TARGET_FILE:KwoWardenSetup-stub> ${KWO_DEMO_PAYLOAD_DIR} ${stamped_launcher}
  DEPENDS ${KWO_HOST_KWZ} KwoWardenSetup-stub KwoWardenSetup ${stamped_payload} ${KWO_DEMO_PAYLOAD_FILES}
  COMMENT "Stamping the demo folder into the stub" VERBATIM)
# The same folder packed with --smallest, for the same stub.
set(smallest_launcher ${CMAKE_CURRENT_BINARY_DIR}/KwoSetupSmallest.exe)
add_custom_command(OUTPUT ${smallest_launcher}
  COMMAND ${KWO_HOST_KWZ} stamp -q --smallest $<TARGET_FILE:KwoWardenSetup-stub> ${KWO_DEMO_PAYLOAD_DIR}
          ${smallest_launcher}
  DEPENDS ${KWO_HOST_KWZ} KwoWardenSetup-stub ${KWO_DEMO_PAYLOAD_FILES}
  COMMENT "Stamping the demo folder, packed with --smallest, into the stub" VERBATIM)
add_custom_target(kwz_stamped_launcher DEPENDS ${stamped_launcher} ${smallest_launcher})

kwo_add_test(kwz_stamped_launcher_tests PROPERTIES RESOURCE_LOCK launcher
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StampedLauncherTest.cpp LauncherDriver.cpp ${support}
  LIBS kwz_lib psapi)
target_compile_definitions(kwz_stamped_launcher_tests PRIVATE ${launcher_definitions}
  KWO_STAMPED_LAUNCHER="${stamped_launcher}" KWO_DEMO_PAYLOAD_FILE="${stamped_payload}"
  KWO_SMALLEST_LAUNCHER="${smallest_launcher}")
add_dependencies(kwz_stamped_launcher_tests kwz_stamped_launcher ${launchers})
