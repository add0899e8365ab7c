target_sources(orvane_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/game_sync_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net_admission_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net_capacity_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net_fault_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net_hostile_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/net_session_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_address_test.cpp
)
target_link_libraries(orvane_tests PRIVATE orvane_net)

if(ORVANE_APP)
  add_test(NAME mode.nettest COMMAND ${EXPECT} 0
    "^nettest: joined=1 welcomed=1 ready=1 edits=12000/12000 editRequest=1 world=1 failures=0$"
    "^FAIL: " -- $<TARGET_FILE:orvane> --nettest)
  set_tests_properties(mode.nettest PROPERTIES LABELS mode)
endif()
