// CTdx880CryptoTool: the package-level crypto operations the package items call: sign a
// document with the key named by a thumbprint, verify a document signature and report its
// signer, encrypt for a recipient given by thumbprint or by certificate body, decrypt, and read
// the signer of a stored signature.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "crypt/crypto_api20_tool.h"
#include "crypt/platform/certificate.h"
#include "crypt/platform/content_cipher.h"
#include "crypt/platform/content_stream.h"
#include "crypt/platform/store_location.h"
#include "crypt/store_code.h"
#include "rtl/base_class.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

class CCryptoProvider;

// The signer a stored signature carries.
struct SignatureSigner {
  std::string certificate_body;  // DER
  std::string sha1;              // thumbprint, 40 upper-case hexadecimal digits
  std::string subject_cn;        // "na" when the subject has no common name
};

// Stateless: every operation acquires and frees its own provider context (a verification context
// of the GOST provider, whose failure raises "Ошибка при инициализации криптопровайдера: %s" with
// the last-error text), provider, signature, configuration and store objects, so one tool (or
// several) may serve several threads at once. The first argument user_storage selects the
// current user's stores (true) or the local machine's (false). Failures raise with the messages
// of the crypto classes; a signature or chain that does not hold raises CCryptoAPI20Exception
// with its code.
class CTdx880CryptoTool final : public rtl::CBaseClass {
 public:
  CTdx880CryptoTool() = default;

  // The DER body of the certificate with that thumbprint in "MY" (is_private) or
  // "addressbook" of the user-storage flag's location. Raises "Сертификат по отпечатку [%s] не
  // найден в хранилище [%s]" (thumbprint, store name) when there is none.
  [[nodiscard]] std::string GetCertificateBodyBySha1(bool user_storage, std::string_view sha1,
                                                     bool is_private) const;

  // Signs content ("content") with the certificate of "MY" whose thumbprint ("sha1", exactly 40
  // characters) is given, at the location of the user-storage flag. Without a provider one is
  // acquired (verification context, the machine key set when not user storage). Returns the
  // detached CMS SignedData (DER).
  [[nodiscard]] std::string SignContent(bool user_storage, CCryptoProvider* provider,
                                        std::string_view sha1, std::string_view content) const;
  // SignContent with a provider of its own.
  [[nodiscard]] std::string Sign(bool user_storage, std::string_view content,
                                 std::string_view sha1) const;
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
  // Checks signature over content and the signer's chain now, downloading what is missing
  // and checking revocation. True, or raises.
  bool CheckSign(bool user_storage, std::string_view content, std::string_view signature) const;
  // Empties signer_list ("pSignerList"; it is made to own its objects) and checks signature
  // over content now with the given chain flags; then the list holds the signers' certificates
  // (CKORALCertificate objects) followed by one CTdx880Key of the first signer (Sha1 and
  // CertificateBody set, SubjectCN empty), each named by the thumbprint. digests, when given, are
  // content's own digests computed before (while it was decrypted): the check then uses them
  // instead of hashing content again, with the same checks and messages.
  void CheckSignEx(bool user_storage, std::string_view content, bool check_revocation,
                   bool download, rtl::CStrArray* signer_list, std::string_view signature,
                   const ContentDigests* digests = nullptr) const;

  // A CMS envelope of content for one certificate with the content encryption cipher.
  [[nodiscard]] std::string EncryptForCertificate(
      const Certificate& certificate, std::string_view content,
      ContentCipher cipher = ContentCipher::kGost28147) const;
  // Envelopes content for the certificate of a body (DER or Base64, loaded into a
  // CKORALCertificate) with the content encryption cipher; no store is involved.
  [[nodiscard]] std::string EncryptByCertificate(
      std::string_view content, std::string_view certificate_body,
      ContentCipher cipher = ContentCipher::kGost28147) const;
  // Envelopes content for the certificate of "addressbook" (at the user-storage flag's location)
  // with that thumbprint. Raises "Сертификат для шифрования с отпечатком [%s] не найден в
  // храниилище "Другие пользователи"" when there is none.
  [[nodiscard]] std::string EncryptBySha1(bool user_storage, std::string_view content,
                                          std::string_view sha1,
                                          ContentCipher cipher = ContentCipher::kGost28147) const;
  // Opens an envelope with the key of a recipient certificate of "MY" (at the user-storage
  // flag's location) bound to a key container.
  [[nodiscard]] std::string Decrypt(bool user_storage, std::string_view enveloped) const;
  // Decrypt handing the content to sink while it is decrypted (same checks and messages; what
  // sink raises comes out unchanged).
  void DecryptTo(bool user_storage, std::string_view enveloped, DecryptedSink& sink) const;

  // The first certificate a signature carries. Raises "Подпись не содержит сертификата
  // подписанта" when it carries none, "Не удалось извлечь подписанта из подписи. Неверный формат
  // подписи: %s" for bytes that are no SignedData.
  [[nodiscard]] static SignatureSigner SignerFromSignature(std::string_view signature);
  // The GOST provider is installed.
  [[nodiscard]] static bool IsCryptographyOk();
};

}  // namespace lyr::crypt
