// The Package object's members over its container.
#include "automation/tdx880_package_class.h"

#include <string>
#include <utility>

#include "automation/class_factory.h"
#include "automation/tdx880_file_class.h"
#include "automation/tdx880_key_class.h"
#include "crypt/tdx880_key.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_tool.h"
#include "rtl/errors.h"
#include "rtl/xml_class.h"

namespace lyr::automation {
namespace {

SIGN_ROLE_TYPES ToAutomation(uint8_t subject_type) {
  return static_cast<SIGN_ROLE_TYPES>(package::CTdx880Tool::SubjectTypeToAutomation(subject_type));
}

}  // namespace

CTdx880Package_class::CTdx880Package_class()
    : CTdx880SafeAutoObject<ITdx880Package>(kPackageProgId) {}

CTdx880Package_class::~CTdx880Package_class() = default;

void CTdx880Package_class::Initialize() {
  CTdx880SafeAutoObject<ITdx880Package>::Initialize();
  doc_ = std::make_unique<package::CTdx880Doc>();
  doc_->SetFlagUsageUserStorage(true);
}

rtl::CBaseClass* CTdx880Package_class::WrappedObject() {
  return doc_.get();
}

void* CTdx880Package_class::FindInterface(REFIID iid) noexcept {
  if (iid == IID_IObjectWrapper) {
    return static_cast<IObjectWrapper*>(this);
  }
  return CTdx880SafeAutoObject<ITdx880Package>::FindInterface(iid);
}

HRESULT CTdx880Package_class::New(BSTR wsThreadTypeCode, BSTR wsTransactTypeCode,
                                  VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] {
    return doc_->New(BstrToAnsi(wsThreadTypeCode), BstrToAnsi(wsTransactTypeCode));
  });
}

HRESULT CTdx880Package_class::Open(BSTR wsFilename, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return doc_->Open(BstrToAnsi(wsFilename)); });
}

HRESULT CTdx880Package_class::Close(VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] {
    doc_->Close();
    return !doc_->IsDocumentOpened();
  });
}

HRESULT CTdx880Package_class::Save(BSTR wsPath, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return doc_->Save(BstrToAnsi(wsPath)); });
}

HRESULT CTdx880Package_class::Encrypt(ITdx880Key* pKey, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] {
    crypt::CTdx880Key key;
    KeyFromAutomation(pKey, &key);
    return doc_->Encrypt(&key);
  });
}

HRESULT CTdx880Package_class::Decrypt(VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return doc_->Decrypt(); });
}

HRESULT CTdx880Package_class::AddFile(BSTR wsDocTypeCode, BSTR wsContentType, BSTR wsFilename,
                                      BSTR wsContent, ITdx880File** pResult) {
  return Guard(pResult, [&] {
    // The container appends the item first: a refused field leaves it in the package.
    auto item = doc_->AddFile(BstrToAnsi(wsDocTypeCode), BstrToAnsi(wsContentType),
                              BstrToAnsi(wsFilename), BytesFromBstr(wsContent));
    ComPtr<ITdx880File> file = CreateFileObject(ProgId(), std::move(item));
    PassSafeMode(SafeMode(), file.Get());
    return file;
  });
}

HRESULT CTdx880Package_class::GetFileCount(LONG* iResult) {
  return UnguardGet(iResult, [&] { return doc_->GetFileCount(); });
}

HRESULT CTdx880Package_class::GetFile(LONG iIndex, ITdx880File** pResult) {
  return Guard(pResult, [&] {
    ComPtr<ITdx880File> file = CreateFileObject(ProgId(), doc_->GetFile(iIndex));
    PassSafeMode(SafeMode(), file.Get());
    return file;
  });
}

HRESULT CTdx880Package_class::IsOpened(VARIANT_BOOL* bResult) {
  return UnguardGet(bResult, [&] { return doc_->IsDocumentOpened(); });
}

HRESULT CTdx880Package_class::SignFile(BSTR wsFilename, ITdx880Key* pKey, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] {
    crypt::CTdx880Key key;
    KeyFromAutomation(pKey, &key);
    return doc_->SignFile(BstrToAnsi(wsFilename), &key);
  });
}

HRESULT CTdx880Package_class::GetFileSignatureCount(LONG iIndex, LONG* iResult) {
  return UnguardGet(iResult, [&] { return doc_->GetFileSignatureCount(iIndex); });
}

HRESULT CTdx880Package_class::GetFileSignature(LONG iFileIndex, LONG iSignIndex,
                                               ITdx880Signature** pResult) {
  return Guard(pResult, [&] {
    ComPtr<ITdx880Signature> signature =
        CreateSignatureObject(ProgId(), doc_->GetFileSignature(iFileIndex, iSignIndex));
    PassSafeMode(SafeMode(), signature.Get());
    return signature;
  });
}

// Resets LastError like a guarded member, but an error leaves it as an unguarded one does.
HRESULT CTdx880Package_class::get_IsEncrypted(VARIANT_BOOL* Value) {
  Safe().ResetError();
  return UnguardGet(Value, [&] { return doc_->IsEncrypted(); });
}

HRESULT CTdx880Package_class::get_SenderType(SIGN_ROLE_TYPES* Value) {
  return UnguardGet(Value, [&] { return ToAutomation(doc_->SenderType()); });
}
HRESULT CTdx880Package_class::get_SenderIdentifier(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->SenderIdentifier(); });
}
HRESULT CTdx880Package_class::put_SenderIdentifier(BSTR Value) {
  return Unguard([&] { doc_->SetSenderIdentifier(BstrToAnsi(Value)); });
}
HRESULT CTdx880Package_class::get_ReceiverType(SIGN_ROLE_TYPES* Value) {
  return UnguardGet(Value, [&] { return ToAutomation(doc_->ReceiverType()); });
}
HRESULT CTdx880Package_class::get_ReceiverIdentifier(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->ReceiverIdentifier(); });
}
HRESULT CTdx880Package_class::put_ReceiverIdentifier(BSTR Value) {
  return Unguard([&] { doc_->SetReceiverIdentifier(BstrToAnsi(Value)); });
}

HRESULT CTdx880Package_class::DeleteFile(LONG iFileIndex, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return doc_->DeleteFile(iFileIndex); });
}

HRESULT CTdx880Package_class::DeleteFileSignatures(LONG iFileIndex, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return doc_->DeleteFileSignatures(iFileIndex); });
}

HRESULT CTdx880Package_class::EncryptByCertificate(BSTR wsCertBody, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return doc_->EncryptByCertificate(BytesFromBstr(wsCertBody)); });
}

HRESULT CTdx880Package_class::get_FlagUsageUserStorage(VARIANT_BOOL* Value) {
  return UnguardGet(Value, [&] { return doc_->FlagUsageUserStorage(); });
}
HRESULT CTdx880Package_class::put_FlagUsageUserStorage(VARIANT_BOOL Value) {
  return Unguard([&] { doc_->SetFlagUsageUserStorage(Value != 0); });
}

HRESULT CTdx880Package_class::get_ThreadType(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->ThreadType(); });
}
HRESULT CTdx880Package_class::get_ThreadTypeCode(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->ThreadTypeCode(); });
}
HRESULT CTdx880Package_class::get_TransactType(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->TransactType(); });
}
HRESULT CTdx880Package_class::get_TransactTypeCode(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->TransactTypeCode(); });
}
HRESULT CTdx880Package_class::get_ThreadCode(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->ThreadCode(); });
}
HRESULT CTdx880Package_class::put_ThreadCode(BSTR Value) {
  return Unguard([&] { doc_->SetThreadCode(BstrToAnsi(Value)); });
}
HRESULT CTdx880Package_class::get_FileName(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->FileName(); });
}
HRESULT CTdx880Package_class::put_FileName(BSTR Value) {
  return Unguard([&] { doc_->SetFileName(BstrToAnsi(Value)); });
}
HRESULT CTdx880Package_class::get_SOSIdentifier(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->SOSIdentifier(); });
}
HRESULT CTdx880Package_class::put_SOSIdentifier(BSTR Value) {
  return Unguard([&] { doc_->SetSOSIdentifier(BstrToAnsi(Value)); });
}

HRESULT CTdx880Package_class::AddSpecDoc(ITdx880SpecDoc* pSpecDoc, ITdx880File** pResult) {
  return Guard(pResult, [&] {
    rtl::CXMLClass& model = WrappedObjectOf<rtl::CXMLClass>(pSpecDoc, "pSpecDoc");
    ComPtr<ITdx880File> file = CreateFileObject(ProgId(), doc_->AddSpecDoc(model));
    PassSafeMode(SafeMode(), file.Get());
    return file;
  });
}

HRESULT CTdx880Package_class::get_PackageDescriptionContent(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->PackageDescriptionContent(); });
}
HRESULT CTdx880Package_class::get_IsLoaded(VARIANT_BOOL* Value) {
  return UnguardGet(Value, [&] { return doc_->IsLoaded(); });
}
HRESULT CTdx880Package_class::get_IsReaded(VARIANT_BOOL* Value) {
  return UnguardGet(Value, [&] { return doc_->IsReaded(); });
}

// No main item: null and no error. The File object starts with SafeMode false.
HRESULT CTdx880Package_class::GetMainFile(ITdx880File** pFile) {
  return Guard(pFile, [&] {
    auto item = doc_->GetMainFile();
    return item == nullptr ? ComPtr<ITdx880File>() : CreateFileObject(ProgId(), std::move(item));
  });
}

HRESULT CTdx880Package_class::get_TmpDir(BSTR* Value) {
  return UnguardGet(Value, [&] { return doc_->TmpDir(); });
}
HRESULT CTdx880Package_class::put_TmpDir(BSTR Value) {
  return Unguard([&] { doc_->SetTmpDir(BstrToAnsi(Value)); });
}

ComPtr<ITdx880Package> CreatePackageObject() {
  return ComPtr<ITdx880Package>(
      static_cast<ITdx880Package*>(CreateByClassFactory(CLSID_Tdx880Package, IID_ITdx880Package)));
}

}  // namespace lyr::automation
