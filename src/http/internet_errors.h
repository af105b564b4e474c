// The Internet-client error codes that transport failures are reported with, their names and
// their English texts.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace lyr::http {

// One Internet-client error code.
struct InternetError {
  int32_t Code;
  const char* Name;  // the symbolic name, e.g. "ERROR_INTERNET_TIMEOUT"
  const char* Text;  // the English description (windows-1251; ASCII but for one dash)
};

// Codes used by the client itself.
inline constexpr int32_t kInternetTimeout = 12002;
inline constexpr int32_t kInternetInternalError = 12004;
inline constexpr int32_t kInternetInvalidUrl = 12005;
inline constexpr int32_t kInternetNameNotResolved = 12007;
inline constexpr int32_t kInternetCannotConnect = 12029;
inline constexpr int32_t kInternetConnectionAborted = 12030;
inline constexpr int32_t kInternetConnectionReset = 12031;
inline constexpr int32_t kInternetClientAuthCertNeeded = 12044;
inline constexpr int32_t kInternetRedirectSchemeChange = 12048;
inline constexpr int32_t kHttpInvalidServerResponse = 12152;
inline constexpr int32_t kHttpRedirectFailed = 12156;
inline constexpr int32_t kInternetSecurityChannelError = 12157;
inline constexpr int32_t kInternetProxyServerUnreachable = 12165;

// Every code that has a text, in ascending order.
std::span<const InternetError> InternetErrors() noexcept;

// The text of code; "Error" for a code without one.
std::string InternetErrorText(int32_t code);

}  // namespace lyr::http
