#pragma once
// Server addresses as a player types them into the join field: an IPv4 literal or a
// domain name, either with an optional ":port", or a host in brackets. A domain without
// a port is first looked up as the SRV record "_orvane._udp.<domain>.", so a server can
// publish its real host and port under a plain name. IPv6 is refused with a message.
// Every error text is translated.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dns_lookup.h"
#include "platform/udp_socket.h"

struct ServerAddress {
  std::string host;
  uint16_t port = 0;
  bool explicitPort = false;  // the text carried a port
};

// Parses `text` (blanks around it ignored; no port means `defaultPort`). False with
// `error` set on a malformed text.
bool parseServerAddress(const std::string& text, uint16_t defaultPort, ServerAddress& out,
                        std::string& error);

// The query name for a host's SRV record: "_orvane._udp." + host + ".".
std::string srvQueryName(const std::string& host);

// Of the records with a non-empty target, those of the lowest priority, one picked by
// weight (a weight of 0 counts as 1) with `random`. Returns its index in `records`, or -1
// when no record has a target.
int pickSrvRecord(const std::vector<SrvRecord>& records, uint32_t random);

// The SRV target and port published for `host`. False on any query failure, an empty
// answer, an empty target or port 0.
bool lookupSrv(const std::string& host, std::string& target, uint16_t& port,
               const DnsServer& dns = {});

// Parses and resolves `text` to one IPv4 address: literals as they are, a domain without
// a port through its SRV record when there is one, then the system resolver. False with
// `error` set.
bool resolveServerAddress(const std::string& text, uint16_t defaultPort, Ipv4Endpoint& out,
                          std::string& error, const DnsServer& dns = {});

// "a.b.c.d:port".
std::string formatEndpoint(const Ipv4Endpoint& endpoint);
