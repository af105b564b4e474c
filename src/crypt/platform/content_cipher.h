// The content encryptions the library writes into envelopes, and their names on the command line
// and in the package configuration.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace lyr::crypt {

// GOST 28147-89 CFB with the CryptoPro-A parameter set (key transport of RFC 4490), or Magma /
// Kuznyechik in CTR-ACPKM, with or without OMAC (key transport with KExp15; GOST R 34.10-2012
// recipients only).
enum class ContentCipher : uint8_t {
  kGost28147,
  kMagmaCtrAcpkm,
  kMagmaCtrAcpkmOmac,
  kKuznyechikCtrAcpkm,
  kKuznyechikCtrAcpkmOmac,
};

// "gost89", "magma-ctr-acpkm", "magma-ctr-acpkm-omac", "kuznyechik-ctr-acpkm",
// "kuznyechik-ctr-acpkm-omac", in the order of the enumeration.
std::span<const std::string_view> ContentCipherNames();
std::string_view ContentCipherName(ContentCipher cipher);
// The cipher of a name (exact, lower case); nothing for any other text.
std::optional<ContentCipher> ContentCipherByName(std::string_view name);
// The object identifier written for cipher.
std::string_view ContentCipherOid(ContentCipher cipher);

inline constexpr std::string_view kOidGost28147 = "1.2.643.2.2.21";
inline constexpr std::string_view kOidCryptoProA = "1.2.643.2.2.31.1";
inline constexpr std::string_view kOidMagmaCtrAcpkm = "1.2.643.7.1.1.5.1.1";
inline constexpr std::string_view kOidMagmaCtrAcpkmOmac = "1.2.643.7.1.1.5.1.2";
inline constexpr std::string_view kOidKuznyechikCtrAcpkm = "1.2.643.7.1.1.5.2.1";
inline constexpr std::string_view kOidKuznyechikCtrAcpkmOmac = "1.2.643.7.1.1.5.2.2";
inline constexpr std::string_view kOidMagmaKexp15 = "1.2.643.7.1.1.7.1.1";
inline constexpr std::string_view kOidKuznyechikKexp15 = "1.2.643.7.1.1.7.2.1";
inline constexpr std::string_view kOidNoneKeyWrap = "1.2.643.2.2.13.0";
inline constexpr std::string_view kOidCryptoProKeyWrap = "1.2.643.2.2.13.1";

}  // namespace lyr::crypt
