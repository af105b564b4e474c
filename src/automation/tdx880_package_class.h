// CTdx880Package_class: the creatable Package object (ITdx880Package, ITdx880Safe,
// IObjectWrapper) over one package container.
#pragma once

#include <memory>

#include "automation/object_wrapper.h"
#include "automation/tdx880_safe_auto_object.h"

namespace lyr::package {
class CTdx880Doc;
}  // namespace lyr::package

namespace lyr::automation {

inline constexpr char16_t kPackageProgId[] = u"LyrTdxPackage880.Tdx880Package";

// Every member forwards to the container. Guarded members: New, Open, Close, Save, Encrypt,
// Decrypt, AddFile, GetFile, SignFile, GetFileSignature, DeleteFile, DeleteFileSignatures,
// EncryptByCertificate, AddSpecDoc, GetMainFile; IsEncrypted resets LastError but does not catch;
// the rest are unguarded. File and Signature objects handed out take this object's SafeMode,
// except the one of GetMainFile.
class CTdx880Package_class : public CTdx880SafeAutoObject<ITdx880Package>,
                             public CObjectWrapperImpl {
 public:
  CTdx880Package_class();
  ~CTdx880Package_class() override;

  // Creates the container after the base's companion; FlagUsageUserStorage true.
  void Initialize() override;

  // The container (IObjectWrapper).
  rtl::CBaseClass* STDMETHODCALLTYPE WrappedObject() override;
  [[nodiscard]] package::CTdx880Doc& Doc() noexcept { return *doc_; }

  HRESULT STDMETHODCALLTYPE New(BSTR wsThreadTypeCode, BSTR wsTransactTypeCode,
                                VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE Open(BSTR wsFilename, VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE Close(VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE Save(BSTR wsPath, VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE Encrypt(ITdx880Key* pKey, VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE Decrypt(VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE AddFile(BSTR wsDocTypeCode, BSTR wsContentType, BSTR wsFilename,
                                    BSTR wsContent, ITdx880File** pResult) override;
  HRESULT STDMETHODCALLTYPE GetFileCount(LONG* iResult) override;
  HRESULT STDMETHODCALLTYPE GetFile(LONG iIndex, ITdx880File** pResult) override;
  HRESULT STDMETHODCALLTYPE IsOpened(VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE SignFile(BSTR wsFilename, ITdx880Key* pKey,
                                     VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE GetFileSignatureCount(LONG iIndex, LONG* iResult) override;
  HRESULT STDMETHODCALLTYPE GetFileSignature(LONG iFileIndex, LONG iSignIndex,
                                             ITdx880Signature** pResult) override;
  HRESULT STDMETHODCALLTYPE get_IsEncrypted(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE get_SenderType(SIGN_ROLE_TYPES* Value) override;
  HRESULT STDMETHODCALLTYPE get_SenderIdentifier(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_SenderIdentifier(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_ReceiverType(SIGN_ROLE_TYPES* Value) override;
  HRESULT STDMETHODCALLTYPE get_ReceiverIdentifier(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_ReceiverIdentifier(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE DeleteFile(LONG iFileIndex, VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE DeleteFileSignatures(LONG iFileIndex, VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE EncryptByCertificate(BSTR wsCertBody, VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE get_FlagUsageUserStorage(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_FlagUsageUserStorage(VARIANT_BOOL Value) override;
  HRESULT STDMETHODCALLTYPE get_ThreadType(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_ThreadTypeCode(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_TransactType(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_TransactTypeCode(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_ThreadCode(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_ThreadCode(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_SOSIdentifier(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_SOSIdentifier(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE AddSpecDoc(ITdx880SpecDoc* pSpecDoc, ITdx880File** pResult) override;
  HRESULT STDMETHODCALLTYPE get_PackageDescriptionContent(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_IsLoaded(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE get_IsReaded(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE put_FileName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE GetMainFile(ITdx880File** pFile) override;
  HRESULT STDMETHODCALLTYPE get_TmpDir(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_TmpDir(BSTR Value) override;

 protected:
  void* FindInterface(REFIID iid) noexcept override;
  IDispatch* DefaultDispatch() noexcept override { return DispatchPointer(); }

 private:
  std::unique_ptr<package::CTdx880Doc> doc_;
};

// A new Package object made through this library's class factory for Tdx880Package, as a host
// makes one (one reference for the caller); CreateByClassFactory's error when it fails.
ComPtr<ITdx880Package> CreatePackageObject();

}  // namespace lyr::automation
