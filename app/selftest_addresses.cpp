// Self-test checks of server addresses: the forms a player may type, the errors for the
// forms they may not, and literals that resolve without asking any name server.

#include "app/selftest.h"
#include "lang/translations.h"
#include "net/server_address.h"

namespace {

bool parsesTo(const char* text, const char* host, uint16_t port, bool explicitPort) {
  ServerAddress a;
  std::string error;
  return parseServerAddress(text, 27632, a, error) && a.host == host && a.port == port &&
         a.explicitPort == explicitPort;
}

bool failsWith(const char* text, const char* message) {
  ServerAddress a;
  std::string error;
  return !parseServerAddress(text, 27632, a, error) && error == tr(message);
}

void runAddressChecks(SelfTestRun& run) {
  run.check(parsesTo("play.example.org", "play.example.org", 27632, false),
            "a domain without a port takes the default port");
  run.check(parsesTo(" play.example.org:25000\n", "play.example.org", 25000, true),
            "a typed port is kept and blanks around the address are ignored");
  run.check(parsesTo("[10.0.0.2]:5", "10.0.0.2", 5, true), "a bracketed host takes a port");
  run.check(failsWith("[host", "Missing closing bracket") &&
                failsWith("[host]x", "Unexpected characters after address") &&
                failsWith("host:0", "Invalid port") && failsWith("host:65536", "Invalid port") &&
                failsWith(" \t ", "Enter a server address"),
            "malformed addresses are refused with their messages");

  const DnsServer nowhere{Ipv4Endpoint{kIpv4Loopback, 1}};
  Ipv4Endpoint e;
  std::string error;
  run.check(resolveServerAddress("1.2.3.4", 27632, e, error, nowhere) &&
                formatEndpoint(e) == "1.2.3.4:27632",
            "an IPv4 literal resolves as it is");
  run.check(!resolveServerAddress("[::1]:27632", 27632, e, error, nowhere) &&
                error == tr("IPv6 addresses are not supported yet"),
            "IPv6 addresses are refused");
}

const SelfTestArea kAddressArea(800, "addresses", &runAddressChecks);

}  // namespace
