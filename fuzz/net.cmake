# Multiplayer: arbitrary datagrams fed to a host and a client session, and arbitrary
# server-address texts.
orvane_fuzzer(fuzz_net_datagrams
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_datagram_fuzz.cpp DEPENDS orvane_net)
orvane_fuzzer(fuzz_net_address
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_address_fuzz.cpp DEPENDS orvane_net)
