// CTdx880Crypt: key lists, look-ups and imports over one CCryptoAPI20Tool.
#include "crypt/tdx880_crypt.h"

#include <optional>
#include <vector>

#include "crypt/crypto_api20_utils.h"
#include "crypt/crypto_provider.h"
#include "crypt/tdx880_crypto_tool.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "rtl/value_check_tool.h"

namespace lyr::crypt {
namespace {

constexpr std::u8string_view kInit = u8"инициализация";
constexpr std::u8string_view kGetPrivateKey = u8"получение личного ключа";
constexpr std::u8string_view kGetOpponentKey = u8"получение ключа оппонента";
constexpr std::u8string_view kImportChain = u8"импорт цепочки сертификатов";
constexpr std::u8string_view kImportOpponent = u8"импорт ключа оппонента";
constexpr std::u8string_view kImportPrivate = u8"импорт личного сертификата";
constexpr std::u8string_view kGetContainer = u8"получение имени контейнера";
constexpr std::u8string_view kGetKeyBySha1 = u8"получение ключа по отпечатку";

[[noreturn]] void RaiseCertificateGone() {
  rtl::RaiseFmt(u8"Внутренняя ошибка: Сертификат не найден");
}

}  // namespace

void RaiseCryptographyNotAvailable(std::u8string_view operation) {
  rtl::RaiseFmt(u8"Не установлен СКЗИ КриптоПро, который требуется для операции: %s",
                rtl::Msg(operation));
}

CTdx880Crypt::CTdx880Crypt() {
  private_.SetOwnershipMode(rtl::StrArrayOwnership::kDestroy);
  opponents_.SetOwnershipMode(rtl::StrArrayOwnership::kDestroy);
}

CTdx880Crypt::~CTdx880Crypt() = default;

uint8_t CTdx880Crypt::StoreLocation() const noexcept {
  return tool_ ? static_cast<uint8_t>(tool_->StoreLocation()) : 0;
}

const CCryptoAPI20Tool& CTdx880Crypt::RequireTool(std::u8string_view operation) const {
  // A failed Init may leave the flag set without a worker; that is no more usable than no Init.
  if (!cryptography_available_ || !tool_) {
    RaiseCryptographyNotAvailable(operation);
  }
  return *tool_;
}

bool CTdx880Crypt::Init(bool user_storage) {
  cryptography_available_ = IsCryptographyOk();
  if (!cryptography_available_) {
    RaiseCryptographyNotAvailable(kInit);
  }
  tool_.reset();
  tool_ = std::make_unique<CCryptoAPI20Tool>();
  tool_->SetStoreLocation(LocationOfUserStorage(user_storage));

  private_.Clear();
  tool_->LoadStore(StoreCode::kMy, &private_);
  opponents_.Clear();
  tool_->LoadStore(StoreCode::kAddressBook, &opponents_);

  containers_.Clear();
  if (cryptography_available_) {
    CCryptoProvider provider;
    provider.SetMachineKeySet(tool_->StoreLocation() == StoreLocation::kLocalMachine);
    provider.AcquireVerifyContext(kGostProviderType, false);
    std::vector<std::string> names;
    provider.EnumerateContainers(names, kGostProviderType);
    for (std::string& name : names) {
      containers_.Add(std::move(name));
    }
  }
  return true;
}

void CTdx880Crypt::KeyAt(const rtl::CStrArray& list, StoreCode store, int32_t index,
                         std::string_view index_name, CTdx880Key* key,
                         std::u8string_view operation) const {
  const CCryptoAPI20Tool& tool = RequireTool(operation);
  rtl::CValueCheckTool::CheckValueInRange(index, 0, index_name, list.Count() - 1);
  rtl::CValueCheckTool::CheckAssigned(key, "pKey");
  const std::optional<Certificate> certificate = tool.FindBySha1(store, list.Strings(index));
  if (!certificate) {
    RaiseCertificateGone();
  }
  FillKeyFromCertificate(*key, *certificate);
}

void CTdx880Crypt::GetPrivateKey(int32_t index, CTdx880Key* key) const {
  KeyAt(private_, StoreCode::kMy, index, "privateKeyIndex", key, kGetPrivateKey);
}

void CTdx880Crypt::GetOpponentKey(int32_t index, CTdx880Key* key) const {
  KeyAt(opponents_, StoreCode::kAddressBook, index, "opponentKeyIndex", key, kGetOpponentKey);
}

void CTdx880Crypt::ImportP7BChain(std::string_view content) {
  const CCryptoAPI20Tool& tool = RequireTool(kImportChain);
  rtl::CValueCheckTool::CheckNotEmpty(content, "P7B-content");
  tool.ImportP7B(content);
}

void CTdx880Crypt::ImportOpponentCertificate(std::string_view body, CTdx880Key* key) {
  const CCryptoAPI20Tool& tool = RequireTool(kImportOpponent);
  rtl::CValueCheckTool::CheckNotEmpty(body, "certificateBody");
  rtl::CValueCheckTool::CheckAssigned(key, "pKey");
  const Certificate certificate = tool.CertificateFromBody(body);
  tool.ImportCertificate(StoreCode::kAddressBook, &certificate, "");
  FillKeyFromCertificate(*key, certificate);
}

void CTdx880Crypt::ImportPrivateCertificate(std::string_view body, std::string_view container_name,
                                            CTdx880Key* key) {
  const CCryptoAPI20Tool& tool = RequireTool(kImportPrivate);
  rtl::CValueCheckTool::CheckNotEmpty(body, "certificateBody");
  rtl::CValueCheckTool::CheckNotEmpty(container_name, "ContainerName");
  rtl::CValueCheckTool::CheckAssigned(key, "pKey");
  const Certificate certificate = tool.CertificateFromBody(body);
  tool.ImportCertificate(StoreCode::kMy, &certificate, container_name);
  FillKeyFromCertificate(*key, certificate);
}

bool CTdx880Crypt::CheckSignature(std::string_view content, std::string_view signature) const {
  // Before the first Init there is no worker; its location would be the current user's.
  const bool user_storage = !tool_ || tool_->StoreLocation() != StoreLocation::kLocalMachine;
  return CTdx880CryptoTool().VerifySignature(user_storage, content, signature, true, true, 0,
                                             nullptr);
}

std::string CTdx880Crypt::GetContainer(int32_t index) const {
  (void)RequireTool(kGetContainer);
  rtl::CValueCheckTool::CheckValueInRange(index, 0, "containerIndex", containers_.Count() - 1);
  return containers_.Strings(index);
}

void CTdx880Crypt::KeyBySha1(StoreCode store, std::string_view sha1, CTdx880Key* key) const {
  const CCryptoAPI20Tool& tool = RequireTool(kGetKeyBySha1);
  rtl::CValueCheckTool::CheckNotEmpty(sha1, "sha1");
  rtl::CValueCheckTool::CheckAssigned(key, "pKey");
  const std::optional<Certificate> certificate = tool.FindBySha1(store, sha1);
  if (!certificate) {
    RaiseCertificateGone();
  }
  FillKeyFromCertificate(*key, *certificate);
}

void CTdx880Crypt::GetPrivateKeyBySha1(std::string_view sha1, CTdx880Key* key) const {
  KeyBySha1(StoreCode::kMy, sha1, key);
}

void CTdx880Crypt::GetOpponentKeyBySha1(std::string_view sha1, CTdx880Key* key) const {
  KeyBySha1(StoreCode::kAddressBook, sha1, key);
}

bool CTdx880Crypt::IsCryptographyOk() {
  return CCryptoAPI20Utils::IsCryptographyOk();
}

}  // namespace lyr::crypt
