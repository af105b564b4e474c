// CCryptoAPI20Tool over the system stores and the certificate bodies.
#include "crypt/crypto_api20_tool.h"

#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/crypt_error.h"
#include "rtl/errors.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {

std::shared_ptr<const ProviderContext> AcquireGostVerifyContext() {
  try {
    return ProviderContext::Acquire(std::nullopt, kGostProviderName, kGostProviderType,
                                    acquire::kVerifyContext);
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Ошибка при инициализации криптопровайдера: %s", LastCryptErrorText());
  }
}

CCryptoAPI20Tool::CCryptoAPI20Tool()
    : provider_name_(kGostProviderName),
      provider_type_(kGostProviderType),
      handle_(AcquireGostVerifyContext()) {}

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

void CCryptoAPI20Tool::CheckStore(StoreCode store) const {
  if (static_cast<uint8_t>(store_location_) == 0) {
    rtl::RaiseFmt(u8"Неизвестное хранилище");
  }
  if (static_cast<uint8_t>(store) == 0) {
    rtl::RaiseFmt(u8"Неизвестное имя хранилища");
  }
}

void CCryptoAPI20Tool::LoadStore(StoreCode store, rtl::CStrArray* list) const {
  CheckStore(store);
  rtl::CValueCheckTool::CheckAssigned(list, "certArray");
  CertificateList certificates;
  CCryptoAPI20Utils::EnumerateStore(store_location_, certificates, store);
  for (auto& [thumbprint, certificate] : certificates) {
    list->AddObject(std::move(thumbprint), std::make_unique<Certificate>(std::move(certificate)));
  }
}

std::optional<Certificate> CCryptoAPI20Tool::FindBySha1(StoreCode store,
                                                        std::string_view sha1) const {
  CheckStore(store);
  rtl::CValueCheckTool::CheckNotEmpty(sha1, "sSha1");
  return CCryptoAPI20Utils::FindCertificateBySha1(store_location_, sha1, store);
}

void CCryptoAPI20Tool::ImportP7B(std::string_view body) const {
  rtl::CValueCheckTool::CheckNotEmpty(body, "p7b-body");
  CCryptoAPI20Utils::ImportChain(Handle(), store_location_, body, "");
}

void CCryptoAPI20Tool::ImportCertificate(StoreCode store, const Certificate* certificate,
                                         std::string_view container_name) const {
  CheckStore(store);
  rtl::CValueCheckTool::CheckAssigned(certificate, "certcontext");
  CCryptoAPI20Utils::AddCertificateToStore(Handle(), store_location_, container_name, *certificate,
                                           store);
}

}  // namespace lyr::crypt
