target_sources(orvane_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/translations_test.cpp)
target_link_libraries(orvane_tests PRIVATE orvane_lang)
