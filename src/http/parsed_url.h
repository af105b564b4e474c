// The parts of a download address as the HTTPS client takes them apart.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::http {

struct ParsedUrl {
  std::string Host;  // empty when the address has no "/" after the host
  std::string Path;  // without the leading "/"
  int32_t Port = 0;  // 0 when the address names none (or names something that is not a number)
  bool Secure = false;
};

// Splits url the way the client does: the scheme is what precedes the first "://" (the whole url
// is the rest when there is none) and the transport is secure when the scheme contains "https"
// (case-sensitive); the host runs up to the first "/" of the rest and the path follows that "/";
// a ":" in the host separates a decimal port. Never fails: an odd address gives odd parts, which
// the connection then refuses.
ParsedUrl ParseUrl(std::string_view url);

}  // namespace lyr::http
