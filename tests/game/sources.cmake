target_sources(orvane_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/collision_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/commands_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/environment_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/items_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mobs_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_test.cpp
)
target_link_libraries(orvane_tests PRIVATE orvane_game)
