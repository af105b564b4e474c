// CCryptoSignature: detached CMS SignedData signatures (DER, GOST R 34.11-94 digest, the
// signer's certificate included, signing time as the one explicit signed attribute), made with a
// certificate of "MY" and its key container, and checked with the signer certificate the
// signature carries.
#pragma once

#include <string>
#include <string_view>

#include "crypt/crypto_signature_config.h"
#include "crypt/platform/content_stream.h"
#include "rtl/custom_doc.h"
#include "rtl/str_array.h"

namespace lyr::crypt {

inline constexpr std::string_view kOidGost3411_94 = "1.2.643.2.2.9";
inline constexpr std::string_view kOidSigningTime = "1.2.840.113549.1.9.5";

// A signature object serves one operation and is then destroyed (or closed).
class CCryptoSignature : public rtl::CCustomDoc {
 public:
  // The signer list owns its objects (CKORALCertificate).
  CCryptoSignature();
  ~CCryptoSignature() override;

  // Binds config (a CCryptoSignatureConfig, not owned; replaces a bound one). Raises the
  // absent-argument message with "CryptoSignatureConfig" for none (or another class), and
  // "Не открыт криптопровайдер объекта CCryptoSignatureConfig" when its provider is absent.
  bool Open(CBaseClass* config) override;
  // Forgets the configuration and empties signature, signed content and signers. Always true.
  bool Close() override;
  [[nodiscard]] bool IsDocumentOpened() const override { return config_ != nullptr; }

  // Signs content (non-empty, "signedText") with the certificate of "MY" whose thumbprint
  // (40 characters, "sha1") is given, at the configuration's location; the private key comes
  // from the certificate's key container. Raises "Личный сертификат с отпечатком [%s] не найден",
  // the inclusion messages, and the crypto layer's errors of the key and the signing. Returns
  // true; the signature is then GetSignature().
  bool Sign(std::string_view thumbprint, std::string_view content);
  [[nodiscard]] const std::string& GetSignature() const noexcept { return signature_; }
  [[nodiscard]] const std::string& SignedContent() const noexcept { return signed_content_; }
  // Whether Sign and Verify keep a copy of the signed content for SignedContent (the default).
  // A caller that signs or checks a large document once and only wants the result turns it off:
  // SignedContent then stays empty and the document is not copied.
  void SetKeepSignedContent(bool keep) noexcept { keep_signed_content_ = keep; }
  // Digests of the content the next Verify gets, computed before (not owned; null for none).
  // When every signer has signed attributes and a digest algorithm that these cover, Verify
  // compares their messageDigest with these instead of hashing the content; it makes the same
  // checks in the same order with the same messages otherwise.
  void SetContentDigests(const ContentDigests* digests) noexcept { digests_ = digests; }

  // Checks signature (detached, "sSignatureContent") over signed_content ("sSignedData") with
  // the signer certificate carried in the signature, matched by issuer and serial number. Raises
  // CCryptoAPI20Exception 32 "Ошибка при проверке подписи: невозможно выделить сертификат из
  // подписи" when the signature carries no such certificate, 22 "Ошибка при проверке подписи
  // [%s]" (the last error text) for any other failure, also when a signer's attributes break
  // RFC 5652 (contentType other than the eContentType, a required attribute missing or
  // repeated) or its digest or signature algorithm is not its GOST key's. With verification flag 4
  // the first certificate carried becomes the signer list's one entry and its chain is built at
  // signing_date (days since 1899-12-30; 0 = now). Returns true.
  bool Verify(std::string_view signed_content, std::string_view signature, double signing_date);

  // After a check with flag 4: one CKORALCertificate per signer (bound to the configuration's
  // provider), named by its thumbprint.
  [[nodiscard]] rtl::CStrArray& Signers() noexcept { return signers_; }

 private:
  [[nodiscard]] CCryptoSignatureConfig& Config() const;
  void CheckChains(const std::string& signature, ISignerChainBuilder* builder);

  std::string signature_;
  std::string signed_content_;
  bool keep_signed_content_ = true;
  const ContentDigests* digests_ = nullptr;
  CCryptoSignatureConfig* config_ = nullptr;
  rtl::CStrArray signers_;
};

}  // namespace lyr::crypt
