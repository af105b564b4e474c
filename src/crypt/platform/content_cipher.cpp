// Names and identifiers of the content encryptions.
#include "crypt/platform/content_cipher.h"

#include <algorithm>
#include <array>

namespace lyr::crypt {
namespace {

constexpr std::array<std::string_view, 5> kNames = {"gost89", "magma-ctr-acpkm",
                                                    "magma-ctr-acpkm-omac", "kuznyechik-ctr-acpkm",
                                                    "kuznyechik-ctr-acpkm-omac"};
constexpr std::array<std::string_view, 5> kOids = {kOidGost28147, kOidMagmaCtrAcpkm,
                                                   kOidMagmaCtrAcpkmOmac, kOidKuznyechikCtrAcpkm,
                                                   kOidKuznyechikCtrAcpkmOmac};

}  // namespace

std::span<const std::string_view> ContentCipherNames() {
  return kNames;
}

std::string_view ContentCipherName(ContentCipher cipher) {
  return kNames.at(static_cast<size_t>(cipher));
}

std::optional<ContentCipher> ContentCipherByName(std::string_view name) {
  const auto found = std::ranges::find(kNames, name);
  if (found == kNames.end()) {
    return std::nullopt;
  }
  return static_cast<ContentCipher>(found - kNames.begin());
}

std::string_view ContentCipherOid(ContentCipher cipher) {
  return kOids.at(static_cast<size_t>(cipher));
}

}  // namespace lyr::crypt
