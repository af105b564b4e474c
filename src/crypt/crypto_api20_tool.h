// CCryptoAPI20Tool: the worker bound to the GOST provider and one store location that turns
// certificate bodies into certificates, reads and searches the system stores, and imports
// certificates and chains (for CTdx880Crypt). The message operations are CTdx880CryptoTool's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/certificate.h"
#include "crypt/platform/store_location.h"
#include "crypt/provider_context.h"
#include "crypt/store_code.h"
#include "rtl/base_class.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

// The location of the user-storage flag: the current user's (true) or the local machine's.
[[nodiscard]] constexpr StoreLocation LocationOfUserStorage(bool user_storage) noexcept {
  return user_storage ? StoreLocation::kCurrentUser : StoreLocation::kLocalMachine;
}

// A verification context of the GOST provider (type 75, named
// "Crypto-Pro GOST R 34.10-2001 Cryptographic Service Provider"). Raises
// "Ошибка при инициализации криптопровайдера: %s" with the last-error text.
std::shared_ptr<const ProviderContext> AcquireGostVerifyContext();

// Every operation raises on failure; argument names in the empty- and absent-argument messages
// are given with each operation. The operations use the tool's location.
class CCryptoAPI20Tool final : public rtl::CBaseClass {
 public:
  // Holds a verification context of the GOST provider (AcquireGostVerifyContext) while it lives.
  CCryptoAPI20Tool();

  [[nodiscard]] const std::string& ProviderName() const noexcept { return provider_name_; }
  [[nodiscard]] uint32_t ProviderType() const noexcept { return provider_type_; }
  [[nodiscard]] ProviderHandle Handle() const noexcept { return handle_.get(); }
  // The current user's at creation.
  [[nodiscard]] crypt::StoreLocation StoreLocation() const noexcept { return store_location_; }
  void SetStoreLocation(crypt::StoreLocation location) noexcept { store_location_ = location; }

  // The certificate of a DER or Base64 body ("CertificateBody").
  [[nodiscard]] Certificate CertificateFromBody(std::string_view body) const;
  // "na" when the subject has no common name ("certcontext").
  [[nodiscard]] std::string GetSubjectCN(const Certificate* certificate) const;
  // The thumbprint ("certcontext").
  [[nodiscard]] std::string GetSha1(const Certificate* certificate) const;
  // The DER bytes ("CertContext").
  [[nodiscard]] std::string GetCertificateBody(const Certificate* certificate) const;

  // Appends every certificate of the store at the tool's location to list (which must own its
  // objects), each named by its thumbprint. Raises "Неизвестное хранилище" for location 0,
  // "Неизвестное имя хранилища" for store 0, the absent-argument message for "certArray".
  void LoadStore(StoreCode store, rtl::CStrArray* list) const;
  // The certificate of the store whose thumbprint equals sha1 exactly ("sSha1"), or none; the
  // location and store checks of LoadStore first.
  [[nodiscard]] std::optional<Certificate> FindBySha1(StoreCode store, std::string_view sha1) const;

  // Imports a PKCS#7 chain or a single certificate ("p7b-body") at the tool's location, each
  // certificate sorted into "CA", "ROOT" or "addressbook"; no container is bound.
  void ImportP7B(std::string_view body) const;
  // Adds certificate ("certcontext") to the store at the tool's location, bound to the key
  // container when the store is "MY" and container_name is not empty; the checks of LoadStore
  // first.
  void ImportCertificate(StoreCode store, const Certificate* certificate,
                         std::string_view container_name) const;

 private:
  void CheckStore(StoreCode store) const;

  std::string provider_name_;
  uint32_t provider_type_;
  crypt::StoreLocation store_location_ = crypt::StoreLocation::kCurrentUser;
  std::shared_ptr<const ProviderContext> handle_;
};

}  // namespace lyr::crypt
