# Gameplay: arbitrary chat lines run as commands in a running game.
orvane_fuzzer(fuzz_commands
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/commands_fuzz.cpp DEPENDS orvane_game
  ARGS -dict=${CMAKE_CURRENT_LIST_DIR}/commands.dict)
