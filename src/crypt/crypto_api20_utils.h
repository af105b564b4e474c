// CCryptoAPI20Utils: the stateless certificate, store and message operations the crypto classes
// use, with the system's messages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/content_cipher.h"
#include "crypt/platform/content_stream.h"
#include "crypt/platform/crl.h"
#include "crypt/platform/store_location.h"
#include "crypt/provider_context.h"
#include "crypt/store_code.h"

namespace lyr::crypt {

// Certificates named by their thumbprints, in store order.
using CertificateList = std::vector<std::pair<std::string, Certificate>>;

class CCryptoAPI20Utils final {
 public:
  CCryptoAPI20Utils() = delete;

  // Store code 1 "MY", 2 "ROOT", 3 "CA", 4 "addressbook"; other codes raise
  // "Недоступное имя хранилища: [%d]".
  static std::string StoreName(StoreCode store);
  // The system store of a store code at a location: a location code other than 1 (local
  // machine) and 2 (current user) raises "Недоступное хранилище: [%d]", then the store code is
  // checked as StoreName checks it.
  static CertStore OpenSystemStore(StoreLocation location, StoreCode store);

  // The DER a certificate text stands for: the PEM lines of label ("-----BEGIN " label "-----"
  // and "-----END " label "-----", in any letter case) removed, then the rest Base64-decoded when
  // it is Base64 text (rtl::IsBase64Text), else the text as given (taken for DER).
  static std::string CertificateTextToDer(std::string_view text,
                                          std::string_view label = "CERTIFICATE");
  // A certificate from DER, or Base64 text with or without the PEM lines. Raises the empty-
  // argument message for "CertificateBody", or "Ошибка при импорте сертификата: " and the system
  // text.
  static Certificate CertificateFromBody(std::string_view body);
  // A CRL from DER; raises for "CRLBody" or "Ошибка при импорте CRL (неверный формат?): " and the
  // system text.
  static Crl CRLFromBody(std::string_view body);

  // The subject's or issuer's common name, "na" when it has none.
  static std::string GetSubjectCN(const Certificate& certificate);
  static std::string GetIssuerCN(const Certificate& certificate);
  // The thumbprint: 40 upper-case hexadecimal digits.
  static std::string GetSha1(const Certificate& certificate);
  // The serial number bytes least significant first (as CryptoAPI keeps them), two upper-case
  // hexadecimal digits per byte.
  static std::string GetSerialNumber(const Certificate& certificate);
  static std::string GetCertificateBody(const Certificate& certificate);
  // The accepted URLs of the CRL distribution points' full names, joined with ",".
  static std::string GetCRLDistributionURLs(const Certificate& certificate);
  // The last accepted caIssuers URL; "" without the extension; raises "Точка распространения
  // сертификата CA не найдена" when the extension gives none.
  static std::string GetCAIssuersURL(const Certificate& certificate);
  // Subject and issuer common names are equal (case-sensitive).
  static bool IsSelfIssued(const Certificate& certificate);
  // Starts with "https://", "http://" or "ftp://" (case-sensitive).
  static bool IsAcceptedURL(std::string_view text);

  // The certificate of the store whose thumbprint equals thumbprint exactly, or none; the store
  // code is checked first, then as OpenSystemStore checks.
  static std::optional<Certificate> FindCertificateBySha1(StoreLocation location,
                                                          std::string_view thumbprint,
                                                          StoreCode store);
  // Appends every certificate of the store to list, named by its thumbprint.
  static void EnumerateStore(StoreLocation location, CertificateList& list, StoreCode store);

  // A CMS envelope for one certificate; failure raises "Ошибка при шифровании (1): " and the
  // system text.
  static std::string EncryptMessage(const Certificate& certificate, std::string_view content,
                                    ContentCipher cipher = ContentCipher::kGost28147);
  // Opens an envelope with a key found through the store's certificates; failure raises
  // "Ошибка при расшифровании (1): " and the system text.
  static std::string DecryptMessage(const CertStore& store, std::string_view content);
  // DecryptMessage handing the content to sink while it is decrypted.
  static void DecryptMessageTo(const CertStore& store, std::string_view content,
                               DecryptedSink& sink);
  // The first certificate of a SignedData, or none. Bytes that are not SignedData raise
  // "Не удалось извлечь подписанта из подписи. Неверный формат подписи: %s".
  static std::optional<Certificate> CertificateFromSignature(std::string_view signature);

  // Adds certificate to the system store of a store code at a location: "MY" replaces an entry
  // with the same thumbprint, the other stores keep it. For "MY" and a non-empty container name
  // the certificate is then bound to that container of the current user: the container receives
  // the certificate and the store entry the key-provider property (container, the provider's
  // name and type, flags 1, dwKeySpec 1). Raises the codes' messages, "Не удалось импортировать
  // сертификат" + the system text, "Ошибка при инициализации с контейнером [%s] криптопровайдера:
  // %s", "Ошибка при получении закрытого ключа из контейнера: " + the system text and "Ошибка при
  // импорте сертификата в контейнер: %s". A failed binding leaves the certificate in "MY"
  // without a binding, or with the binding an earlier entry of it had.
  static void AddCertificateToStore(ProviderHandle provider, StoreLocation location,
                                    std::string_view container_name, const Certificate& certificate,
                                    StoreCode store);
  // Puts a CRL into "CA" at location when it may be used: not defective (Crl::Defect; raises
  // "Список отозванных сертификатов УЦ [%s] не может быть использован: %s" with the issuer's
  // common name and the reason), not issued later than now plus kCrlClockSkew ("Список
  // отозванных сертификатов УЦ [%s] выпущен позже текущего времени [%s]", with its thisUpdate in
  // UTC), and signed by the key of a usable certificate of "ROOT" or "CA" with its issuer's name
  // that may sign lists ("Подпись списка отозванных сертификатов УЦ [%s] не проверяется ни
  // одним сертификатом УЦ из хранилищ"). It replaces the older lists of that issuer under the
  // store's lock (CertStore::AddCrl, kNewer: raises ECryptError CRYPT_E_EXISTS when the store
  // holds the same or a newer one). After any failure the store is as it was.
  static void ImportCRL(StoreLocation location, const Crl& crl);
  // Imports a PKCS#7 certificate chain (DER or Base64, with or without the certificate PEM lines)
  // or a single certificate, sorting each certificate into "CA" (IsCACertificate), "ROOT"
  // (IsSelfIssued) or "addressbook". A body that is neither raises CertificateFromBody's
  // messages; a failed import removes the entries it had added.
  static void ImportChain(ProviderHandle provider, StoreLocation location, std::string_view body,
                          std::string_view container_name);
  // The certificate has a critical basic-constraints extension with the CA flag (an extension
  // that does not decode counts as no CA).
  static bool IsCACertificate(const Certificate& certificate);

  // The GOST provider is installed (the engine loads and offers the GOST algorithms).
  static bool IsCryptographyOk();
  // The provider's name and type; a null handle raises "CCryptoAPI20Utils.GetProvInfo: %s".
  static std::pair<std::string, uint32_t> GetProvInfo(ProviderHandle provider);
};

}  // namespace lyr::crypt
