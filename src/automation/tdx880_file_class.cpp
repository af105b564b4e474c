// The File and Signature objects' members over the engine's shared item and signature.
#include "automation/tdx880_file_class.h"

#include <utility>

#include "automation/tdx880_key_class.h"
#include "crypt/tdx880_key.h"
#include "package/tdx880_document.h"
#include "package/tdx880_signature.h"
#include "package/tdx880_tool.h"
#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::automation {
namespace {

[[noreturn]] void RaiseClosed() {
  rtl::Raise(rtl::Msg(u8"Документ не открыт"));
}

}  // namespace

CTdx880File_class::CTdx880File_class(std::u16string prog_id,
                                     std::shared_ptr<package::CTdx880Document> item)
    : CTdx880SafeAutoIntfObjectBase<ITdx880File>(std::move(prog_id)), item_(std::move(item)) {}

CTdx880File_class::~CTdx880File_class() = default;

package::CTdx880Document& CTdx880File_class::Item() const {
  if (!item_->IsDocumentOpened()) {
    RaiseClosed();
  }
  return *item_;
}

HRESULT CTdx880File_class::get_DocType(BSTR* Value) {
  return UnguardGet(Value, [&] { return Item().DocType(); });
}
HRESULT CTdx880File_class::get_DocTypeCode(BSTR* Value) {
  return UnguardGet(Value, [&] { return Item().DocTypeCode(); });
}
HRESULT CTdx880File_class::put_DocTypeCode(BSTR Value) {
  return Unguard([&] { Item().SetDocTypeCode(BstrToAnsi(Value)); });
}
HRESULT CTdx880File_class::get_ContentType(BSTR* Value) {
  return UnguardGet(Value, [&] { return Item().ContentType(); });
}
HRESULT CTdx880File_class::put_ContentType(BSTR Value) {
  return Unguard([&] { Item().SetContentType(BstrToAnsi(Value)); });
}
HRESULT CTdx880File_class::get_IsCompressed(VARIANT_BOOL* Value) {
  return UnguardGet(Value, [&] { return Item().IsCompressed(); });
}
HRESULT CTdx880File_class::get_IsEncrypted(VARIANT_BOOL* Value) {
  return UnguardGet(Value, [&] { return Item().IsEncrypted(); });
}
HRESULT CTdx880File_class::get_DocumentCode(BSTR* Value) {
  return UnguardGet(Value, [&] { return Item().DocumentCode(); });
}
HRESULT CTdx880File_class::put_DocumentCode(BSTR Value) {
  return Unguard([&] { Item().SetDocumentCode(BstrToAnsi(Value)); });
}
HRESULT CTdx880File_class::get_OriginalFilename(BSTR* Value) {
  return UnguardGet(Value, [&] { return Item().OriginalFilename(); });
}
HRESULT CTdx880File_class::put_OriginalFilename(BSTR Value) {
  return Unguard([&] { Item().SetOriginalFilename(BstrToAnsi(Value)); });
}
HRESULT CTdx880File_class::get_FileName(BSTR* Value) {
  return UnguardGet(Value, [&] { return Item().FileName(); });
}
HRESULT CTdx880File_class::put_FileName(BSTR Value) {
  return Unguard([&] { Item().SetFileName(BstrToAnsi(Value)); });
}

HRESULT CTdx880File_class::CheckSign(VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return Item().CheckSign(); });
}

HRESULT CTdx880File_class::Sign(ITdx880Key* pKey, VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] {
    crypt::CTdx880Key key;
    KeyFromAutomation(pKey, &key);
    return Item().Sign(&key);
  });
}

HRESULT CTdx880File_class::get_RawContent(BSTR* Value) {
  return UnguardGet(Value, [&] { return BstrFromBytes(Item().RawContent()); });
}

HRESULT CTdx880File_class::CheckSignEx(VARIANT_BOOL bDownloadContent, VARIANT_BOOL bCheckCRL,
                                       VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] { return Item().CheckSignEx(bDownloadContent != 0, bCheckCRL != 0); });
}

HRESULT CTdx880File_class::AddSign(BSTR wsSignatureContent, SIGN_ROLE_TYPES enRole,
                                   VARIANT_BOOL* bResult) {
  return Guard(bResult, [&] {
    const package::SubjectCode role = package::CTdx880Tool::RoleFromAutomation(enRole);
    return Item().AddSign(BytesFromBstr(wsSignatureContent), role);
  });
}

CTdx880Signature_class::CTdx880Signature_class(std::u16string prog_id,
                                               std::shared_ptr<package::CTdx880Signature> signature)
    : CTdx880SafeAutoIntfObjectBase<ITdx880Signature>(std::move(prog_id)),
      signature_(std::move(signature)) {}

CTdx880Signature_class::~CTdx880Signature_class() = default;

package::CTdx880Signature& CTdx880Signature_class::Signature() const {
  if (!signature_->IsDocumentOpened()) {
    RaiseClosed();
  }
  return *signature_;
}

HRESULT CTdx880Signature_class::get_FileName(BSTR* Value) {
  return UnguardGet(Value, [&] { return Signature().FileName(); });
}

HRESULT CTdx880Signature_class::put_FileName(BSTR Value) {
  return Unguard([&] {
    std::string value = BstrToAnsi(Value);
    if (value.empty()) {
      rtl::RaiseFmt(u8"Передан пустой аргумент: %s", std::string("signFilename"));
    }
    Signature().SetFileName(std::move(value));
  });
}

HRESULT CTdx880Signature_class::get_SignKey(ITdx880Key** Value) {
  return UnguardGet(Value, [&] { return KeyToAutomation(&Signature().Key(), ProgId()); });
}

HRESULT CTdx880Signature_class::get_SignatureContent(BSTR* Value) {
  return UnguardGet(Value, [&] { return BstrFromBytes(Signature().SignatureContent()); });
}

ComPtr<ITdx880File> CreateFileObject(const std::u16string& prog_id,
                                     std::shared_ptr<package::CTdx880Document> item) {
  if (item == nullptr) {
    rtl::RaiseFmt(u8"Передан пустой аргумент: %s", std::string("pCTdx880Document"));
  }
  auto object = MakeObject<CTdx880File_class>(prog_id, std::move(item));
  return ComPtr<ITdx880File>(object.Detach()->DispatchPointer());
}

ComPtr<ITdx880Signature> CreateSignatureObject(
    const std::u16string& prog_id, std::shared_ptr<package::CTdx880Signature> signature) {
  if (signature == nullptr) {
    rtl::RaiseFmt(u8"Передан пустой аргумент: %s", std::string("pCTdx880Signature"));
  }
  auto object = MakeObject<CTdx880Signature_class>(prog_id, std::move(signature));
  return ComPtr<ITdx880Signature>(object.Detach()->DispatchPointer());
}

}  // namespace lyr::automation
