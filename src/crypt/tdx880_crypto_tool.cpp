// CTdx880CryptoTool over the CMS signature classes, the envelopes and the system stores.
#include "crypt/tdx880_crypto_tool.h"

#include <memory>
#include <optional>

#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/crypto_signature_config.h"
#include "crypt/crypto_store.h"
#include "crypt/koral_certificate.h"
#include "crypt/tdx880_key.h"
#include "rtl/errors.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {
namespace {

// A configuration is created with these values and then set for the operation at hand.
constexpr uint8_t kInitialVerificationFlags = 14;

uint8_t VerificationFlags(bool check_revocation, bool download) {
  uint8_t flags = verify_flags::kCheckChain;
  if (download) {
    flags |= verify_flags::kDownloadCa | verify_flags::kDownloadCrl;
  }
  if (check_revocation) {
    flags |= verify_flags::kRevocationCheck;
  }
  return flags;
}

// The "MY" store of the user's or the machine's keys.
CertStore OpenMyStore(bool user_storage) {
  return CCryptoAPI20Utils::OpenSystemStore(LocationOfUserStorage(user_storage), StoreCode::kMy);
}

}  // namespace

std::string CTdx880CryptoTool::SignContent(bool user_storage, CCryptoProvider* provider,
                                           std::string_view sha1, std::string_view content) const {
  const auto context = AcquireGostVerifyContext();
  rtl::CValueCheckTool::CheckNotEmpty(content, "content");
  rtl::CValueCheckTool::CheckLength(sha1, "sha1", 40);
  CCryptoProvider own_provider;
  if (provider == nullptr) {
    own_provider.SetMachineKeySet(!user_storage);
    own_provider.AcquireVerifyContext(kGostProviderType, false);
    provider = &own_provider;
  }
  CCryptoSignatureConfig config(provider, StoreLocation::kCurrentUser, kInitialVerificationFlags,
                                kIncludeSignerCertificate);
  config.SetStoreLocation(LocationOfUserStorage(user_storage));
  config.SetCertificateInclusion(kIncludeSignerCertificate);
  CCryptoSignature signature;
  signature.Open(&config);
  signature.SetKeepSignedContent(false);
  signature.Sign(sha1, content);
  return signature.GetSignature();
}

bool CTdx880CryptoTool::VerifySignature(bool user_storage, std::string_view content,
                                        std::string_view signature, bool check_revocation,
                                        bool download, double signing_date, rtl::CStrArray* signers,
                                        const ContentDigests* digests) const {
  const auto context = AcquireGostVerifyContext();
  rtl::CValueCheckTool::CheckNotEmpty(content, "content");
  rtl::CValueCheckTool::CheckNotEmpty(signature, "signature");
  // The verification context is the current user's whatever the location: the provider only
  // opens stores here, and the configuration names the location.
  CCryptoProvider provider;
  provider.SetMachineKeySet(false);
  provider.AcquireVerifyContext(kGostProviderType, false);
  CCryptoSignatureConfig config(&provider, StoreLocation::kCurrentUser, kInitialVerificationFlags,
                                kIncludeSignerCertificate);
  config.SetStoreLocation(LocationOfUserStorage(user_storage));
  config.SetVerificationFlags(VerificationFlags(check_revocation, download));
  CCryptoSignature verifier;
  verifier.Open(&config);
  verifier.SetKeepSignedContent(false);
  verifier.SetContentDigests(digests);
  verifier.Verify(content, signature, signing_date);
  if (signers != nullptr) {
    const rtl::CStrArray& found = verifier.Signers();
    for (int32_t i = found.Count() - 1; i >= 0; --i) {
      // The new object shares the signature's certificate; the signature's provider dies here,
      // so the copy is bound to none.
      auto moved = std::make_unique<CKORALCertificate>();
      moved->Attach(*found.Object<CKORALCertificate>(i)->Context());
      signers->AddObject(found.Strings(i), std::move(moved));
    }
  }
  return true;
}

std::string CTdx880CryptoTool::EncryptForCertificate(const Certificate& certificate,
                                                     std::string_view content,
                                                     ContentCipher cipher) const {
  const auto context = AcquireGostVerifyContext();
  return CCryptoAPI20Utils::EncryptMessage(certificate, content, cipher);
}

std::string CTdx880CryptoTool::EncryptBySha1(bool user_storage, std::string_view content,
                                             std::string_view sha1, ContentCipher cipher) const {
  const auto context = AcquireGostVerifyContext();
  const std::optional<Certificate> recipient = CCryptoAPI20Utils::FindCertificateBySha1(
      LocationOfUserStorage(user_storage), sha1, StoreCode::kAddressBook);
  if (!recipient) {
    rtl::RaiseFmt(
        u8"Сертификат для шифрования с отпечатком [%s] не найден в храниилище \"Другие "
        u8"пользователи\"",
        sha1);
  }
  return EncryptForCertificate(*recipient, content, cipher);
}

std::string CTdx880CryptoTool::Decrypt(bool user_storage, std::string_view enveloped) const {
  const auto context = AcquireGostVerifyContext();
  return CCryptoAPI20Utils::DecryptMessage(OpenMyStore(user_storage), enveloped);
}

void CTdx880CryptoTool::DecryptTo(bool user_storage, std::string_view enveloped,
                                  DecryptedSink& sink) const {
  const auto context = AcquireGostVerifyContext();
  CCryptoAPI20Utils::DecryptMessageTo(OpenMyStore(user_storage), enveloped, sink);
}

std::string CTdx880CryptoTool::GetCertificateBodyBySha1(bool user_storage, std::string_view sha1,
                                                        bool is_private) const {
  const auto context = AcquireGostVerifyContext();
  const StoreCode store = is_private ? StoreCode::kMy : StoreCode::kAddressBook;
  rtl::CValueCheckTool::CheckNotEmpty(sha1, "sSha1");
  const std::optional<Certificate> certificate =
      CCryptoAPI20Utils::FindCertificateBySha1(LocationOfUserStorage(user_storage), sha1, store);
  if (!certificate) {
    rtl::RaiseFmt(u8"Сертификат по отпечатку [%s] не найден в хранилище [%s]", sha1,
                  CCryptoAPI20Utils::StoreName(store));
  }
  return CCryptoAPI20Utils::GetCertificateBody(*certificate);
}

std::string CTdx880CryptoTool::EncryptByCertificate(std::string_view content,
                                                    std::string_view certificate_body,
                                                    ContentCipher cipher) const {
  CKORALCertificate recipient;
  recipient.LoadFromBody(certificate_body);
  return EncryptForCertificate(*recipient.Context(), content, cipher);
}

std::string CTdx880CryptoTool::Sign(bool user_storage, std::string_view content,
                                    std::string_view sha1) const {
  return SignContent(user_storage, nullptr, sha1, content);
}

bool CTdx880CryptoTool::CheckSign(bool user_storage, std::string_view content,
                                  std::string_view signature) const {
  return VerifySignature(user_storage, content, signature, true, true, 0, nullptr);
}

void CTdx880CryptoTool::CheckSignEx(bool user_storage, std::string_view content,
                                    bool check_revocation, bool download,
                                    rtl::CStrArray* signer_list, std::string_view signature,
                                    const ContentDigests* digests) const {
  rtl::CValueCheckTool::CheckAssigned(signer_list, "pSignerList");
  signer_list->Clear();
  // The list receives certificates and a key record; it disposes of both.
  signer_list->SetOwnershipMode(rtl::StrArrayOwnership::kDestroy);
  VerifySignature(user_storage, content, signature, check_revocation, download, 0, signer_list,
                  digests);
  if (signer_list->Count() == 0) {
    return;
  }
  const Certificate& first = *signer_list->Object<CKORALCertificate>(0)->Context();
  auto key = std::make_unique<CTdx880Key>();
  key->SetCertificateBody(CCryptoAPI20Utils::GetCertificateBody(first));
  key->SetSha1(CCryptoAPI20Utils::GetSha1(first));
  std::string name = key->Sha1();
  signer_list->AddObject(std::move(name), std::move(key));
}

SignatureSigner CTdx880CryptoTool::SignerFromSignature(std::string_view signature) {
  const std::optional<Certificate> certificate =
      CCryptoAPI20Utils::CertificateFromSignature(signature);
  if (!certificate) {
    rtl::RaiseFmt(u8"Подпись не содержит сертификата подписанта");
  }
  return {CCryptoAPI20Utils::GetCertificateBody(*certificate),
          CCryptoAPI20Utils::GetSha1(*certificate), CCryptoAPI20Utils::GetSubjectCN(*certificate)};
}

bool CTdx880CryptoTool::IsCryptographyOk() {
  return CCryptoAPI20Utils::IsCryptographyOk();
}

}  // namespace lyr::crypt
