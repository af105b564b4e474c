// CCryptoAPI20Tool over the crypto layer, the CMS signature classes and the system stores.
#include "crypt/crypto_api20_tool.h"

#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/crypto_signature.h"
#include "crypt/crypto_signature_config.h"
#include "crypt/crypto_store.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/crypt_error.h"
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

// The "MY" store of the user's or the machine's keys, as the provider chooses it.
CertStore OpenMyStore(bool user_storage) {
  CCryptoProvider provider;
  provider.SetMachineKeySet(!user_storage);
  provider.AcquireVerifyContext(kGostProviderType, false);
  const uint8_t location = provider.MachineKeySet() ? kLocalMachineLocation : kCurrentUserLocation;
  return CCryptoAPI20Utils::OpenSystemStore(provider.Handle(), location, store_code::kMy);
}

}  // namespace

CCryptoAPI20Tool::CCryptoAPI20Tool()
    : provider_name_(kGostProviderName), provider_type_(kGostProviderType) {
  try {
    handle_ = ProviderContext::Acquire(std::nullopt, provider_name_, provider_type_,
                                       acquire::kVerifyContext);
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Ошибка при инициализации криптопровайдера: %s", LastCryptErrorText());
  }
}

Certificate CCryptoAPI20Tool::CertificateFromBody(std::string_view body) const {
  rtl::CValueCheckTool::CheckNotEmpty(body, "CertificateBody");
  return CCryptoAPI20Utils::CertificateFromBody(body);
}

std::string CCryptoAPI20Tool::GetSubjectCN(const Certificate* certificate) const {
  rtl::CValueCheckTool::CheckAssigned(certificate, "certcontext");
  return CCryptoAPI20Utils::GetSubjectCN(*certificate);
}

std::string CCryptoAPI20Tool::GetSha1(const Certificate* certificate) const {
  rtl::CValueCheckTool::CheckAssigned(certificate, "certcontext");
  return CCryptoAPI20Utils::GetSha1(*certificate);
}

std::string CCryptoAPI20Tool::GetCertificateBody(const Certificate* certificate) const {
  rtl::CValueCheckTool::CheckAssigned(certificate, "CertContext");
  return CCryptoAPI20Utils::GetCertificateBody(*certificate);
}

void CCryptoAPI20Tool::CheckStore(uint8_t store) const {
  if (store_location_ == 0) {
    rtl::RaiseFmt(u8"Неизвестное хранилище");
  }
  if (store == 0) {
    rtl::RaiseFmt(u8"Неизвестное имя хранилища");
  }
}

void CCryptoAPI20Tool::LoadStore(uint8_t store, rtl::CStrArray* list) const {
  CheckStore(store);
  rtl::CValueCheckTool::CheckAssigned(list, "certArray");
  CertificateList certificates;
  CCryptoAPI20Utils::EnumerateStore(Handle(), store_location_, certificates, store);
  for (auto& [thumbprint, certificate] : certificates) {
    list->AddObject(std::move(thumbprint), std::make_unique<Certificate>(std::move(certificate)));
  }
}

std::optional<Certificate> CCryptoAPI20Tool::FindBySha1(uint8_t store,
                                                        std::string_view sha1) const {
  CheckStore(store);
  rtl::CValueCheckTool::CheckNotEmpty(sha1, "sSha1");
  return CCryptoAPI20Utils::FindCertificateBySha1(Handle(), store_location_, sha1, store);
}

void CCryptoAPI20Tool::ImportP7B(std::string_view body) const {
  rtl::CValueCheckTool::CheckNotEmpty(body, "p7b-body");
  CCryptoAPI20Utils::ImportChain(Handle(), store_location_, body, "");
}

void CCryptoAPI20Tool::ImportCertificate(uint8_t store, const Certificate* certificate,
                                         std::string_view container_name) const {
  CheckStore(store);
  rtl::CValueCheckTool::CheckAssigned(certificate, "certcontext");
  CCryptoAPI20Utils::AddCertificateToStore(Handle(), store_location_, container_name, *certificate,
                                           store);
}

std::string CCryptoAPI20Tool::SignContent(bool user_storage, CCryptoProvider* provider,
                                          std::string_view sha1, std::string_view content) const {
  rtl::CValueCheckTool::CheckNotEmpty(content, "content");
  rtl::CValueCheckTool::CheckLength(sha1, "sha1", 40);
  CCryptoProvider own_provider;
  if (provider == nullptr) {
    own_provider.SetMachineKeySet(!user_storage);
    own_provider.AcquireVerifyContext(kGostProviderType, false);
    provider = &own_provider;
  }
  CCryptoSignatureConfig config(provider, kCurrentUserLocation, kInitialVerificationFlags,
                                kIncludeSignerCertificate);
  config.SetStoreLocation(LocationOfUserStorage(user_storage));
  config.SetCertificateInclusion(kIncludeSignerCertificate);
  CCryptoSignature signature;
  signature.Open(&config);
  signature.SetKeepSignedContent(false);
  signature.Sign(sha1, content);
  return signature.GetSignature();
}

bool CCryptoAPI20Tool::VerifySignature(bool user_storage, std::string_view content,
                                       std::string_view signature, bool check_revocation,
                                       bool download, double signing_date, rtl::CStrArray* signers,
                                       const ContentDigests* digests) const {
  rtl::CValueCheckTool::CheckNotEmpty(content, "content");
  rtl::CValueCheckTool::CheckNotEmpty(signature, "signature");
  // The verification context is the current user's whatever the location: the provider only
  // opens stores here, and the configuration names the location.
  CCryptoProvider provider;
  provider.SetMachineKeySet(false);
  provider.AcquireVerifyContext(kGostProviderType, false);
  CCryptoSignatureConfig config(&provider, kCurrentUserLocation, kInitialVerificationFlags,
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

std::string CCryptoAPI20Tool::EncryptForCertificate(const Certificate& certificate,
                                                    std::string_view content,
                                                    ContentCipher cipher) const {
  return CCryptoAPI20Utils::EncryptMessage(certificate, content, cipher);
}

std::string CCryptoAPI20Tool::EncryptBySha1(bool user_storage, std::string_view content,
                                            std::string_view sha1, ContentCipher cipher) const {
  const std::optional<Certificate> recipient =
      FindInStoreBySha1(LocationOfUserStorage(user_storage), store_code::kAddressBook, sha1);
  if (!recipient) {
    rtl::RaiseFmt(
        u8"Сертификат для шифрования с отпечатком [%s] не найден в храниилище \"Другие "
        u8"пользователи\"",
        sha1);
  }
  return EncryptForCertificate(*recipient, content, cipher);
}

std::string CCryptoAPI20Tool::DecryptContent(bool user_storage, std::string_view enveloped) const {
  return CCryptoAPI20Utils::DecryptMessage(OpenMyStore(user_storage), enveloped);
}

void CCryptoAPI20Tool::DecryptContentTo(bool user_storage, std::string_view enveloped,
                                        DecryptedSink& sink) const {
  CCryptoAPI20Utils::DecryptMessageTo(OpenMyStore(user_storage), enveloped, sink);
}

std::optional<Certificate> CCryptoAPI20Tool::FindInStoreBySha1(uint8_t location, uint8_t store,
                                                               std::string_view sha1) const {
  CCryptoProvider provider;
  provider.SetMachineKeySet(location == kLocalMachineLocation);
  provider.AcquireVerifyContext(kGostProviderType, false);
  return CCryptoAPI20Utils::FindCertificateBySha1(provider.Handle(), location, sha1, store);
}

}  // namespace lyr::crypt
