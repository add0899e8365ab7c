target_sources(orvane_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/launch_test.cpp)
if(ORVANE_APP)
  target_sources(orvane_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sounds_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/game_session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/menu_session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/multiplayer_session_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_guard_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_mods_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/slow_frames_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/settings_file_test.cpp)
  # The server tests start the real executable.
  target_compile_definitions(orvane_tests PRIVATE ORVANE_EXECUTABLE="$<TARGET_FILE:orvane>")
  add_dependencies(orvane_tests orvane)
endif()

if(ORVANE_APP)
  add_test(NAME mode.selftest COMMAND ${EXPECT} 0
    "^selftest: chunks=[0-9]+ vertices=[0-9]+ indices=[0-9]+ failures=0$" "^FAIL: "
    -- $<TARGET_FILE:orvane> --selftest)
  add_test(NAME mode.selftest_chinese COMMAND ${EXPECT} 0 "failures=0$" "^FAIL: "
    -- env LC_ALL=zh_CN.UTF-8 $<TARGET_FILE:orvane> --selftest)
  add_test(NAME mode.no_display COMMAND ${EXPECT} 1 "^failed to initialize GLFW$" -
    -- env -u DISPLAY -u WAYLAND_DISPLAY $<TARGET_FILE:orvane>)
  add_test(NAME mode.window_opens COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/window_opens.sh
    $<TARGET_FILE:orvane>)
  add_test(NAME display.hosttest COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/hosttest.sh
    $<TARGET_FILE:orvane>)
  set_tests_properties(display.hosttest PROPERTIES LABELS display RESOURCE_LOCK xvfb)
  set_tests_properties(mode.selftest mode.selftest_chinese mode.no_display mode.window_opens
    PROPERTIES LABELS mode)
  # Parallel xvfb-run -a calls can race for the same display number.
  set_tests_properties(mode.window_opens PROPERTIES RESOURCE_LOCK xvfb)
endif()
