// CCryptoSignature: making and checking detached GOST CMS signatures.
#include "crypt/crypto_signature.h"

#include <ctime>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "crypt/crypto_api20_exception.h"
#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/koral_certificate.h"
#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "crypt/platform/signed_data.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {
namespace {

constexpr uint32_t kMachineKeySet = 0x20;  // CRYPT_MACHINE_KEYSET in the key-provider flags

// The private key of a certificate through its key-provider property. As CryptoAPI acquires the
// container with the property's flags, the machine-key-set flag names a container of the local
// machine and its absence one of the current user, whichever store the certificate is in (an
// import binds the current user's container also in the machine's "MY").
PrivateKey SignerKey(const Certificate& certificate) {
  if (!certificate.KeyProv()) {
    RaiseCryptError(code::kCryptENoKeyProperty);
  }
  const KeyProvInfo& binding = *certificate.KeyProv();
  const StoreLocation location = (binding.flags & kMachineKeySet) != 0
                                     ? StoreLocation::kLocalMachine
                                     : StoreLocation::kCurrentUser;
  return KeyContainer::Open(location, binding.container_name).GetPrivateKey();
}

[[noreturn]] void RaiseBadSignature() {
  RaiseCryptoAPI20Error(
      chain_code::kBadSignature,
      rtl::Format(rtl::Msg(u8"Ошибка при проверке подписи [%s]"), LastCryptErrorText()));
}

[[noreturn]] void RaiseNoSignerCertificate() {
  RaiseCryptoAPI20Error(
      chain_code::kNoSignerCertificate,
      rtl::Msg(u8"Ошибка при проверке подписи: невозможно выделить сертификат из подписи"));
}

}  // namespace

CCryptoSignature::CCryptoSignature() {
  // The list owns its CKORALCertificate objects.
  signers_.SetOwnershipMode(rtl::StrArrayOwnership::kDestroy);
}

CCryptoSignature::~CCryptoSignature() {
  CloseOnDestroy();
}

bool CCryptoSignature::Open(CBaseClass* config) {
  return Guarded([&] {
    auto* bound = dynamic_cast<CCryptoSignatureConfig*>(config);
    rtl::CValueCheckTool::CheckAssigned(bound, "CryptoSignatureConfig");
    if (bound->Provider() == nullptr) {
      rtl::RaiseFmt(u8"Не открыт криптопровайдер объекта CCryptoSignatureConfig");
    }
    const bool result = CCustomDoc::Open(config);
    config_ = bound;
    return result;
  });
}

bool CCryptoSignature::Close() {
  config_ = nullptr;
  signature_.clear();
  signed_content_.clear();
  signers_.Clear();
  return true;
}

CCryptoSignatureConfig& CCryptoSignature::Config() const {
  rtl::CValueCheckTool::CheckAssigned(config_, "CryptoSignatureConfig");
  return *config_;
}

bool CCryptoSignature::Sign(std::string_view thumbprint, std::string_view content) {
  rtl::CValueCheckTool::CheckLength(thumbprint, "sha1", 40);
  rtl::CValueCheckTool::CheckNotEmpty(content, "signedText");
  const CCryptoSignatureConfig& config = Config();
  signed_content_.assign(keep_signed_content_ ? content : std::string_view());
  const CryptoRuntime runtime;
  const std::optional<Certificate> certificate =
      CCryptoAPI20Utils::FindCertificateBySha1(config.StoreLocation(), thumbprint, StoreCode::kMy);
  if (!certificate) {
    rtl::RaiseFmt(u8"Личный сертификат с отпечатком [%s] не найден", thumbprint);
  }
  if (config.CertificateInclusion() == 0) {
    rtl::RaiseFmt(u8"Неизвестный набор сертификатов для включения");
  }
  if (config.CertificateInclusion() != kIncludeSignerCertificate) {
    rtl::RaiseFmt(u8"Не реализованный алгоритм включения сертификатов: [%d]",
                  static_cast<int32_t>(config.CertificateInclusion()));
  }
  const PrivateKey key = SignerKey(*certificate);
  signature_ = SignDetached(*certificate, key, content);
  return true;
}

bool CCryptoSignature::Verify(std::string_view signed_content, std::string_view signature,
                              double signing_date) {
  const CCryptoSignatureConfig& config = Config();
  std::unique_ptr<ISignerChainBuilder> builder;
  if (config.ChainBuilderFactory()) {
    builder = config.ChainBuilderFactory()();
    builder->Open({config.StoreLocation(), signing_date, config.ChainBuilderFlags()});
  }
  signers_.Clear();
  rtl::CValueCheckTool::CheckNotEmpty(signed_content, "sSignedData");
  rtl::CValueCheckTool::CheckNotEmpty(signature, "sSignatureContent");
  signed_content_.assign(keep_signed_content_ ? signed_content : std::string_view());
  signature_.assign(signature);

  const CryptoRuntime runtime;
  switch (CheckDetached(signature_, signed_content, digests_)) {
    case SignedDataCheck::kValid:
      break;
    case SignedDataCheck::kNoSignerCertificate:
      RaiseNoSignerCertificate();
    case SignedDataCheck::kInvalid:
      RaiseBadSignature();
  }
  if ((config.VerificationFlags() & verify_flags::kCheckChain) != 0) {
    CheckChains(signature_, builder.get());
  }
  return true;
}

void CCryptoSignature::CheckChains(const std::string& signature, ISignerChainBuilder* builder) {
  std::optional<Certificate> first = CCryptoAPI20Utils::CertificateFromSignature(signature);
  if (!first) {
    RaiseNoSignerCertificate();
  }
  auto signer = std::make_unique<CKORALCertificate>();
  if (!signer->Attach(*first)) {
    rtl::Raise("Error open certificate");
  }
  signer->SetProvider(Config().Provider());
  std::string thumbprint = signer->GetSha1();
  signers_.AddObject(std::move(thumbprint), std::move(signer));
  if (builder == nullptr) {
    rtl::Raise("CCryptoSignature.Verify: no certificate chain builder is installed");
  }
  for (int32_t i = 0; i < signers_.Count(); ++i) {
    builder->BuildChain(*signers_.Object<CKORALCertificate>(i)->Context());
  }
}

}  // namespace lyr::crypt
