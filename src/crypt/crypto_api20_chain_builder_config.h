// The configurations of the certificate chain builders: the certificate whose chain is built,
// the store location of the trusted stores, the signing date, and for the strict builder the date
// margin and the download and revocation flags.
#pragma once

#include <cstdint>
#include <optional>

#include "crypt/platform/certificate.h"
#include "crypt/platform/store_location.h"
#include "crypt/provider_context.h"
#include "rtl/base_class.h"
#include "rtl/date_time.h"

namespace lyr::crypt {

// Flags of CCryptoAPI20ChainBuilderStrictConfig.
namespace chain_flags {
inline constexpr uint8_t kDownloadCa = 2;       // download missing CA certificates
inline constexpr uint8_t kDownloadCrl = 4;      // download revocation lists
inline constexpr uint8_t kCheckRevocation = 8;  // check every link against its issuer's CRL
inline constexpr uint8_t kDefault = kDownloadCa | kDownloadCrl | kCheckRevocation;
}  // namespace chain_flags

class CCryptoAPI20ChainBuilderBaseConfig : public rtl::CBaseClass {
 public:
  CCryptoAPI20ChainBuilderBaseConfig() = default;

  // Copies every field of other; a configuration of a derived kind copies its own fields as well
  // when other is of that kind.
  virtual void Assign(const CCryptoAPI20ChainBuilderBaseConfig& other);

  // The certificate whose chain is built. A null certificate raises
  // "Передан пустой аргумент: pInitialCertContext".
  [[nodiscard]] const std::optional<Certificate>& InitialCertificate() const noexcept {
    return initial_certificate_;
  }
  void SetInitialCertificate(const Certificate* certificate);

  // The provider handle the working store is opened with (not owned; may be null).
  [[nodiscard]] ProviderHandle Provider() const noexcept { return provider_; }
  void SetProvider(ProviderHandle provider) noexcept { provider_ = provider; }

  // Location code of the "CA" and "ROOT" stores read at open (1 local machine, 2 current user).
  [[nodiscard]] crypt::StoreLocation StoreLocation() const noexcept { return store_location_; }
  void SetStoreLocation(crypt::StoreLocation location) noexcept { store_location_ = location; }

  // The signing date (days since 1899-12-30, local time). Setting 0 stores the current local
  // date-time; a negative date raises "Неверное значение аргумента [%s]" (the date as a short
  // date) and keeps the old one.
  [[nodiscard]] rtl::TDateTime Date() const noexcept { return date_; }
  void SetDate(rtl::TDateTime date);

 private:
  std::optional<Certificate> initial_certificate_;
  ProviderHandle provider_ = nullptr;
  crypt::StoreLocation store_location_ = crypt::StoreLocation::kCurrentUser;
  rtl::TDateTime date_ = 0;
};

class CCryptoAPI20ChainBuilderStrictConfig final : public CCryptoAPI20ChainBuilderBaseConfig {
 public:
  CCryptoAPI20ChainBuilderStrictConfig() = default;

  void Assign(const CCryptoAPI20ChainBuilderBaseConfig& other) override;

  // Tolerance in hours around every date bound of the revocation check (see CompareWithMargin).
  [[nodiscard]] int32_t Margin() const noexcept { return margin_; }
  void SetMargin(int32_t hours) noexcept { margin_ = hours; }

  // chain_flags bits; 14 (all three) by default.
  [[nodiscard]] uint8_t Flags() const noexcept { return flags_; }
  void SetFlags(uint8_t flags) noexcept { flags_ = flags; }

 private:
  int32_t margin_ = 0;
  uint8_t flags_ = chain_flags::kDefault;
};

}  // namespace lyr::crypt
