// Server addresses: parsing what a player types, picking among SRV records, and whole
// resolutions against a real DNS server (dnsmasq on a loopback port, started here).

#include <fcntl.h>
#include <netdb.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>
#include <sstream>
#include <thread>

#include "lang/translations.h"
#include "net/server_address.h"

namespace {

struct Parsed {
  bool ok;
  std::string host;
  uint16_t port;
  bool explicitPort;
  std::string error;
};

Parsed parse(const std::string& text) {
  ServerAddress a;
  std::string error;
  const bool ok = parseServerAddress(text, 27632, a, error);
  return {ok, a.host, a.port, a.explicitPort, error};
}

std::string parseError(const std::string& text) {
  const Parsed p = parse(text);
  EXPECT_FALSE(p.ok) << text;
  return p.error;
}

// A dnsmasq process answering on 127.0.0.1 with the given --srv-host records.
class Dnsmasq {
 public:
  static std::string binary() {
    std::vector<std::string> dirs;
    std::istringstream path(std::getenv("PATH") != nullptr ? std::getenv("PATH") : "");
    for (std::string dir; std::getline(path, dir, ':');) dirs.push_back(dir);
    for (const char* dir : {"/usr/sbin", "/sbin", "/usr/local/sbin"}) dirs.push_back(dir);
    for (const std::string& dir : dirs) {
      const std::string candidate = dir + "/dnsmasq";
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
  }

  // Starts on a free port and waits until it answers; false when it never does.
  bool start(const std::vector<std::string>& srvHosts) {
    const std::string exe = binary();
    for (int attempt = 0; attempt < 5 && !exe.empty(); ++attempt) {
      UdpSocket probe;
      if (!probe.open() || !probe.bindLoopback(0)) return false;
      port_ = probe.localPort();
      probe.close();
      std::vector<std::string> args = {exe,
                                       "--keep-in-foreground",
                                       "--conf-file=/dev/null",
                                       "--pid-file=",
                                       "--no-resolv",
                                       "--no-hosts",
                                       "--bind-interfaces",
                                       "--listen-address=127.0.0.1",
                                       "--port=" + std::to_string(port_)};
      for (const std::string& s : srvHosts) args.push_back("--srv-host=" + s);
      if (spawn(args) && waitUntilAnswering()) return true;
      stop();
    }
    return false;
  }
  ~Dnsmasq() { stop(); }
  DnsServer server() const { return {Ipv4Endpoint{kIpv4Loopback, port_}}; }

 private:
  bool spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) pid_ = -1;
    return rc == 0;
  }
  bool waitUntilAnswering() {
    for (int i = 0; i < 100; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {  // exited: the port was taken
        pid_ = -1;
        return false;
      }
      if (querySrvRecords("_orvane._udp.game.test.", server())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    return false;
  }
  void stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  pid_t pid_ = -1;
  uint16_t port_ = 0;
};

// The SRV targets are "localhost", which the system resolves from /etc/hosts.
bool localhostResolves() {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo("localhost", nullptr, &hints, &found) != 0) return false;
  freeaddrinfo(found);
  return true;
}

#define START_DNSMASQ(dns, ...)                                                              \
  if (Dnsmasq::binary().empty()) {                                                           \
    GTEST_SKIP() << "dnsmasq is not installed (package dnsmasq-base); SRV test skipped";     \
  }                                                                                          \
  if (!localhostResolves()) {                                                                \
    GTEST_SKIP() << "\"localhost\" does not resolve here (no /etc/hosts); SRV test skipped"; \
  }                                                                                          \
  ASSERT_TRUE(dns.start(__VA_ARGS__)) << "dnsmasq did not start"

Ipv4Endpoint resolved(const std::string& text, const DnsServer& dns) {
  Ipv4Endpoint e;
  std::string error;
  EXPECT_TRUE(resolveServerAddress(text, 27632, e, error, dns)) << text << ": " << error;
  return e;
}

}  // namespace

TEST(ServerAddressParse, HostsAndPortsAsPlayersTypeThem) {
  auto expect = [](const std::string& text, const std::string& host, uint16_t port,
                   bool explicitPort) {
    const Parsed p = parse(text);
    EXPECT_TRUE(p.ok) << text << ": " << p.error;
    EXPECT_EQ(p.host, host) << text;
    EXPECT_EQ(p.port, port) << text;
    EXPECT_EQ(p.explicitPort, explicitPort) << text;
  };
  expect("play.example.org", "play.example.org", 27632, false);
  expect("play.example.org:25000", "play.example.org", 25000, true);
  expect("1.2.3.4", "1.2.3.4", 27632, false);
  expect(" \t play.example.org:7 \r\n", "play.example.org", 7, true);
  expect("host: 80 ", "host", 80, true);
  expect("host:65535", "host", 65535, true);
  expect("host:1", "host", 1, true);
  expect("host:000001", "host", 1, true);
  expect("[1.2.3.4]:99", "1.2.3.4", 99, true);
  expect("[ named ]", "named", 27632, false);
  expect("::1", "::1", 27632, false);  // several colons: all host
}

TEST(ServerAddressParse, MalformedTextsSayWhatIsWrong) {
  EXPECT_EQ(parseError(""), "Enter a server address");
  EXPECT_EQ(parseError(" \t\r\n "), "Enter a server address");
  EXPECT_EQ(parseError(":80"), "Enter a server address");
  EXPECT_EQ(parseError("[]"), "Enter a server address");
  EXPECT_EQ(parseError("[host"), "Missing closing bracket");
  EXPECT_EQ(parseError("[host]x"), "Unexpected characters after address");
  for (const char* port : {"0", "65536", "12a", "", "99999999999", "-1"}) {
    EXPECT_EQ(parseError(std::string("host:") + port), "Invalid port") << port;
  }
  EXPECT_EQ(parseError("[host]:"), "Invalid port");

  setLanguage(LanguageChinese);
  const std::string chinese = parseError("[host");
  setLanguage(LanguageEnglish);
  EXPECT_EQ(chinese, "缺少右方括号") << "errors are translated";
}

TEST(ServerAddressResolve, LiteralsAndRefusalsNeedNoDns) {
  const DnsServer nowhere{Ipv4Endpoint{kIpv4Loopback, 1}};
  Ipv4Endpoint e = resolved("1.2.3.4", nowhere);
  EXPECT_EQ(e, (Ipv4Endpoint{0x01020304, 27632}));
  EXPECT_EQ(formatEndpoint(e), "1.2.3.4:27632");
  EXPECT_EQ(formatEndpoint(resolved("10.0.0.255:5", nowhere)), "10.0.0.255:5");

  std::string error;
  EXPECT_FALSE(resolveServerAddress("[::1]:27632", 27632, e, error, nowhere));
  EXPECT_EQ(error, "IPv6 addresses are not supported yet");
  EXPECT_FALSE(resolveServerAddress("fe80::1", 27632, e, error, nowhere));
  EXPECT_EQ(error, "IPv6 addresses are not supported yet");
  EXPECT_FALSE(resolveServerAddress("255.255.255.255", 27632, e, error, nowhere));
  EXPECT_EQ(error, "Could not resolve server");
  EXPECT_FALSE(resolveServerAddress("bad..name:5", 27632, e, error, nowhere));
  EXPECT_EQ(error.rfind("Could not resolve server: ", 0), 0u) << error;
  EXPECT_GT(error.size(), std::string("Could not resolve server: ").size());
  EXPECT_EQ(error.find('\n'), std::string::npos);
}

TEST(SrvRecords, OnlyTheLowestPriorityIsPickedAndWeightZeroCountsAsOne) {
  const std::vector<SrvRecord> records = {
      {10, 0, 1, "a"}, {10, 0, 2, "b"}, {20, 100, 3, "c"}, {5, 9, 4, ""}};
  EXPECT_EQ(pickSrvRecord(records, 0), 0);
  EXPECT_EQ(pickSrvRecord(records, 1), 1);
  EXPECT_EQ(pickSrvRecord(records, 2), 0);
  const std::vector<SrvRecord> weighted = {{1, 3, 1, "a"}, {1, 1, 2, "b"}};
  EXPECT_EQ(pickSrvRecord(weighted, 2), 0);
  EXPECT_EQ(pickSrvRecord(weighted, 3), 1);
  EXPECT_EQ(pickSrvRecord(weighted, 7), 1);
  EXPECT_EQ(pickSrvRecord({{1, 1, 1, ""}}, 0), -1);
  EXPECT_EQ(pickSrvRecord({}, 0), -1);
  EXPECT_EQ(srvQueryName("play.example.org"), "_orvane._udp.play.example.org.");
}

TEST(SrvRecords, RealServerAnswersArePickedAndWinOverTheDefaultPort) {
  Dnsmasq dns;
  START_DNSMASQ(dns, {"_orvane._udp.game.test,localhost,27200,0,0",
                      "_orvane._udp.multi.test,localhost,27001,10,0",
                      "_orvane._udp.multi.test,localhost,27002,10,5",
                      "_orvane._udp.multi.test,127.0.0.9,27003,20,50",
                      "_orvane._udp.localhost,localhost,27300,0,0"});

  std::optional<std::vector<SrvRecord>> records =
      querySrvRecords("_orvane._udp.multi.test.", dns.server());
  ASSERT_TRUE(records);
  std::sort(records->begin(), records->end(),
            [](const SrvRecord& a, const SrvRecord& b) { return a.port < b.port; });
  EXPECT_EQ(*records, (std::vector<SrvRecord>{{10, 0, 27001, "localhost"},
                                              {10, 5, 27002, "localhost"},
                                              {20, 50, 27003, "127.0.0.9"}}));

  std::set<uint16_t> picked;
  for (int i = 0; i < 40; ++i) {
    std::string target;
    uint16_t port = 0;
    ASSERT_TRUE(lookupSrv("multi.test", target, port, dns.server()));
    EXPECT_EQ(target, "localhost");
    picked.insert(port);
  }
  EXPECT_EQ(picked.count(27003), 0u) << "priority 20 loses to priority 10";
  EXPECT_EQ(picked.count(27002), 1u);

  EXPECT_EQ(resolved("game.test", dns.server()), (Ipv4Endpoint{kIpv4Loopback, 27200}));
  EXPECT_EQ(resolved("localhost", dns.server()), (Ipv4Endpoint{kIpv4Loopback, 27300}));
  EXPECT_EQ(resolved("localhost:25000", dns.server()), (Ipv4Endpoint{kIpv4Loopback, 25000}))
      << "a typed port is never replaced";
}

TEST(SrvRecords, FailedLookupsFallBackToTheHostAndDefaultPort) {
  Dnsmasq dns;
  START_DNSMASQ(dns, {"_orvane._udp.game.test,localhost,27200,0,0",
                      "_orvane._udp.localhost"});  // no target: "no such service"
  std::string target;
  uint16_t port = 0;
  EXPECT_FALSE(lookupSrv("localhost", target, port, dns.server()));
  EXPECT_FALSE(lookupSrv("unknown.test", target, port, dns.server()));
  EXPECT_EQ(resolved("localhost", dns.server()), (Ipv4Endpoint{kIpv4Loopback, 27632}));

  const DnsServer nowhere{Ipv4Endpoint{kIpv4Loopback, 1}};
  EXPECT_FALSE(lookupSrv("game.test", target, port, nowhere));
  EXPECT_EQ(resolved("localhost", nowhere), (Ipv4Endpoint{kIpv4Loopback, 27632}));
}
