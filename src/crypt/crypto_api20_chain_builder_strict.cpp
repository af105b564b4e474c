// CCryptoAPI20ChainBuilderStrict: downloads, revocation lists and the date rule.
#include "crypt/crypto_api20_chain_builder_strict.h"

#include <ctime>
#include <exception>

#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/crypt_error.h"
#include "http/http_client_tool.h"
#include "rtl/trace.h"

namespace lyr::crypt {
namespace {

// Certificate and CRL times are UTC; the checks compare them with the local signing date.
rtl::TDateTime LocalTime(int64_t unix_seconds) {
  return rtl::UnixTimeToLocalDateTime(unix_seconds);
}

std::string WithDownloadAddresses(std::string message, const std::string& addresses) {
  if (!addresses.empty()) {
    message += rtl::Format(rtl::Msg(u8". URL для скачивания: [%s]"), addresses);
  }
  return message;
}

}  // namespace

CCryptoAPI20ChainBuilderStrict::~CCryptoAPI20ChainBuilderStrict() {
  CloseOnDestroy();
}

CCryptoAPI20ChainBuilderStrictConfig& CCryptoAPI20ChainBuilderStrict::StrictConfig() const {
  return dynamic_cast<CCryptoAPI20ChainBuilderStrictConfig&>(Config());
}

std::unique_ptr<CCryptoAPI20ChainBuilderBaseConfig> CCryptoAPI20ChainBuilderStrict::CreateConfig()
    const {
  return std::make_unique<CCryptoAPI20ChainBuilderStrictConfig>();
}

DatePosition CCryptoAPI20ChainBuilderStrict::CompareWithMargin(rtl::TDateTime date,
                                                               rtl::TDateTime start,
                                                               rtl::TDateTime end,
                                                               int32_t margin_hours) {
  const rtl::TDateTime margin = static_cast<double>(margin_hours) / 24.0;
  if (date < start - margin) {
    return DatePosition::kOutside;
  }
  if (date < start + margin) {
    return DatePosition::kTooClose;
  }
  if (date < end - margin) {
    return DatePosition::kInside;
  }
  if (date < end + margin) {
    return DatePosition::kTooClose;
  }
  return DatePosition::kOutside;
}

// Download failures never fail the chain by themselves: they show later as a missing CA
// certificate (35) or revocation list (34).
void CCryptoAPI20ChainBuilderStrict::OnCertificate(const Certificate& certificate) {
  const uint8_t flags = StrictConfig().Flags();
  if ((flags & chain_flags::kDownloadCa) != 0) {
    try {
      FetchCACertificate(certificate);
    } catch (const std::exception&) {
      rtl::TraceLine(rtl::Msg(u8"Не удалось скачать корневой сертификат"));
    }
  }
  if ((flags & chain_flags::kDownloadCrl) != 0) {
    try {
      FetchCRL(certificate);
    } catch (const std::exception&) {
      rtl::TraceLine(rtl::Msg(u8"Не удалось скачать список отозванных сертификатов"));
    }
  }
}

bool CCryptoAPI20ChainBuilderStrict::AlreadyFetched(const std::string& address) const {
  return fetched_.IndexOf(address) >= 0;
}

void CCryptoAPI20ChainBuilderStrict::FetchCACertificate(const Certificate& certificate) {
  const std::string subject = CCryptoAPI20Utils::GetSubjectCN(certificate);
  const std::string issuer = CCryptoAPI20Utils::GetIssuerCN(certificate);
  if (subject == issuer) {
    return;
  }
  const std::string address = CCryptoAPI20Utils::GetCAIssuersURL(certificate);
  if (address.empty()) {
    rtl::RaiseFmt(u8"В сертификате [%s] нет URL для корневого УЦ [%s]", subject, issuer);
  }
  if (AlreadyFetched(address)) {
    return;
  }
  const rtl::TDateTime date = Config().Date();
  std::string body;
  try {
    body = DownloadCertificate(issuer, address, date);
  } catch (...) {
    fetched_.Add(address);
    throw;
  }
  fetched_.Add(address);
  if (body.empty()) {
    return;
  }
  std::optional<Certificate> downloaded;
  try {
    downloaded = CCryptoAPI20Utils::CertificateFromBody(body);
  } catch (const rtl::Exception&) {
    OnCertificateDownloadFailed(issuer, date);
    rtl::TraceLine(
        rtl::Format(rtl::Msg(u8"По URL [%s] не CRT: %s"), address, LastCryptErrorText()));
    return;
  }
  // A downloaded root is never trusted: roots come from the "ROOT" and "CA" stores only.
  if (!CCryptoAPI20Utils::IsSelfIssued(*downloaded)) {
    AddToWorkingStore(*downloaded, AddDisposition::kNewer);
  }
}

void CCryptoAPI20ChainBuilderStrict::FetchCRL(const Certificate& certificate) {
  const std::string addresses = CCryptoAPI20Utils::GetCRLDistributionURLs(certificate);
  const std::string issuer = CCryptoAPI20Utils::GetIssuerCN(certificate);
  const std::string subject = CCryptoAPI20Utils::GetSubjectCN(certificate);
  if (subject == issuer) {
    return;
  }
  if (addresses.empty()) {
    rtl::RaiseFmt(u8"В сертификате [%s] нет URL со списком отозванных сертификатов [%s]", subject,
                  issuer);
  }
  if (AlreadyFetched(addresses)) {
    return;
  }
  const rtl::TDateTime date = Config().Date();
  std::string body;
  try {
    body = DownloadCRL(issuer, addresses, date);
  } catch (...) {
    fetched_.Add(addresses);
    throw;
  }
  fetched_.Add(addresses);
  if (body.empty()) {
    return;
  }
  Crl crl = [&] {
    try {
      return CCryptoAPI20Utils::CRLFromBody(body);
    } catch (const rtl::Exception&) {
      OnCRLDownloadFailed(issuer, date);
      throw;
    }
  }();
  try {
    WorkingStore().AddCrl(crl, AddDisposition::kAlways);
  } catch (const ECryptError&) {
    rtl::TraceLine(LastCryptErrorText());
  }
}

std::string CCryptoAPI20ChainBuilderStrict::DownloadCertificate(const std::string& /*issuer*/,
                                                                const std::string& address,
                                                                rtl::TDateTime /*date*/) {
  return http::CHTTPClientTool::DownloadFromAnyUrl(address);
}

void CCryptoAPI20ChainBuilderStrict::OnCertificateDownloadFailed(const std::string& /*issuer*/,
                                                                 rtl::TDateTime /*date*/) {}

std::string CCryptoAPI20ChainBuilderStrict::DownloadCRL(const std::string& /*issuer*/,
                                                        const std::string& addresses,
                                                        rtl::TDateTime /*date*/) {
  return http::CHTTPClientTool::DownloadFromAnyUrl(addresses);
}

void CCryptoAPI20ChainBuilderStrict::OnCRLDownloadFailed(const std::string& /*issuer*/,
                                                         rtl::TDateTime /*date*/) {}

void CCryptoAPI20ChainBuilderStrict::OnIssuer(const Certificate& certificate,
                                              const Certificate& issuer) {
  CCryptoAPI20ChainBuilderStrictConfig& config = StrictConfig();
  if ((config.Flags() & chain_flags::kCheckRevocation) == 0) {
    return;
  }
  if (config.Date() == 0) {
    config.SetDate(0);
  }
  if (!CheckRevocation(certificate, issuer, config.Date())) {
    rtl::RaiseFmt(u8"Статус актуальности сертификата [%s] не может быть проверен",
                  CCryptoAPI20Utils::GetSubjectCN(certificate));
  }
}

// Stands in for CertFindCRLInStore with CRL_FIND_ISSUED_BY. Only a list whose signature the
// issuer's key verifies counts: a list that merely names the issuer could hide a revocation.
// Of those, lists this system may not use (Crl::IsUsableAt: defects, issued in the future) are
// passed over, all of them when the issuer's key may not sign lists (RFC 5280 section 6.3.3);
// the newest of the rest is taken, whatever order the store gives.
std::optional<Crl> CCryptoAPI20ChainBuilderStrict::FindCrlIssuedBy(const Certificate& issuer) {
  const std::optional<uint16_t> usage = issuer.KeyUsage();
  const bool may_sign = !usage || (*usage & key_usage::kCrlSign) != 0;
  const int64_t now = std::time(nullptr);
  std::optional<Crl> newest;
  for (Crl& crl : WorkingStore().Crls()) {
    if (!may_sign || !crl.IsIssuedBy(issuer) ||
        (newest && crl.ThisUpdate() <= newest->ThisUpdate())) {
      continue;
    }
    if (!crl.IsUsableAt(now)) {
      rtl::TraceLine("CRL " + crl.Thumbprint() + " not used: " + crl.Defect());
      continue;
    }
    newest = std::move(crl);
  }
  if (!newest) {
    SetLastCryptError(code::kCryptENotFound);
  }
  return newest;
}

bool CCryptoAPI20ChainBuilderStrict::CheckRevocation(const Certificate& certificate,
                                                     const Certificate& issuer,
                                                     rtl::TDateTime date) {
  const std::string addresses = CCryptoAPI20Utils::GetCRLDistributionURLs(certificate);
  std::optional<Crl> crl;
  try {
    crl = FindCrlIssuedBy(issuer);
  } catch (const ECryptError&) {
    // The last crypto error holds the failure of the search.
  }
  if (!crl) {
    if (GetLastCryptError() == code::kCryptENotFound) {
      RaiseError(chain_code::kCrlNotFound,
                 WithDownloadAddresses(
                     rtl::Format(rtl::Msg(u8"Список отозванных сертификатов для [%s] не найден"),
                                 CCryptoAPI20Utils::GetIssuerCN(certificate)),
                     addresses));
    }
    RaiseError(chain_code::kNoCurrentCrl,
               rtl::Format(rtl::Msg(u8"Ошибка при проверке по списку отозванных сертификатов [%s]"),
                           LastCryptErrorText()));
    return false;
  }
  return CheckAgainstCRL(certificate, *crl, date);
}

void CCryptoAPI20ChainBuilderStrict::RaiseStaleCrl(std::string message,
                                                   const Certificate& certificate) const {
  RaiseError(chain_code::kNoCurrentCrl,
             WithDownloadAddresses(std::move(message),
                                   CCryptoAPI20Utils::GetCRLDistributionURLs(certificate)));
}

bool CCryptoAPI20ChainBuilderStrict::CheckAgainstCRL(const Certificate& certificate, const Crl& crl,
                                                     rtl::TDateTime date) {
  const int32_t margin = StrictConfig().Margin();
  const rtl::TDateTime now = rtl::Now();
  if (now < date) {
    RaiseError(chain_code::kNoCurrentCrl,
               rtl::Format(rtl::Msg(u8"Дата подписи [%s] больше текущей даты [%s]"),
                           rtl::DateTimeToStr(date), rtl::DateTimeToStr(now)));
  }

  const rtl::TDateTime not_before = LocalTime(certificate.NotBefore());
  const rtl::TDateTime not_after = LocalTime(certificate.NotAfter());
  const DatePosition validity = CompareWithMargin(date, not_before, not_after, margin);
  if (validity == DatePosition::kOutside) {
    RaiseError(chain_code::kRevoked,
               rtl::Format(rtl::Msg(u8"Дата подписи [%s] вне срока действия сертификата [%s - %s]"),
                           rtl::DateTimeToStr(date), rtl::DateTimeToStr(not_before),
                           rtl::DateTimeToStr(not_after)));
  }
  if (validity == DatePosition::kTooClose) {
    RaiseError(chain_code::kRevoked,
               rtl::Format(rtl::Msg(u8"Дата подписи [%s] недопустимо близка к окончанию срока "
                                    u8"действия сертификата [%s - %s]"),
                           rtl::DateTimeToStr(date), rtl::DateTimeToStr(not_before),
                           rtl::DateTimeToStr(not_after)));
  }

  const rtl::TDateTime next_update = LocalTime(crl.NextUpdate());
  const DatePosition currency = CompareWithMargin(date, 0, next_update, margin);
  if (currency == DatePosition::kOutside) {
    RaiseStaleCrl(rtl::Format(rtl::Msg(u8"Нет актуального списка отозванных сертификатов [%s] "
                                       u8"на дату подписи [%s]"),
                              rtl::DateTimeToStr(next_update), rtl::DateTimeToStr(date)),
                  certificate);
  }
  if (currency == DatePosition::kTooClose) {
    RaiseStaleCrl(rtl::Format(rtl::Msg(u8"Дата подписи [%s] недопустимо близка к сроку действия "
                                       u8"списка отозванных сертификатов [%s]"),
                              rtl::DateTimeToStr(date), rtl::DateTimeToStr(next_update)),
                  certificate);
  }

  // The latest entries of a list come last; a certificate signed before its revocation passes.
  const std::string serial = certificate.SerialNumber();
  const std::vector<RevokedEntry> entries = crl.Revoked();
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (entry->serial_number != serial) {
      continue;
    }
    const rtl::TDateTime revoked = LocalTime(entry->revocation_date);
    const DatePosition revocation = CompareWithMargin(date, 0, revoked, margin);
    if (revocation == DatePosition::kOutside) {
      RaiseError(chain_code::kRevoked,
                 rtl::Format(rtl::Msg(u8"На момент подписания [%s] сертификат был отозван [%s]"),
                             rtl::DateToStr(date), rtl::DateToStr(revoked)));
    }
    if (revocation == DatePosition::kTooClose) {
      RaiseError(chain_code::kRevoked,
                 rtl::Format(rtl::Msg(u8"Дата подписи [%s] недопустимо близка к дате отзыва "
                                      u8"сертификата [%s]"),
                             rtl::DateToStr(date), rtl::DateToStr(revoked)));
    }
  }
  return true;
}

namespace {

// The strict builder that tells an observer of each certificate it walks through.
class ObservedStrictBuilder final : public CCryptoAPI20ChainBuilderStrict {
 public:
  explicit ObservedStrictBuilder(ChainObserver observer) : observer_(std::move(observer)) {}
  ~ObservedStrictBuilder() override { CloseOnDestroy(); }

 protected:
  void OnCertificate(const Certificate& certificate) override {
    if (observer_) {
      observer_(certificate);
    }
    CCryptoAPI20ChainBuilderStrict::OnCertificate(certificate);
  }

 private:
  ChainObserver observer_;
};

// The strict builder behind the signature check's chain-builder interface.
class StrictSignerChainBuilder final : public ISignerChainBuilder {
 public:
  explicit StrictSignerChainBuilder(ChainObserver observer) : builder_(std::move(observer)) {}

  void Open(const SignerChainSettings& settings) override {
    CCryptoAPI20ChainBuilderStrictConfig config;
    config.SetStoreLocation(settings.store_location);
    config.SetDate(settings.date);
    config.SetFlags(settings.flags);
    date_ = settings.date;
    builder_.Open(&config);
  }
  void BuildChain(const Certificate& certificate) override {
    builder_.BuildChain(&certificate, date_);
  }

 private:
  ObservedStrictBuilder builder_;
  rtl::TDateTime date_ = 0;
};

}  // namespace

std::unique_ptr<ISignerChainBuilder> NewStrictSignerChainBuilder(ChainObserver observer) {
  return std::make_unique<StrictSignerChainBuilder>(std::move(observer));
}

}  // namespace lyr::crypt
