// CCryptoAPI20ChainBuilderBase: the issuer walk over the working store.
#include "crypt/crypto_api20_chain_builder_base.h"

#include <algorithm>

#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "rtl/trace.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {
namespace {

// The issuer's own validity, its bounds taken as the calendar values they are written with (UTC)
// and compared with the local signing date without conversion, as the system does.
bool ValidAt(const Certificate& certificate, rtl::TDateTime date) {
  return rtl::UnixTimeToUtcDateTime(certificate.NotBefore()) <= date &&
         date <= rtl::UnixTimeToUtcDateTime(certificate.NotAfter());
}

void TraceLastError() {
  rtl::TraceLine(LastCryptErrorText());
}

// Why candidate may not issue a certificate of a chain with below CA certificates under it
// (RFC 5280 section 6.1.4): "" when it may. It must be usable, a CA by its basic constraints
// (a self-signed trust anchor without them is taken as one), allowed keyCertSign when it limits
// its key's usage, and allow as many CA certificates below it as there are.
std::string IssuerDefect(const Certificate& candidate, size_t below) {
  if (std::string defect = candidate.Defect(); !defect.empty()) {
    return defect;
  }
  const std::optional<BasicConstraints> constraints = candidate.GetBasicConstraints();
  if (constraints ? !constraints->ca : !candidate.IsSelfIssued()) {
    return "not a CA certificate";
  }
  const std::optional<uint16_t> usage = candidate.KeyUsage();
  if (usage && (*usage & key_usage::kKeyCertSign) == 0) {
    return "key usage without keyCertSign";
  }
  if (constraints && constraints->path_length >= 0 &&
      below > static_cast<size_t>(constraints->path_length)) {
    return "path length exceeded";
  }
  return {};
}

}  // namespace

CCryptoAPI20ChainBuilderBase::~CCryptoAPI20ChainBuilderBase() {
  CloseOnDestroy();
}

bool CCryptoAPI20ChainBuilderBase::Open(rtl::CBaseClass* config) {
  return Guarded([&] {
    const auto* given = dynamic_cast<CCryptoAPI20ChainBuilderBaseConfig*>(config);
    rtl::CValueCheckTool::CheckAssigned(given, "config");
    const bool result = CCustomDoc::Open(config);
    std::unique_ptr<CCryptoAPI20ChainBuilderBaseConfig> own = CreateConfig();
    own->Assign(*given);
    config_ = std::move(own);
    try {
      OpenStores();
    } catch (...) {
      Close();  // a store that cannot be read leaves the builder closed, not half open
      throw;
    }
    return result;
  });
}

bool CCryptoAPI20ChainBuilderBase::Close() {
  if (config_) {
    CloseStores();
    config_.reset();
  }
  return true;
}

CCryptoAPI20ChainBuilderBaseConfig& CCryptoAPI20ChainBuilderBase::Config() const {
  if (!config_) {
    rtl::RaiseFmt(u8"Документ не открыт");
  }
  return *config_;
}

CertStore& CCryptoAPI20ChainBuilderBase::WorkingStore() {
  if (!working_store_) {
    rtl::RaiseFmt(u8"Документ не открыт");
  }
  return *working_store_;
}

void CCryptoAPI20ChainBuilderBase::OnCertificate(const Certificate& /*certificate*/) {}

void CCryptoAPI20ChainBuilderBase::OnIssuer(const Certificate& /*certificate*/,
                                            const Certificate& /*issuer*/) {}

std::unique_ptr<CCryptoAPI20ChainBuilderBaseConfig> CCryptoAPI20ChainBuilderBase::CreateConfig()
    const {
  return std::make_unique<CCryptoAPI20ChainBuilderBaseConfig>();
}

void CCryptoAPI20ChainBuilderBase::RaiseError(uint8_t code, std::string message) const {
  RaiseCryptoAPI20Error(code, std::move(message));
}

void CCryptoAPI20ChainBuilderBase::AddToWorkingStore(const Certificate& certificate,
                                                     AddDisposition disposition) {
  try {
    WorkingStore().Add(certificate, disposition);
  } catch (const ECryptError&) {
    TraceLastError();
  }
}

void CCryptoAPI20ChainBuilderBase::OpenStores() {
  const CCryptoAPI20ChainBuilderBaseConfig& config = Config();
  working_store_ = CertStore::OpenMemory();
  const CertStore ca = CCryptoAPI20Utils::OpenSystemStore(config.StoreLocation(), StoreCode::kCa);
  for (const Certificate& certificate : ca.Certificates()) {
    AddToWorkingStore(certificate, AddDisposition::kReplaceExisting);
  }
  for (const Crl& crl : ca.Crls()) {
    try {
      working_store_->AddCrl(crl, AddDisposition::kAlways);  // the lookup picks among them
    } catch (const ECryptError&) {
      // A CRL that cannot be added is left out; the revocation check reports what is missing.
    }
  }
  const CertStore root =
      CCryptoAPI20Utils::OpenSystemStore(config.StoreLocation(), StoreCode::kRoot);
  for (const Certificate& certificate : root.Certificates()) {
    AddToWorkingStore(certificate, AddDisposition::kReplaceExisting);
  }
}

void CCryptoAPI20ChainBuilderBase::CloseStores() {
  working_store_.reset();
}

bool CCryptoAPI20ChainBuilderBase::IsInWorkingStore(const Certificate& certificate) const {
  return working_store_ && working_store_->FindByThumbprint(certificate.Thumbprint()).has_value();
}

// Stands in for CertGetIssuerCertificateFromStore with CERT_STORE_SIGNATURE_FLAG: candidates are
// the certificates whose subject name is the issuer name of current. A candidate whose key does
// not verify current's signature is passed over, so a certificate that merely carries a CA's name
// never completes a chain.
std::optional<Certificate> CCryptoAPI20ChainBuilderBase::FindIssuer(
    const Certificate& current, const std::vector<std::string>& used, size_t below) const {
  if (current.IsSelfIssued()) {
    SetLastCryptError(code::kCryptESelfSigned);
    return std::nullopt;
  }
  const rtl::TDateTime date = config_->Date();
  for (const Certificate& candidate : working_store_->FindBySubjectName(current.IssuerNameDer())) {
    if (!current.IsSignedBy(candidate)) {
      continue;
    }
    const bool already_used =
        std::find(used.begin(), used.end(), candidate.Thumbprint()) != used.end();
    if (already_used || !ValidAt(candidate, date)) {
      continue;
    }
    if (const std::string defect = IssuerDefect(candidate, below); !defect.empty()) {
      rtl::TraceLine("Issuer candidate " + candidate.Thumbprint() + " passed over: " + defect);
      continue;
    }
    return candidate;
  }
  SetLastCryptError(code::kCryptENotFound);
  return std::nullopt;
}

void CCryptoAPI20ChainBuilderBase::BuildChain(const Certificate* certificate, rtl::TDateTime date) {
  CCryptoAPI20ChainBuilderBaseConfig& config = Config();
  last_root_.reset();
  if (certificate != nullptr) {
    config.SetInitialCertificate(certificate);
  }
  config.SetDate(date);
  rtl::CValueCheckTool::CheckAssigned(
      config.InitialCertificate() ? &*config.InitialCertificate() : nullptr, "pInitialCertContext");
  const CryptoRuntime runtime;

  Certificate current = *config.InitialCertificate();
  if (const std::string defect = current.Defect(); !defect.empty()) {
    rtl::TraceLine("Certificate " + current.Thumbprint() + " not usable: " + defect);
    RaiseError(chain_code::kNoCurrentCrl, rtl::Msg(u8"Ошибка при построении цепочки"));
  }
  std::vector<std::string> used;
  size_t below = 0;  // CA certificates of the chain so far, self-issued ones not counted
  std::string issuer_cn;
  std::string ca_issuers_url;
  for (;;) {
    ca_issuers_url = CCryptoAPI20Utils::GetCAIssuersURL(current);
    OnCertificate(current);
    issuer_cn = CCryptoAPI20Utils::GetIssuerCN(current);
    std::optional<Certificate> issuer;
    try {
      issuer = FindIssuer(current, used, below);
    } catch (const ECryptError&) {
      break;  // the last crypto error is the search's failure
    }
    if (!issuer) {
      break;
    }
    used.push_back(issuer->Thumbprint());
    if (!issuer->IsSelfIssued()) {
      ++below;
    }
    OnIssuer(current, *issuer);
    current = std::move(*issuer);
  }
  FinishChain(current, issuer_cn, ca_issuers_url);
}

// A walk ends well only at a self-signed certificate of the working store ("CA" or "ROOT"): a
// self-signed certificate that came with the signature alone is not trusted and is reported as a
// missing CA certificate.
void CCryptoAPI20ChainBuilderBase::FinishChain(const Certificate& current,
                                               const std::string& issuer_cn,
                                               const std::string& ca_issuers_url) {
  const uint32_t last_error = GetLastCryptError();
  const bool self_signed = last_error == code::kCryptESelfSigned || last_error == code::kSuccess;
  if (self_signed && IsInWorkingStore(current)) {
    last_root_ = current;
    return;
  }
  if (self_signed || last_error == code::kCryptENotFound) {
    if (self_signed) {
      SetLastCryptError(code::kCryptENotFound);
    }
    std::string message = rtl::Format(rtl::Msg(u8"Не найден сертификат УЦ [%s]"), issuer_cn);
    if (!ca_issuers_url.empty()) {
      message += rtl::Format(rtl::Msg(u8". URL для скачивания: [%s]"), ca_issuers_url);
    }
    RaiseError(chain_code::kIssuerNotFound, std::move(message));
  }
  RaiseError(chain_code::kNoCurrentCrl, rtl::Msg(u8"Ошибка при построении цепочки"));
}

}  // namespace lyr::crypt
