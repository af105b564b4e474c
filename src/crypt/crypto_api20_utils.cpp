// CCryptoAPI20Utils over the crypto layer.
#include "crypt/crypto_api20_utils.h"

#include <algorithm>

#include "crypt/crypt_error.h"
#include "crypt/crypto_runtime.h"
#include "crypt/envelope.h"
#include "rtl/base64.h"
#include "rtl/errors.h"
#include "rtl/hex.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {
namespace {

constexpr std::string_view kBeginCertificate = "-----BEGIN CERTIFICATE-----";
constexpr std::string_view kEndCertificate = "-----END CERTIFICATE-----";

void RemoveAll(std::string& text, std::string_view marker) {
  for (size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at)) {
    text.erase(at, marker.size());
  }
}

bool IsBase64BodyChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '/' || c == '=' || c == '-' || c == ' ' || c == '\r' || c == '\n';
}

StoreLocation LocationOf(uint8_t location) {
  CCryptoAPI20Utils::StoreLocationFlags(location);
  return location == 1 ? StoreLocation::kLocalMachine : StoreLocation::kCurrentUser;
}

}  // namespace

uint32_t CCryptoAPI20Utils::StoreLocationFlags(uint8_t location) {
  constexpr uint32_t kCommon = store_flags::kMaximumAllowed | store_flags::kNoCryptRelease;
  switch (location) {
    case 1:
      return store_flags::kLocalMachine | kCommon;
    case 2:
      return store_flags::kCurrentUser | kCommon;
    default:
      rtl::RaiseFmt(u8"Недоступное хранилище: [%d]", location);
  }
}

std::string CCryptoAPI20Utils::StoreName(uint8_t store) {
  switch (store) {
    case 1:
      return "MY";
    case 2:
      return "ROOT";
    case 3:
      return "CA";
    case 4:
      return "addressbook";
    default:
      rtl::RaiseFmt(u8"Недоступное имя хранилища: [%d]", store);
  }
}

CertStore CCryptoAPI20Utils::OpenSystemStore(ProviderHandle /*provider*/, uint8_t location,
                                             uint8_t store) {
  const StoreLocation where = LocationOf(location);
  return CertStore::OpenSystem(where, StoreName(store));
}

Certificate CCryptoAPI20Utils::CertificateFromBody(std::string_view body) {
  rtl::CValueCheckTool::CheckNotEmpty(body, "CertificateBody");
  std::string rest(body);
  RemoveAll(rest, kBeginCertificate);
  RemoveAll(rest, kEndCertificate);
  const std::string der =
      std::all_of(rest.begin(), rest.end(), IsBase64BodyChar) ? rtl::DecodeBase64(rest) : rest;
  try {
    return Certificate::FromDer(der);
  } catch (const ECryptError&) {
    rtl::Raise(rtl::Msg(u8"Ошибка при импорте сертификата: ") + LastCryptErrorText());
  }
}

Crl CCryptoAPI20Utils::CRLFromBody(std::string_view body) {
  rtl::CValueCheckTool::CheckNotEmpty(body, "CRLBody");
  try {
    return Crl::FromDer(body);
  } catch (const ECryptError&) {
    rtl::Raise(rtl::Msg(u8"Ошибка при импорте CRL (неверный формат?): ") + LastCryptErrorText());
  }
}

std::string CCryptoAPI20Utils::GetSubjectCN(const Certificate& certificate) {
  return certificate.SubjectCN().value_or("na");
}

std::string CCryptoAPI20Utils::GetIssuerCN(const Certificate& certificate) {
  return certificate.IssuerCN().value_or("na");
}

std::string CCryptoAPI20Utils::GetSha1(const Certificate& certificate) {
  return certificate.Thumbprint();
}

std::string CCryptoAPI20Utils::GetSerialNumber(const Certificate& certificate) {
  std::string serial = certificate.SerialNumber();
  std::reverse(serial.begin(), serial.end());
  return rtl::BytesToHexPlain(serial);
}

std::string CCryptoAPI20Utils::GetCertificateBody(const Certificate& certificate) {
  return certificate.Der();
}

std::string CCryptoAPI20Utils::GetCRLDistributionURLs(const Certificate& certificate) {
  std::vector<std::string> urls;
  try {
    urls = certificate.CrlDistributionUrls();
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Не удалось раскодировать содержимое расширения CRL");
  }
  std::string joined;
  for (const std::string& url : urls) {
    if (IsAcceptedURL(url)) {
      if (!joined.empty()) {
        joined += ',';
      }
      joined += url;
    }
  }
  return joined;
}

std::string CCryptoAPI20Utils::GetCAIssuersURL(const Certificate& certificate) {
  std::optional<std::vector<AccessDescription>> access;
  try {
    access = certificate.AuthorityInfoAccess();
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Не удалось раскодировать содержимое расширения CA");
  }
  if (!access) {
    return {};
  }
  std::string found;
  for (const AccessDescription& description : *access) {
    if (description.method_oid == kOidCaIssuers && IsAcceptedURL(description.location)) {
      found = description.location;
    }
  }
  if (found.empty()) {
    rtl::RaiseFmt(u8"Точка распространения сертификата CA не найдена");
  }
  return found;
}

bool CCryptoAPI20Utils::IsSelfIssued(const Certificate& certificate) {
  return GetSubjectCN(certificate) == GetIssuerCN(certificate);
}

bool CCryptoAPI20Utils::IsAcceptedURL(std::string_view text) {
  return text.starts_with("https://") || text.starts_with("http://") || text.starts_with("ftp://");
}

std::optional<Certificate> CCryptoAPI20Utils::FindCertificateBySha1(ProviderHandle provider,
                                                                    uint8_t location,
                                                                    std::string_view thumbprint,
                                                                    uint8_t store) {
  const std::string name = StoreName(store);
  const CertStore opened = OpenSystemStore(provider, location, store);
  for (Certificate& certificate : opened.Certificates()) {
    if (GetSha1(certificate) == thumbprint) {
      return std::move(certificate);
    }
  }
  return std::nullopt;
}

void CCryptoAPI20Utils::EnumerateStore(ProviderHandle provider, uint8_t location,
                                       CertificateList& list, uint8_t store) {
  const CertStore opened = OpenSystemStore(provider, location, store);
  for (Certificate& certificate : opened.Certificates()) {
    std::string thumbprint = GetSha1(certificate);
    list.emplace_back(std::move(thumbprint), std::move(certificate));
  }
}

std::string CCryptoAPI20Utils::EncryptMessage(const Certificate& certificate,
                                              std::string_view content) {
  try {
    return EncryptEnvelope(certificate, content);
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Ошибка при %s (%d): %s", rtl::Msg(u8"шифровании"), 1, LastCryptErrorText());
  }
}

std::string CCryptoAPI20Utils::DecryptMessage(const CertStore& store, std::string_view content) {
  try {
    return DecryptEnvelope(content, store);
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Ошибка при %s (%d): %s", rtl::Msg(u8"расшифровании"), 1, LastCryptErrorText());
  }
}

std::optional<Certificate> CCryptoAPI20Utils::CertificateFromSignature(std::string_view signature) {
  try {
    std::vector<Certificate> certificates = CertificatesOfPkcs7(signature);
    if (certificates.empty()) {
      return std::nullopt;
    }
    return std::move(certificates.front());
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Не удалось извлечь подписанта из подписи. Неверный формат подписи: %s",
                  LastCryptErrorText());
  }
}

bool CCryptoAPI20Utils::IsCryptographyOk() {
  return IsGostProviderInstalled();
}

std::pair<std::string, uint32_t> CCryptoAPI20Utils::GetProvInfo(ProviderHandle provider) {
  if (provider == nullptr) {
    SetLastCryptError(code::kNteBadUid);
    rtl::RaiseFmt(u8"CCryptoAPI20Utils.GetProvInfo: %s", LastCryptErrorText());
  }
  return {provider->ProviderName(), provider->ProviderType()};
}

}  // namespace lyr::crypt
