# Mod packages: unpacking arbitrary archive bytes.
orvane_fuzzer(fuzz_mod_package SOURCES ${CMAKE_CURRENT_LIST_DIR}/mods_fuzz.cpp DEPENDS orvane_mods)
