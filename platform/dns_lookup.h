#pragma once
// Name resolution through the system's resolver: IPv4 host lookups and DNS SRV queries.
// Both block while the resolver waits for an answer.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/udp_socket.h"

struct SrvRecord {
  uint16_t priority = 0;
  uint16_t weight = 0;
  uint16_t port = 0;
  std::string target;  // without the final dot; empty for the root name "."
  bool operator==(const SrvRecord&) const = default;
};

// Where SRV queries go: the system's configured name servers, or one given server (tests
// point this at a DNS server of their own).
struct DnsServer {
  std::optional<Ipv4Endpoint> nameserver;
};

// The SRV records in the answer to a query for `name` (a full name ending in "."), in
// answer order. nullopt when the query fails or the answer cannot be read; an empty list
// when the answer holds no SRV record.
std::optional<std::vector<SrvRecord>> querySrvRecords(const std::string& name,
                                                      const DnsServer& server = {});

// The address in a dotted IPv4 literal ("1.2.3.4"), or nullopt for anything else.
std::optional<uint32_t> parseIpv4Literal(const std::string& text);

struct HostLookup {
  bool ok = false;
  Ipv4Endpoint endpoint;  // the first IPv4 address found, with `port`
  std::string error;      // the system's message for the failure, on one line
};

// Resolves `host` for IPv4 UDP (literals need no DNS; "localhost" comes from the hosts
// file) and attaches `port`.
HostLookup resolveIpv4Host(const std::string& host, uint16_t port);
