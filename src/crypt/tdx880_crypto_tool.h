// CTdx880CryptoTool: the package-level crypto operations the package items call: sign a
// document with the key named by a thumbprint, verify a document signature and report its
// signer, encrypt for a recipient given by thumbprint or by certificate body, decrypt, and read
// the signer of a stored signature.
#pragma once

#include <string>
#include <string_view>

#include "crypt/platform/content_cipher.h"
#include "crypt/platform/content_stream.h"
#include "rtl/base_class.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

// The signer a stored signature carries.
struct SignatureSigner {
  std::string certificate_body;  // DER
  std::string sha1;              // thumbprint, 40 upper-case hexadecimal digits
  std::string subject_cn;        // "na" when the subject has no common name
};

// Stateless: every operation acquires and frees its own provider, signature, configuration and
// store objects, so one tool (or several) may serve several threads at once. The first argument
// user_storage selects the current user's stores (true) or the local machine's (false).
// Failures raise with the messages of the crypto classes; a signature or chain that does not
// hold raises CCryptoAPI20Exception with its code.
class CTdx880CryptoTool : public rtl::CBaseClass {
 public:
  CTdx880CryptoTool() = default;

  // 1. The DER body of the certificate with that thumbprint in "MY" (is_private) or
  // "addressbook". Raises "Сертификат по отпечатку [%s] не найден в хранилище [%s]" (thumbprint,
  // store name) when there is none.
  [[nodiscard]] virtual std::string GetCertificateBodyBySha1(bool user_storage,
                                                             std::string_view sha1,
                                                             bool is_private) const;
  // 2. Opens an envelope with the key of a recipient certificate of "MY".
  [[nodiscard]] virtual std::string Decrypt(bool user_storage, std::string_view enveloped) const;
  // Decrypt handing the content to sink while it is decrypted (same checks and messages; what
  // sink raises comes out unchanged).
  void DecryptTo(bool user_storage, std::string_view enveloped, DecryptedSink& sink) const;
  // 3. Envelopes content for the certificate of "addressbook" with that thumbprint, with the
  // content encryption cipher (GOST 28147-89 unless asked otherwise).
  [[nodiscard]] virtual std::string EncryptBySha1(
      bool user_storage, std::string_view content, std::string_view sha1,
      ContentCipher cipher = ContentCipher::kGost28147) const;
  // 4. Envelopes content for the certificate of a body (DER or Base64, loaded into a
  // CKORALCertificate) with the content encryption cipher; no store is involved.
  [[nodiscard]] virtual std::string EncryptByCertificate(
      std::string_view content, std::string_view certificate_body,
      ContentCipher cipher = ContentCipher::kGost28147) const;
  // 5. A detached signature of content by the certificate of "MY" with that thumbprint (exactly
  // 40 characters) and its key container.
  [[nodiscard]] virtual std::string Sign(bool user_storage, std::string_view content,
                                         std::string_view sha1) const;
  // 6. Checks signature over content and the signer's chain now, downloading what is missing
  // and checking revocation. True, or raises.
  virtual bool CheckSign(bool user_storage, std::string_view content,
                         std::string_view signature) const;
  // 7. Empties signer_list ("pSignerList"; it is made to own its objects) and checks signature
  // over content now with the given chain flags; then the list holds the signers' certificates
  // (CKORALCertificate objects) followed by one CTdx880Key of the first signer (Sha1 and
  // CertificateBody set, SubjectCN empty), each named by the thumbprint. digests, when given, are
  // content's own digests computed before (while it was decrypted): the check then uses them
  // instead of hashing content again, with the same checks and messages.
  virtual void CheckSignEx(bool user_storage, std::string_view content, bool check_revocation,
                           bool download, rtl::CStrArray* signer_list, std::string_view signature,
                           const ContentDigests* digests = nullptr) const;

  // The first certificate a signature carries. Raises "Подпись не содержит сертификата
  // подписанта" when it carries none, "Не удалось извлечь подписанта из подписи. Неверный формат
  // подписи: %s" for bytes that are no SignedData.
  [[nodiscard]] static SignatureSigner SignerFromSignature(std::string_view signature);
  // The GOST provider is installed.
  [[nodiscard]] static bool IsCryptographyOk();
};

}  // namespace lyr::crypt
