# Multiplayer: arbitrary datagrams fed to a host and a client session, and arbitrary
# server-address texts. The sources under test are compiled into the targets so that
# libFuzzer sees their coverage (linked libraries are not instrumented).
set(net_dir ${PROJECT_SOURCE_DIR}/net)
orvane_fuzzer(fuzz_net_datagrams
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_datagram_fuzz.cpp ${net_dir}/net_session.cpp
          ${net_dir}/net_wire.cpp ${PROJECT_SOURCE_DIR}/platform/udp_socket.cpp
  DEPENDS orvane_ui)
orvane_fuzzer(fuzz_net_address
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/net_address_fuzz.cpp ${net_dir}/server_address.cpp
  DEPENDS orvane_platform orvane_ui)
