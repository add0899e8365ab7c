target_sources(orvane_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/save_test.cpp)
target_link_libraries(orvane_tests PRIVATE orvane_save)
