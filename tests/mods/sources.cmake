target_sources(orvane_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/examples_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hostile_calls_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hostile_resources_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mod_rules_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/package_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sandbox_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_api_test.cpp
)
target_link_libraries(orvane_tests PRIVATE orvane_mods)

if(ORVANE_APP)
  add_test(NAME mode.modtest COMMAND ${EXPECT} 0
    "^modtest: mods=3 block=1 archive=1 command=1 cancel=1 budget=ok failures=0$" "^FAIL: "
    -- $<TARGET_FILE:orvane> --modtest)
  set_tests_properties(mode.modtest PROPERTIES LABELS mode)
endif()
