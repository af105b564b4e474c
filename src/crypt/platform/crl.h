// A certificate revocation list of the crypto layer: parsing, issuer, dates, revoked serials.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/platform/certificate.h"

namespace lyr::crypt {

// One revoked certificate: its serial number (content bytes, most significant first) and the
// revocation date (seconds since the Unix epoch, UTC).
struct RevokedEntry {
  std::string serial_number;
  int64_t revocation_date = 0;
};

// How far a list's thisUpdate may lie ahead of this machine's clock.
inline constexpr int64_t kCrlClockSkew = 10 * 60;

// An immutable CRL; copies share the parsed object.
class Crl final {
 public:
  // Parses DER holding exactly one CRL; raises ECryptError CRYPT_E_ASN1_BADTAG otherwise.
  static Crl FromDer(std::string_view der);
  // Parses the first "-----BEGIN X509 CRL-----" block; raises ECryptError CRYPT_E_ASN1_BADTAG.
  static Crl FromPem(std::string_view pem);

  [[nodiscard]] const std::string& Der() const noexcept;
  // SHA-1 of the DER as 40 upper-case hexadecimal digits.
  [[nodiscard]] std::string Thumbprint() const;
  [[nodiscard]] std::string IssuerNameDer() const;
  [[nodiscard]] std::vector<NameAttribute> Issuer() const;
  [[nodiscard]] std::optional<std::string> IssuerCN() const;
  // Seconds since the Unix epoch (UTC); NextUpdate is 0 when the CRL gives none.
  [[nodiscard]] int64_t ThisUpdate() const;
  [[nodiscard]] int64_t NextUpdate() const;
  // The entries in encoding order.
  [[nodiscard]] std::vector<RevokedEntry> Revoked() const;
  // The issuer names match and issuer's public key verifies the CRL's signature.
  [[nodiscard]] bool IsIssuedBy(const Certificate& issuer) const;
  // Why the list must not be used (RFC 5280 section 5), "" when nothing is wrong: a time not
  // written as RFC 5280 requires, a nextUpdate before the thisUpdate, extensions in a version 1
  // list, an extension present twice, or a critical list or entry extension this system does
  // not process (a delta list, an issuing distribution point, an indirect list's entries).
  [[nodiscard]] std::string Defect() const;
  // Not defective, and issued no later than now (seconds since the epoch) plus kCrlClockSkew.
  [[nodiscard]] bool IsUsableAt(int64_t now) const;

  struct Impl;

 private:
  explicit Crl(std::shared_ptr<const Impl> impl) : impl_(std::move(impl)) {}
  friend struct CrlAccess;

  std::shared_ptr<const Impl> impl_;
};

}  // namespace lyr::crypt
