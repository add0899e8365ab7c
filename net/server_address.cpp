#include "net/server_address.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "lang/translations.h"

namespace {

std::string trim(const std::string& s) {
  constexpr const char* kBlanks = " \t\r\n";
  const size_t first = s.find_first_not_of(kBlanks);
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

bool parsePort(const std::string& text, uint16_t& port) {
  const std::string t = trim(text);
  if (t.empty()) return false;
  unsigned value = 0;
  for (const char c : t) {
    if (c < '0' || c > '9') return false;
    value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 100000u);
  }
  if (value < 1 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool fail(std::string& error, const char* text) {
  error = tr(text);
  return false;
}

}  // namespace

bool parseServerAddress(const std::string& text, uint16_t defaultPort, ServerAddress& out,
                        std::string& error) {
  error.clear();
  const std::string t = trim(text);
  if (t.empty()) return fail(error, "Enter a server address");
  out = ServerAddress{};
  out.port = defaultPort;
  std::string host;
  std::string portText;
  if (t[0] == '[') {
    const size_t close = t.find(']');
    if (close == std::string::npos) return fail(error, "Missing closing bracket");
    host = t.substr(1, close - 1);
    if (close + 1 < t.size()) {
      if (t[close + 1] != ':') return fail(error, "Unexpected characters after address");
      out.explicitPort = true;
      portText = t.substr(close + 2);
    }
  } else {
    const size_t first = t.find(':');
    if (first != std::string::npos && first == t.rfind(':')) {
      host = t.substr(0, first);
      out.explicitPort = true;
      portText = t.substr(first + 1);
    } else {
      host = t;
    }
  }
  if (out.explicitPort && !parsePort(portText, out.port)) return fail(error, "Invalid port");
  out.host = trim(host);
  if (out.host.empty()) return fail(error, "Enter a server address");
  return true;
}

std::string srvQueryName(const std::string& host) {
  return "_orvane._udp." + host + ".";
}

int pickSrvRecord(const std::vector<SrvRecord>& records, uint32_t random) {
  int lowest = -1;
  for (const SrvRecord& r : records) {
    if (!r.target.empty() && (lowest < 0 || r.priority < lowest)) lowest = r.priority;
  }
  if (lowest < 0) return -1;
  auto kept = [&](const SrvRecord& r) { return !r.target.empty() && r.priority == lowest; };
  auto weightOf = [](const SrvRecord& r) { return std::max<uint32_t>(r.weight, 1); };
  uint32_t sum = 0;
  for (const SrvRecord& r : records) {
    if (kept(r)) sum += weightOf(r);
  }
  uint32_t left = random % sum;
  int first = -1;
  for (size_t i = 0; i < records.size(); ++i) {
    if (!kept(records[i])) continue;
    if (first < 0) first = static_cast<int>(i);
    if (left < weightOf(records[i])) return static_cast<int>(i);
    left -= weightOf(records[i]);
  }
  return first;
}

bool lookupSrv(const std::string& host, std::string& target, uint16_t& port, const DnsServer& dns) {
  const std::optional<std::vector<SrvRecord>> records = querySrvRecords(srvQueryName(host), dns);
  if (!records) return false;
  std::random_device random;
  const int index = pickSrvRecord(*records, random());
  if (index < 0) return false;
  const SrvRecord& picked = (*records)[static_cast<size_t>(index)];
  if (picked.target.empty() || picked.port == 0) return false;
  target = picked.target;
  port = picked.port;
  return true;
}

bool resolveServerAddress(const std::string& text, uint16_t defaultPort, Ipv4Endpoint& out,
                          std::string& error, const DnsServer& dns) {
  ServerAddress address;
  if (!parseServerAddress(text, defaultPort, address, error)) return false;
  if (const std::optional<uint32_t> literal = parseIpv4Literal(address.host)) {
    if (*literal == kIpv4Broadcast) return fail(error, "Could not resolve server");
    out = {*literal, address.port};
    return true;
  }
  if (address.host.find(':') != std::string::npos) {
    return fail(error, "IPv6 addresses are not supported yet");
  }
  std::string host = address.host;
  uint16_t port = address.port;
  if (!address.explicitPort) {
    std::string target;
    uint16_t srvPort = 0;
    if (lookupSrv(host, target, srvPort, dns)) {
      host = target;
      port = srvPort;
    }
  }
  const HostLookup found = resolveIpv4Host(host, port);
  if (!found.ok) {
    char text256[256];
    std::snprintf(text256, sizeof text256, tr("Could not resolve server: %s"), found.error.c_str());
    error = text256;
    return false;
  }
  if (found.endpoint.address == kIpv4Broadcast) return fail(error, "Could not resolve server");
  out = found.endpoint;
  return true;
}

std::string formatEndpoint(const Ipv4Endpoint& e) {
  char text[32];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u:%u", (e.address >> 24) & 0xFF,
                (e.address >> 16) & 0xFF, (e.address >> 8) & 0xFF, e.address & 0xFF,
                unsigned{e.port});
  return text;
}
