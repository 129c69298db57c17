#include "web/http/network.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <vector>

#include "app/text.h"

namespace migprof::web {

bool SplitListenAddress(const std::string& listen, std::string& host, int& port) {
  std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == listen.size()) return false;
  host = listen.substr(0, colon);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  std::string digits = listen.substr(colon + 1);
  if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  port = std::stoi(digits);
  return port <= 65535 && !host.empty();
}

namespace {

bool IsLoopbackRange(const AddressRange& address) {
  if (address.family == AF_INET) return address.bytes[0] == 127;
  static constexpr unsigned char kIpv6Loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0,
                                                      0, 0, 0, 0, 0, 0, 0, 1};
  return std::memcmp(address.bytes, kIpv6Loopback, 16) == 0;
}

}  // namespace

bool IsLoopback(const std::string& host) {
  if (host.find('/') != std::string::npos) return false;
  if (std::optional<AddressRange> address = ParseAddressRange(host)) {
    return IsLoopbackRange(*address);
  }
  // A name: loopback only when every address it stands for is. A name that
  // merely starts like one ("127.0.0.1.example.com") is resolved like any.
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0) return false;
  bool loopback = found != nullptr;
  for (const addrinfo* at = found; at != nullptr && loopback; at = at->ai_next) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* bytes =
        at->ai_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(at->ai_addr)->sin_addr)
            : static_cast<const void*>(
                  &reinterpret_cast<const sockaddr_in6*>(at->ai_addr)->sin6_addr);
    inet_ntop(at->ai_family, bytes, text, sizeof text);
    std::optional<AddressRange> address = ParseAddressRange(text);
    loopback = address && IsLoopbackRange(*address);
  }
  freeaddrinfo(found);
  return loopback;
}

std::optional<AddressRange> ParseAddressRange(const std::string& text) {
  std::string address = text;
  int prefix = -1;
  if (std::size_t slash = text.find('/'); slash != std::string::npos) {
    const std::string digits = text.substr(slash + 1);
    if (digits.empty() || digits.size() > 3 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
      return std::nullopt;
    }
    prefix = std::stoi(digits);
    address = text.substr(0, slash);
  }
  AddressRange range;
  if (inet_pton(AF_INET, address.c_str(), range.bytes) == 1) {
    range.family = AF_INET;
    if (prefix > 32) return std::nullopt;
    range.prefix = prefix < 0 ? 32 : prefix;
  } else if (inet_pton(AF_INET6, address.c_str(), range.bytes) == 1) {
    range.family = AF_INET6;
    if (prefix > 128) return std::nullopt;
    range.prefix = prefix < 0 ? 128 : prefix;
    static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(range.bytes, kMapped, 12) == 0 && range.prefix >= 96) {
      std::memmove(range.bytes, range.bytes + 12, 4);
      std::memset(range.bytes + 4, 0, 12);
      range.family = AF_INET;
      range.prefix -= 96;
    }
  } else {
    return std::nullopt;
  }
  return range;
}

bool TrustedProxies::Add(const std::string& text) {
  std::optional<AddressRange> range = ParseAddressRange(text);
  if (!range) return false;
  ranges_.push_back(*range);
  return true;
}

bool TrustedProxies::Trusts(const std::string& address) const {
  std::optional<AddressRange> peer = ParseAddressRange(address);
  if (!peer || address.find('/') != std::string::npos) return false;
  for (const AddressRange& range : ranges_) {
    if (range.family != peer->family) continue;
    const int whole = range.prefix / 8, rest = range.prefix % 8;
    if (std::memcmp(range.bytes, peer->bytes, static_cast<std::size_t>(whole)) != 0) continue;
    const auto mask = static_cast<unsigned char>(0xff << (8 - rest));
    if (rest == 0 || ((range.bytes[whole] ^ peer->bytes[whole]) & mask) == 0) return true;
  }
  return false;
}

namespace {

std::vector<std::string> CommaList(const std::string& text) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    items.push_back(app::Trimmed(text.substr(start, comma - start), " \t"));
    start = comma + 1;
  }
  return items;
}

}  // namespace

ClientView SeeClient(const TrustedProxies& proxies, const std::string& peer,
                     const std::string& forwarded_for, const std::string& forwarded_proto) {
  ClientView view{peer, false};
  if (!proxies.Trusts(peer)) return view;
  if (!forwarded_for.empty()) {
    std::vector<std::string> hops = CommaList(forwarded_for);
    for (auto hop = hops.rbegin(); hop != hops.rend(); ++hop) {
      if (!ParseAddressRange(*hop) || hop->find('/') != std::string::npos) break;
      view.address = *hop;
      if (!proxies.Trusts(*hop)) break;
    }
  }
  // The proxy next to the server sets the scheme; its value is the last one.
  std::string scheme = CommaList(forwarded_proto).back();
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  view.https = scheme == "https";
  return view;
}

HealthAnswer LivenessAnswer() { return HealthAnswer{200, R"({"status":"alive"})"}; }

HealthAnswer ReadinessAnswer(const std::function<void()>& probe) {
  try {
    probe();
  } catch (...) {
    return HealthAnswer{503, R"({"status":"unavailable","reason":"the database did not answer"})"};
  }
  return HealthAnswer{200, R"({"status":"ready"})"};
}

}  // namespace migprof::web
