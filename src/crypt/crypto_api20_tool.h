// CCryptoAPI20Tool: the worker bound to the GOST provider and one store location that turns
// certificate bodies into certificates, reads and searches the system stores, imports
// certificates and chains, and runs the message operations: detached signing and verification,
// enveloping and opening.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "crypt/platform/certificate.h"
#include "crypt/platform/content_cipher.h"
#include "crypt/platform/content_stream.h"
#include "crypt/provider_context.h"
#include "rtl/base_class.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

class CCryptoProvider;

// System store codes.
namespace store_code {
inline constexpr uint8_t kMy = 1;
inline constexpr uint8_t kRoot = 2;
inline constexpr uint8_t kCa = 3;
inline constexpr uint8_t kAddressBook = 4;
}  // namespace store_code

// Store location codes; the user-storage flag selects the current user's.
inline constexpr uint8_t kLocalMachineLocation = 1;
inline constexpr uint8_t kCurrentUserLocation = 2;
[[nodiscard]] constexpr uint8_t LocationOfUserStorage(bool user_storage) noexcept {
  return user_storage ? kCurrentUserLocation : kLocalMachineLocation;
}

// Every operation raises on failure; argument names in the empty- and absent-argument messages
// are given with each operation. The message operations use no state of the tool (they take the
// user-storage flag), so one tool may serve them from several threads; the store operations use
// the tool's location.
class CCryptoAPI20Tool final : public rtl::CBaseClass {
 public:
  // Acquires a verification context of the GOST provider (type 75, named
  // "Crypto-Pro GOST R 34.10-2001 Cryptographic Service Provider"). Raises
  // "Ошибка при инициализации криптопровайдера: %s" with the last-error text.
  CCryptoAPI20Tool();

  [[nodiscard]] const std::string& ProviderName() const noexcept { return provider_name_; }
  [[nodiscard]] uint32_t ProviderType() const noexcept { return provider_type_; }
  [[nodiscard]] ProviderHandle Handle() const noexcept { return handle_.get(); }
  // 2 (current user) at creation.
  [[nodiscard]] uint8_t StoreLocation() const noexcept { return store_location_; }
  void SetStoreLocation(uint8_t location) noexcept { store_location_ = location; }

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
  void LoadStore(uint8_t store, rtl::CStrArray* list) const;
  // The certificate of the store whose thumbprint equals sha1 exactly ("sSha1"), or none; the
  // location and store checks of LoadStore first.
  [[nodiscard]] std::optional<Certificate> FindBySha1(uint8_t store, std::string_view sha1) const;

  // Imports a PKCS#7 chain or a single certificate ("p7b-body") at the tool's location, each
  // certificate sorted into "CA", "ROOT" or "addressbook"; no container is bound.
  void ImportP7B(std::string_view body) const;
  // Adds certificate ("certcontext") to the store at the tool's location, bound to the key
  // container when the store is "MY" and container_name is not empty; the checks of LoadStore
  // first.
  void ImportCertificate(uint8_t store, const Certificate* certificate,
                         std::string_view container_name) const;

  // Signs content ("content") with the certificate of "MY" whose thumbprint ("sha1", exactly 40
  // characters) is given, at the location of the user-storage flag. Without a provider one is
  // acquired (verification context, the machine key set when not user storage). Returns the
  // detached CMS SignedData (DER).
  [[nodiscard]] std::string SignContent(bool user_storage, CCryptoProvider* provider,
                                        std::string_view sha1, std::string_view content) const;
  // Checks a detached signature ("signature") over content ("content"), then the signer's
  // chain with the stores of the user-storage flag's location at signing_date (days since
  // 1899-12-30; 0 = now); download lets the chain builder fetch CA certificates and CRLs,
  // check_revocation makes it check revocation. With signers (which must own its objects), the
  // signers' certificates (CKORALCertificate objects named by thumbprint) are appended, last first.
  // Every failure raises (CCryptoAPI20Exception with its code for a signature or chain that does
  // not hold); the result is true. digests, when given, are content's own digests computed
  // before (see CCryptoSignature::SetContentDigests).
  bool VerifySignature(bool user_storage, std::string_view content, std::string_view signature,
                       bool check_revocation, bool download, double signing_date,
                       rtl::CStrArray* signers, const ContentDigests* digests = nullptr) const;

  // A CMS envelope of content for one certificate with the content encryption cipher.
  [[nodiscard]] std::string EncryptForCertificate(
      const Certificate& certificate, std::string_view content,
      ContentCipher cipher = ContentCipher::kGost28147) const;
  // Envelopes content for the certificate of "addressbook" (at the user-storage flag's location)
  // with that thumbprint. Raises "Сертификат для шифрования с отпечатком [%s] не найден в
  // храниилище "Другие пользователи"" when there is none.
  [[nodiscard]] std::string EncryptBySha1(bool user_storage, std::string_view content,
                                          std::string_view sha1,
                                          ContentCipher cipher = ContentCipher::kGost28147) const;
  // Opens an envelope with the key of a recipient certificate of "MY" (at the user-storage
  // flag's location) bound to a key container.
  [[nodiscard]] std::string DecryptContent(bool user_storage, std::string_view enveloped) const;
  // DecryptContent handing the content to sink while it is decrypted.
  void DecryptContentTo(bool user_storage, std::string_view enveloped, DecryptedSink& sink) const;
  // The certificate with that thumbprint in a store of a location, through a provider context
  // of its own; none when absent.
  [[nodiscard]] std::optional<Certificate> FindInStoreBySha1(uint8_t location, uint8_t store,
                                                             std::string_view sha1) const;

 private:
  void CheckStore(uint8_t store) const;

  std::string provider_name_;
  uint32_t provider_type_;
  uint8_t store_location_ = kCurrentUserLocation;
  std::shared_ptr<const ProviderContext> handle_;
};

}  // namespace lyr::crypt
