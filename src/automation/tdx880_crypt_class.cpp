// The Crypt object's members: a thin layer over the engine, with the key operation that turns an
// engine key record into a Key object.
#include "automation/tdx880_crypt_class.h"

#include "automation/bstr.h"
#include "automation/tdx880_key_class.h"

namespace lyr::automation {

void CTdx880Crypt_class::Initialize() {
  CTdx880SafeAutoObject<ITdx880Crypt>::Initialize();
  flag_usage_user_storage_ = true;
  engine_ = std::make_unique<crypt::CTdx880Crypt>();
}

ComPtr<ITdx880Key> CTdx880Crypt_class::ChildKey(const crypt::CTdx880Key& record) {
  ComPtr<ITdx880Key> key = KeyToAutomation(&record, ProgId());
  PassSafeMode(SafeMode(), key.Get());
  return key;
}

HRESULT CTdx880Crypt_class::Init(VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return engine_->Init(flag_usage_user_storage_); });
}

HRESULT CTdx880Crypt_class::GetPrivateKeyCount(LONG* iResult) {
  return UnguardGet(iResult, [&] { return engine_->GetPrivateKeyCount(); });
}

HRESULT CTdx880Crypt_class::GetPrivateKey(LONG iIndex, ITdx880Key** pResult) {
  return Guard(pResult, [&] {
    crypt::CTdx880Key record;
    engine_->GetPrivateKey(iIndex, &record);
    return ChildKey(record);
  });
}

HRESULT CTdx880Crypt_class::GetOpponentKeyCount(LONG* iResult) {
  return UnguardGet(iResult, [&] { return engine_->GetOpponentKeyCount(); });
}

HRESULT CTdx880Crypt_class::GetOpponentKey(LONG iIndex, ITdx880Key** pResult) {
  return Guard(pResult, [&] {
    crypt::CTdx880Key record;
    engine_->GetOpponentKey(iIndex, &record);
    return ChildKey(record);
  });
}

HRESULT CTdx880Crypt_class::ImportP7BChain(BSTR wsP7BFileContent) {
  return Unguard([&] {
    engine_->ImportP7BChain(BytesFromBstr(wsP7BFileContent));
    engine_->Init(flag_usage_user_storage_);
  });
}

HRESULT CTdx880Crypt_class::ImportOpponentCertificate(BSTR wsCertificateBody,
                                                      ITdx880Key** pResult) {
  return Guard(pResult, [&] {
    crypt::CTdx880Key record;
    engine_->ImportOpponentCertificate(BytesFromBstr(wsCertificateBody), &record);
    engine_->Init(flag_usage_user_storage_);
    return ChildKey(record);
  });
}

HRESULT CTdx880Crypt_class::ImportPrivateCertificate(BSTR wsCertificateBody, BSTR wsContainerName,
                                                     ITdx880Key** pResult) {
  return Guard(pResult, [&] {
    crypt::CTdx880Key record;
    engine_->ImportPrivateCertificate(BytesFromBstr(wsCertificateBody), BstrToAnsi(wsContainerName),
                                      &record);
    engine_->Init(flag_usage_user_storage_);
    return ChildKey(record);
  });
}

HRESULT CTdx880Crypt_class::CheckSignature(BSTR wsContent, BSTR wsSignature) {
  return Unguard(
      [&] { engine_->CheckSignature(BytesFromBstr(wsContent), BytesFromBstr(wsSignature)); });
}

HRESULT CTdx880Crypt_class::GetContainerCount(LONG* iResult) {
  return UnguardGet(iResult, [&] { return engine_->GetContainerCount(); });
}

HRESULT CTdx880Crypt_class::GetContainer(LONG iIndex, BSTR* wsResult) {
  return UnguardGet(wsResult, [&] { return engine_->GetContainer(iIndex); });
}

HRESULT CTdx880Crypt_class::GetOpponentKeyBySha1(BSTR wsSha1, ITdx880Key** pResult) {
  return Guard(pResult, [&] {
    crypt::CTdx880Key record;
    engine_->GetOpponentKeyBySha1(BstrToAnsi(wsSha1), &record);
    return ChildKey(record);
  });
}

HRESULT CTdx880Crypt_class::GetPrivateKeyBySha1(BSTR wsSha1, ITdx880Key** pResult) {
  return Guard(pResult, [&] {
    crypt::CTdx880Key record;
    engine_->GetPrivateKeyBySha1(BstrToAnsi(wsSha1), &record);
    return ChildKey(record);
  });
}

HRESULT CTdx880Crypt_class::IsCryptographyOk(VARIANT_BOOL* bResult) {
  return Guard(bResult, [] { return crypt::CTdx880Crypt::IsCryptographyOk(); });
}

HRESULT CTdx880Crypt_class::get_FlagUsageUserStorage(VARIANT_BOOL* Value) {
  return UnguardGet(Value, [&] { return flag_usage_user_storage_; });
}

HRESULT CTdx880Crypt_class::put_FlagUsageUserStorage(VARIANT_BOOL Value) {
  const bool user_storage = Value != 0;
  if (user_storage == flag_usage_user_storage_) {
    return S_OK;
  }
  flag_usage_user_storage_ = user_storage;
  VARIANT_BOOL initialised = VARIANT_FALSE;
  return Init(&initialised);
}

}  // namespace lyr::automation
