target_sources(orvane_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/block_registry_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/flat_hash_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fluid_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mesh_scheduler_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mesher_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/terrain_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/world_test.cpp
)
target_link_libraries(orvane_tests PRIVATE orvane_world)
