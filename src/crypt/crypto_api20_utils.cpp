// CCryptoAPI20Utils over the crypto layer.
#include "crypt/crypto_api20_utils.h"

#include <algorithm>
#include <ctime>

#include "base/ascii.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/envelope.h"
#include "crypt/platform/key_container.h"
#include "rtl/base64.h"
#include "rtl/date_time.h"
#include "rtl/errors.h"
#include "rtl/hex.h"
#include "rtl/trace.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {
namespace {

// Removes every occurrence of marker, ignoring the letter case of ASCII letters.
void RemoveIgnoringCase(std::string& text, std::string_view marker) {
  const auto same = [](char a, char b) { return base::LowerAscii(a) == base::LowerAscii(b); };
  for (auto at = std::search(text.begin(), text.end(), marker.begin(), marker.end(), same);
       at != text.end(); at = std::search(at, text.end(), marker.begin(), marker.end(), same)) {
    at = text.erase(at, at + static_cast<std::ptrdiff_t>(marker.size()));
  }
}

// The location itself; a code that names none raises "Недоступное хранилище: [%d]".
StoreLocation CheckedLocation(StoreLocation location) {
  if (location != StoreLocation::kLocalMachine && location != StoreLocation::kCurrentUser) {
    rtl::RaiseFmt(u8"Недоступное хранилище: [%d]", static_cast<uint8_t>(location));
  }
  return location;
}

constexpr std::string_view kOidBasicConstraints = "2.5.29.19";
constexpr uint32_t kSetKeyContextPropId = 1;  // CERT_SET_KEY_CONTEXT_PROP_ID
constexpr uint32_t kAtKeyExchange = 1;        // AT_KEYEXCHANGE

// Adds with the disposition, raising the import message with the system text.
void AddOrRaise(CertStore& store, const Certificate& certificate, AddDisposition disposition) {
  try {
    store.Add(certificate, disposition);
  } catch (const ECryptError&) {
    rtl::Raise(rtl::Msg(u8"Не удалось импортировать сертификат") + LastCryptErrorText());
  }
}

// The binding steps: the container's key must exist, the container takes the certificate, and
// the store entry is replaced by one carrying the key-provider property.
void BindToContainer(CertStore& store, const Certificate& certificate, std::string_view container,
                     const std::pair<std::string, uint32_t>& provider) {
  try {
    (void)ProviderContext::Acquire(container, provider.first, provider.second, 0);
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Ошибка при инициализации с контейнером [%s] криптопровайдера: %s", container,
                  LastCryptErrorText());
  }
  const KeyContainer opened = KeyContainer::Open(StoreLocation::kCurrentUser, container);
  try {
    (void)opened.GetPrivateKey();
  } catch (const ECryptError&) {
    rtl::Raise(rtl::Msg(u8"Ошибка при получении закрытого ключа из контейнера: ") +
               LastCryptErrorText());
  }
  try {
    opened.SetCertificate(certificate);
  } catch (const ECryptError&) {
    rtl::RaiseFmt(u8"Ошибка при импорте сертификата в контейнер: %s", LastCryptErrorText());
  }
  Certificate bound = certificate;
  bound.SetKeyProv(KeyProvInfo{std::string(container), provider.first, provider.second,
                               kSetKeyContextPropId, kAtKeyExchange});
  AddOrRaise(store, bound, AddDisposition::kReplaceExisting);
}

// The store a chain member goes to.
StoreCode ChainStoreOf(const Certificate& certificate) {
  if (CCryptoAPI20Utils::IsCACertificate(certificate)) {
    return StoreCode::kCa;
  }
  return CCryptoAPI20Utils::IsSelfIssued(certificate) ? StoreCode::kRoot : StoreCode::kAddressBook;
}

// Shortens the body for the trace line (a chain can be large and binary).
std::string TraceText(std::string_view body) {
  constexpr size_t kShown = 120;
  if (body.size() <= kShown) {
    return std::string(body);
  }
  return std::string(body.substr(0, kShown)) + "...";
}

}  // namespace

std::string CCryptoAPI20Utils::CertificateTextToDer(std::string_view text, std::string_view label) {
  std::string rest(text);
  RemoveIgnoringCase(rest, "-----BEGIN " + std::string(label) + "-----");
  RemoveIgnoringCase(rest, "-----END " + std::string(label) + "-----");
  return rtl::IsBase64Text(rest) ? rtl::DecodeBase64(rest) : std::string(text);
}

std::string CCryptoAPI20Utils::StoreName(StoreCode store) {
  switch (store) {
    case StoreCode::kMy:
      return "MY";
    case StoreCode::kRoot:
      return "ROOT";
    case StoreCode::kCa:
      return "CA";
    case StoreCode::kAddressBook:
      return "addressbook";
  }
  rtl::RaiseFmt(u8"Недоступное имя хранилища: [%d]", static_cast<uint8_t>(store));
}

CertStore CCryptoAPI20Utils::OpenSystemStore(StoreLocation location, StoreCode store) {
  const StoreLocation where = CheckedLocation(location);
  return CertStore::OpenSystem(where, StoreName(store));
}

Certificate CCryptoAPI20Utils::CertificateFromBody(std::string_view body) {
  rtl::CValueCheckTool::CheckNotEmpty(body, "CertificateBody");
  const std::string der = CertificateTextToDer(body);
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

std::optional<Certificate> CCryptoAPI20Utils::FindCertificateBySha1(StoreLocation location,
                                                                    std::string_view thumbprint,
                                                                    StoreCode store) {
  const std::string name = StoreName(store);
  const CertStore opened = OpenSystemStore(location, store);
  for (Certificate& certificate : opened.Certificates()) {
    if (GetSha1(certificate) == thumbprint) {
      return std::move(certificate);
    }
  }
  return std::nullopt;
}

void CCryptoAPI20Utils::EnumerateStore(StoreLocation location, CertificateList& list,
                                       StoreCode store) {
  const CertStore opened = OpenSystemStore(location, store);
  for (Certificate& certificate : opened.Certificates()) {
    std::string thumbprint = GetSha1(certificate);
    list.emplace_back(std::move(thumbprint), std::move(certificate));
  }
}

std::string CCryptoAPI20Utils::EncryptMessage(const Certificate& certificate,
                                              std::string_view content, ContentCipher cipher) {
  try {
    return EncryptEnvelope(certificate, content, cipher);
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

void CCryptoAPI20Utils::DecryptMessageTo(const CertStore& store, std::string_view content,
                                         DecryptedSink& sink) {
  try {
    DecryptEnvelope(content, store, sink);
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

void CCryptoAPI20Utils::AddCertificateToStore(ProviderHandle provider, StoreLocation location,
                                              std::string_view container_name,
                                              const Certificate& certificate, StoreCode store) {
  CertStore opened = OpenSystemStore(location, store);
  std::optional<std::pair<std::string, uint32_t>> provider_info;
  if (!container_name.empty()) {
    provider_info = GetProvInfo(provider);
  }
  const bool binds = store == StoreCode::kMy && provider_info.has_value();
  // A binding that fails must not cost an earlier entry of this certificate its binding.
  std::optional<Certificate> earlier;
  if (binds) {
    earlier = opened.FindByThumbprint(certificate.Thumbprint());
  }
  AddOrRaise(
      opened, certificate,
      store == StoreCode::kMy ? AddDisposition::kReplaceExisting : AddDisposition::kUseExisting);
  if (!binds) {
    return;
  }
  try {
    BindToContainer(opened, certificate, container_name, *provider_info);
  } catch (...) {
    if (earlier && earlier->KeyProv()) {
      try {
        opened.Add(*earlier, AddDisposition::kReplaceExisting);
      } catch (const ECryptError&) {
        rtl::DebugLog("AddCertificateToStore: earlier binding not restored: %s",
                      LastCryptErrorText());
      }
    }
    throw;
  }
}

void CCryptoAPI20Utils::ImportCRL(StoreLocation location, const Crl& crl) {
  const std::string issuer = crl.IssuerCN().value_or("");
  if (const std::string defect = crl.Defect(); !defect.empty()) {
    rtl::RaiseFmt(u8"Список отозванных сертификатов УЦ [%s] не может быть использован: %s", issuer,
                  defect);
  }
  if (!crl.IsUsableAt(std::time(nullptr))) {
    rtl::RaiseFmt(u8"Список отозванных сертификатов УЦ [%s] выпущен позже текущего времени [%s]",
                  issuer, rtl::DateTimeToStr(rtl::UnixTimeToUtcDateTime(crl.ThisUpdate())));
  }
  const auto signs = [&](const Certificate& candidate) {
    const std::optional<uint16_t> usage =
        candidate.Defect().empty() ? candidate.KeyUsage() : std::optional<uint16_t>(0);
    return (!usage || (*usage & key_usage::kCrlSign) != 0) && crl.IsIssuedBy(candidate);
  };
  bool verified = false;
  for (const StoreCode store : {StoreCode::kRoot, StoreCode::kCa}) {
    const std::vector<Certificate> candidates =
        OpenSystemStore(location, store).FindBySubjectName(crl.IssuerNameDer());
    verified = verified || std::any_of(candidates.begin(), candidates.end(), signs);
  }
  if (!verified) {
    rtl::RaiseFmt(
        u8"Подпись списка отозванных сертификатов УЦ [%s] не проверяется ни одним "
        u8"сертификатом УЦ из хранилищ",
        issuer);
  }
  OpenSystemStore(location, StoreCode::kCa).AddCrl(crl, AddDisposition::kNewer);
}

void CCryptoAPI20Utils::ImportChain(ProviderHandle provider, StoreLocation location,
                                    std::string_view body, std::string_view container_name) {
  const std::string bytes = CertificateTextToDer(body);
  rtl::DebugLog("Ready to open store: %s", TraceText(body));
  std::vector<Certificate> members;
  try {
    members = CertStore::OpenPkcs7(bytes).Certificates();
  } catch (const ECryptError&) {
    members.push_back(CertificateFromBody(bytes));
  }
  // Entries this import creates, removed again when a later member fails.
  std::vector<std::pair<StoreCode, std::string>> created;
  try {
    for (const Certificate& member : members) {
      const StoreCode store = ChainStoreOf(member);
      std::string thumbprint = member.Thumbprint();
      const bool existed =
          OpenSystemStore(location, store).FindByThumbprint(thumbprint).has_value();
      AddCertificateToStore(provider, location, container_name, member, store);
      if (!existed) {
        created.emplace_back(store, std::move(thumbprint));
      }
    }
  } catch (...) {
    for (const auto& [store, thumbprint] : created) {
      try {
        OpenSystemStore(location, store).Delete(thumbprint);
      } catch (const ECryptError&) {
        rtl::DebugLog("ImportChain: %s not removed: %s", thumbprint, LastCryptErrorText());
      }
    }
    throw;
  }
}

bool CCryptoAPI20Utils::IsCACertificate(const Certificate& certificate) {
  for (const ExtensionInfo& extension : certificate.Extensions()) {
    // Dotted identifiers have no letters, so comparing them ignoring case is comparing them.
    if (!extension.critical || extension.oid != kOidBasicConstraints) {
      continue;
    }
    try {
      const std::optional<BasicConstraints> constraints = certificate.GetBasicConstraints();
      return constraints && constraints->ca;
    } catch (const ECryptError&) {
      return false;
    }
  }
  return false;
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
