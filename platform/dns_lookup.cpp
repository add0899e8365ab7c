#include "platform/dns_lookup.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace {

// Large enough for any answer that fits a UDP DNS reply with EDNS.
constexpr int kAnswerBufferBytes = 4096;
// The system's message texts are cut to this many bytes.
constexpr size_t kMaxErrorBytes = 1024;

std::string oneLine(const char* text) {
  std::string s = text != nullptr ? text : "";
  if (s.size() > kMaxErrorBytes) s.resize(kMaxErrorBytes);
  for (char& c : s) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::optional<std::vector<SrvRecord>> parseSrvAnswer(const unsigned char* answer, int length) {
  ns_msg msg;
  if (ns_initparse(answer, length, &msg) != 0) return std::nullopt;
  std::vector<SrvRecord> records;
  const int count = ns_msg_count(msg, ns_s_an);
  for (int i = 0; i < count; ++i) {
    ns_rr rr;
    if (ns_parserr(&msg, ns_s_an, i, &rr) != 0) return std::nullopt;
    if (ns_rr_type(rr) != ns_t_srv || ns_rr_class(rr) != ns_c_in) continue;
    const unsigned char* rdata = ns_rr_rdata(rr);
    if (ns_rr_rdlen(rr) < 7) continue;
    SrvRecord r;
    r.priority = ns_get16(rdata);
    r.weight = ns_get16(rdata + 2);
    r.port = ns_get16(rdata + 4);
    char target[NS_MAXDNAME];
    if (dn_expand(ns_msg_base(msg), ns_msg_end(msg), rdata + 6, target, sizeof target) < 0) {
      continue;
    }
    r.target = target;
    if (r.target == ".") r.target.clear();
    records.push_back(std::move(r));
  }
  return records;
}

}  // namespace

std::optional<std::vector<SrvRecord>> querySrvRecords(const std::string& name,
                                                      const DnsServer& server) {
  struct __res_state state;
  std::memset(&state, 0, sizeof state);
  if (res_ninit(&state) != 0) return std::nullopt;
  if (server.nameserver) {
    state.nscount = 1;
    state.nsaddr_list[0].sin_family = AF_INET;
    state.nsaddr_list[0].sin_addr.s_addr = htonl(server.nameserver->address);
    state.nsaddr_list[0].sin_port = htons(server.nameserver->port);
    state.retrans = 1;  // seconds per try: a private server answers at once or never
    state.retry = 2;
  }
  unsigned char answer[kAnswerBufferBytes];
  const int length = res_nquery(&state, name.c_str(), ns_c_in, ns_t_srv, answer, sizeof answer);
  res_nclose(&state);
  if (length < 0) return std::nullopt;
  return parseSrvAnswer(answer, length < kAnswerBufferBytes ? length : kAnswerBufferBytes);
}

std::optional<uint32_t> parseIpv4Literal(const std::string& text) {
  in_addr addr{};
  if (inet_pton(AF_INET, text.c_str(), &addr) != 1) return std::nullopt;
  return ntohl(addr.s_addr);
}

HostLookup resolveIpv4Host(const std::string& host, uint16_t port) {
  HostLookup result;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_protocol = IPPROTO_UDP;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
  if (rc != 0) {
    result.error = oneLine(rc == EAI_SYSTEM ? std::strerror(errno) : gai_strerror(rc));
    return result;
  }
  for (const addrinfo* ai = list; ai != nullptr; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET || ai->ai_addrlen < sizeof(sockaddr_in)) continue;
    const auto* sa = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
    result.endpoint = {ntohl(sa->sin_addr.s_addr), port};
    result.ok = true;
    break;
  }
  freeaddrinfo(list);
  if (!result.ok) result.error = oneLine(gai_strerror(EAI_NONAME));
  return result;
}
