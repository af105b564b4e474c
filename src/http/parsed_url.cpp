// Taking a download address apart.
#include "http/parsed_url.h"

#include <charconv>

namespace lyr::http {
namespace {

// The decimal number of text (an optional sign, then digits only), or 0.
int32_t PortNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  int32_t value = 0;
  const char* const end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) {
    return 0;
  }
  return value;
}

}  // namespace

ParsedUrl ParseUrl(std::string_view url) {
  ParsedUrl parsed;
  std::string_view rest = url;
  const size_t separator = url.find("://");
  if (separator != std::string_view::npos) {
    parsed.Secure = url.substr(0, separator).find("https") != std::string_view::npos;
    rest = url.substr(separator + 3);
  }
  // Without a "/" after the host there is no host at all: the connection will fail.
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) {
    return parsed;
  }
  std::string_view host = rest.substr(0, slash);
  parsed.Path = std::string(rest.substr(slash + 1));
  const size_t colon = host.find(':');
  if (colon != std::string_view::npos) {
    parsed.Port = PortNumber(host.substr(colon + 1));
    host = host.substr(0, colon);
  }
  parsed.Host = std::string(host);
  return parsed;
}

}  // namespace lyr::http
