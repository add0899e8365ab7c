if(ORVANE_APP)
  target_sources(orvane_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/text_wrap_test.cpp)
  target_link_libraries(orvane_tests PRIVATE orvane_screens)
endif()
