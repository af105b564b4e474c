// CTdx880CryptoTool: each operation runs on a CCryptoAPI20Tool of its own.
#include "crypt/tdx880_crypto_tool.h"

#include <memory>
#include <optional>

#include "crypt/crypto_api20_tool.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/koral_certificate.h"
#include "crypt/tdx880_key.h"
#include "rtl/errors.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {

std::string CTdx880CryptoTool::GetCertificateBodyBySha1(bool user_storage, std::string_view sha1,
                                                        bool is_private) const {
  CCryptoAPI20Tool tool;
  tool.SetStoreLocation(LocationOfUserStorage(user_storage));
  const uint8_t store = is_private ? store_code::kMy : store_code::kAddressBook;
  const std::optional<Certificate> certificate = tool.FindBySha1(store, sha1);
  if (!certificate) {
    rtl::RaiseFmt(u8"Сертификат по отпечатку [%s] не найден в хранилище [%s]", sha1,
                  CCryptoAPI20Utils::StoreName(store));
  }
  return tool.GetCertificateBody(&*certificate);
}

std::string CTdx880CryptoTool::Decrypt(bool user_storage, std::string_view enveloped) const {
  return CCryptoAPI20Tool().DecryptContent(user_storage, enveloped);
}

void CTdx880CryptoTool::DecryptTo(bool user_storage, std::string_view enveloped,
                                  DecryptedSink& sink) const {
  CCryptoAPI20Tool().DecryptContentTo(user_storage, enveloped, sink);
}

std::string CTdx880CryptoTool::EncryptBySha1(bool user_storage, std::string_view content,
                                             std::string_view sha1, ContentCipher cipher) const {
  return CCryptoAPI20Tool().EncryptBySha1(user_storage, content, sha1, cipher);
}

std::string CTdx880CryptoTool::EncryptByCertificate(std::string_view content,
                                                    std::string_view certificate_body,
                                                    ContentCipher cipher) const {
  CKORALCertificate recipient;
  recipient.LoadFromBody(certificate_body);
  return CCryptoAPI20Tool().EncryptForCertificate(*recipient.Context(), content, cipher);
}

std::string CTdx880CryptoTool::Sign(bool user_storage, std::string_view content,
                                    std::string_view sha1) const {
  return CCryptoAPI20Tool().SignContent(user_storage, nullptr, sha1, content);
}

bool CTdx880CryptoTool::CheckSign(bool user_storage, std::string_view content,
                                  std::string_view signature) const {
  return CCryptoAPI20Tool().VerifySignature(user_storage, content, signature, true, true, 0,
                                            nullptr);
}

void CTdx880CryptoTool::CheckSignEx(bool user_storage, std::string_view content,
                                    bool check_revocation, bool download,
                                    rtl::CStrArray* signer_list, std::string_view signature,
                                    const ContentDigests* digests) const {
  rtl::CValueCheckTool::CheckAssigned(signer_list, "pSignerList");
  signer_list->Clear();
  // The list receives certificates and a key record; it disposes of both.
  signer_list->SetOwnershipMode(rtl::StrArrayOwnership::kDestroy);
  CCryptoAPI20Tool().VerifySignature(user_storage, content, signature, check_revocation, download,
                                     0, signer_list, digests);
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
