orvane_fuzzer(fuzz_saves SOURCES ${CMAKE_CURRENT_LIST_DIR}/fuzz_saves.cpp DEPENDS orvane_save)
