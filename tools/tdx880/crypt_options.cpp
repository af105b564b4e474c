// Store names, locations and thumbprints of the certificate commands.
#include "crypt_options.h"

#include <ctime>

#include "base/ascii.h"
#include "rtl/errors.h"
#include "terminal.h"

namespace lyr::tool {

crypt::StoreLocation LocationOf(const Options& options) {
  return options.flags.contains("--machine") ? crypt::StoreLocation::kLocalMachine
                                             : crypt::StoreLocation::kCurrentUser;
}

std::string LocationText(crypt::StoreLocation location) {
  return location == crypt::StoreLocation::kLocalMachine ? "local machine" : "current user";
}

std::optional<crypt::StoreCode> StoreCodeOf(std::string_view name) {
  static constexpr std::string_view kNames[] = {"MY", "ROOT", "CA", "ADDRESSBOOK"};
  const std::string upper = base::UpperAsciiText(name);
  for (uint8_t code = 1; code <= 4; ++code) {
    if (upper == kNames[code - 1] || upper == std::to_string(code)) {
      return static_cast<crypt::StoreCode>(code);
    }
  }
  return std::nullopt;
}

std::optional<std::string> NormalThumbprint(std::string_view text) {
  std::string digits;
  for (const char c : text) {
    if (c == ':' || c == ' ') {
      continue;
    }
    if (base::HexDigitValue(c) < 0) {
      return std::nullopt;
    }
    digits += base::UpperAscii(c);
  }
  if (digits.size() != 40) {
    return std::nullopt;
  }
  return digits;
}

crypt::ContentCipher ContentCipherOf(const std::string& name) {
  if (name.empty()) {
    return crypt::ContentCipher::kGost28147;
  }
  const std::optional<crypt::ContentCipher> cipher = crypt::ContentCipherByName(name);
  if (!cipher) {
    throw rtl::Exception("not a content cipher (" + ContentCipherChoices() +
                         "): " + Escaped(FromTerminal(name)));
  }
  return *cipher;
}

std::string ContentCipherChoices() {
  std::string choices;
  for (const std::string_view name : crypt::ContentCipherNames()) {
    choices += (choices.empty() ? "" : "|") + std::string(name);
  }
  return choices;
}

std::string UtcText(int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm parts{};
  char text[32] = {};
  if (::gmtime_r(&time, &parts) == nullptr ||
      std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0) {
    return "?";
  }
  return text;
}

}  // namespace lyr::tool
