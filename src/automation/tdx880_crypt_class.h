// CTdx880Crypt_class: the creatable Crypt object (ITdx880Crypt, ITdx880Safe) over one
// crypt::CTdx880Crypt engine.
#pragma once

#include <memory>

#include "automation/tdx880_safe_auto_object.h"
#include "crypt/tdx880_crypt.h"

namespace lyr::automation {

inline constexpr char16_t kCryptProgId[] = u"LyrTdxPackage880.Tdx880Crypt";

// Guarded members (Init, the members that return a Key object, IsCryptographyOk) record a
// failure in LastError and, in SafeMode, return S_OK with a false or null result. The counts,
// GetContainer, ImportP7BChain, CheckSignature and the FlagUsageUserStorage get are unguarded:
// a failure is E_UNEXPECTED with error information whatever SafeMode is, LastError untouched.
// The key lists are snapshots of the last Init; Key objects are copies that outlive this object.
// Binary arguments (certificate bodies, P7B content, content and signature) are read with
// BytesFromBstr.
class CTdx880Crypt_class : public CTdx880SafeAutoObject<ITdx880Crypt> {
 public:
  CTdx880Crypt_class() : CTdx880SafeAutoObject<ITdx880Crypt>(kCryptProgId) {}

  // After the base's companion: FlagUsageUserStorage true, a new engine. Init is not run, so the
  // counts are 0 and every key operation fails until the host calls Init.
  void Initialize() override;

  // Engine Init at the location of FlagUsageUserStorage.
  HRESULT STDMETHODCALLTYPE Init(VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE GetPrivateKeyCount(LONG* iResult) override;
  // Index 0..count-1 ("privateKeyIndex"); a Key object in this object's SafeMode.
  HRESULT STDMETHODCALLTYPE GetPrivateKey(LONG iIndex, ITdx880Key** pResult) override;
  HRESULT STDMETHODCALLTYPE GetOpponentKeyCount(LONG* iResult) override;
  // Index 0..count-1 ("opponentKeyIndex").
  HRESULT STDMETHODCALLTYPE GetOpponentKey(LONG iIndex, ITdx880Key** pResult) override;
  // Imports the chain, then re-runs the engine's Init.
  HRESULT STDMETHODCALLTYPE ImportP7BChain(BSTR wsP7BFileContent) override;
  // Imports into "addressbook", re-runs Init, and returns the key of the certificate.
  HRESULT STDMETHODCALLTYPE ImportOpponentCertificate(BSTR wsCertificateBody,
                                                      ITdx880Key** pResult) override;
  // Imports into "MY" bound to the container, re-runs Init, and returns the key of the
  // certificate; its ContainerName is empty.
  HRESULT STDMETHODCALLTYPE ImportPrivateCertificate(BSTR wsCertificateBody, BSTR wsContainerName,
                                                     ITdx880Key** pResult) override;
  // S_OK when the signature and its signer's chain verify now (downloads and revocation
  // included); otherwise the verification message as E_UNEXPECTED, even in SafeMode.
  HRESULT STDMETHODCALLTYPE CheckSignature(BSTR wsContent, BSTR wsSignature) override;
  HRESULT STDMETHODCALLTYPE GetContainerCount(LONG* iResult) override;
  // Index 0..count-1 ("containerIndex").
  HRESULT STDMETHODCALLTYPE GetContainer(LONG iIndex, BSTR* wsResult) override;
  HRESULT STDMETHODCALLTYPE GetOpponentKeyBySha1(BSTR wsSha1, ITdx880Key** pResult) override;
  HRESULT STDMETHODCALLTYPE GetPrivateKeyBySha1(BSTR wsSha1, ITdx880Key** pResult) override;
  // The GOST provider is installed; needs no Init.
  HRESULT STDMETHODCALLTYPE IsCryptographyOk(VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE get_FlagUsageUserStorage(VARIANT_BOOL* Value) override;
  // The same value: nothing. Another value: set, then the Init member runs; its failure fails the
  // put outside SafeMode (E_UNEXPECTED) and stays in LastError in SafeMode (S_OK).
  HRESULT STDMETHODCALLTYPE put_FlagUsageUserStorage(VARIANT_BOOL Value) override;

 private:
  // A Key object made from record, in this object's SafeMode (one reference for the caller).
  ComPtr<ITdx880Key> ChildKey(const crypt::CTdx880Key& record);

  std::unique_ptr<crypt::CTdx880Crypt> engine_;
  bool flag_usage_user_storage_ = true;
};

}  // namespace lyr::automation
