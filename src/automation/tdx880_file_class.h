// The File and Signature objects: the host's views of one item of a package and of one signature
// of an item. Both hold the engine object they show by shared ownership, so it stays a valid
// object for as long as the host keeps the automation object.
#pragma once

#include <memory>
#include <string>

#include "automation/tdx880_safe_auto_intf_object_base.h"

namespace lyr::package {
class CTdx880Document;
class CTdx880Signature;
}  // namespace lyr::package

namespace lyr::automation {

// A File or Signature object whose item or signature left its package (DeleteFile,
// DeleteFileSignatures, Close, New, Open, or the release of the Package object) holds a closed
// engine object: every member that reads or changes it then fails with "Документ не открыт",
// as an unguarded member (E_UNEXPECTED) or a guarded one (LastError, S_OK in SafeMode);
// SafeMode and LastError keep working.

// ITdx880File over one package item. Entry-backed properties are unguarded; signature checks,
// signing and AddSign are guarded. Byte contents travel through BSTR one byte per character.
class CTdx880File_class : public CTdx880SafeAutoIntfObjectBase<ITdx880File> {
 public:
  // prog_id: the creatable class the object belongs to (its errors name it as their source).
  CTdx880File_class(std::u16string prog_id, std::shared_ptr<package::CTdx880Document> item);
  ~CTdx880File_class() override;

  HRESULT STDMETHODCALLTYPE get_DocType(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE get_DocTypeCode(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_DocTypeCode(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_ContentType(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_ContentType(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_IsCompressed(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE get_IsEncrypted(VARIANT_BOOL* Value) override;
  HRESULT STDMETHODCALLTYPE get_DocumentCode(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_DocumentCode(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_OriginalFilename(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_OriginalFilename(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_FileName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE CheckSign(VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE Sign(ITdx880Key* pKey, VARIANT_BOOL* bResult) override;
  HRESULT STDMETHODCALLTYPE get_RawContent(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE CheckSignEx(VARIANT_BOOL bDownloadContent, VARIANT_BOOL bCheckCRL,
                                        VARIANT_BOOL* bResult) override;
  // The role is converted first ("Неизвестная роль: [%d]"), then the item adds the signature.
  HRESULT STDMETHODCALLTYPE AddSign(BSTR wsSignatureContent, SIGN_ROLE_TYPES enRole,
                                    VARIANT_BOOL* bResult) override;

 private:
  // The item while it belongs to a package; "Документ не открыт" once it left it.
  [[nodiscard]] package::CTdx880Document& Item() const;

  std::shared_ptr<package::CTdx880Document> item_;
};

// ITdx880Signature over one signature of an item; every member is unguarded.
class CTdx880Signature_class : public CTdx880SafeAutoIntfObjectBase<ITdx880Signature> {
 public:
  CTdx880Signature_class(std::u16string prog_id,
                         std::shared_ptr<package::CTdx880Signature> signature);
  ~CTdx880Signature_class() override;

  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* Value) override;
  // An empty value fails with "Передан пустой аргумент: signFilename".
  HRESULT STDMETHODCALLTYPE put_FileName(BSTR Value) override;
  // A new Key object of the signer (SafeMode false).
  HRESULT STDMETHODCALLTYPE get_SignKey(ITdx880Key** Value) override;
  HRESULT STDMETHODCALLTYPE get_SignatureContent(BSTR* Value) override;

 private:
  [[nodiscard]] package::CTdx880Signature& Signature() const;

  std::shared_ptr<package::CTdx880Signature> signature_;
};

// Wrap an engine item or signature in a new automation object (SafeMode false) belonging to the
// creatable class prog_id. A missing one fails with "Передан пустой аргумент: pCTdx880Document" or
// "... pCTdx880Signature".
ComPtr<ITdx880File> CreateFileObject(const std::u16string& prog_id,
                                     std::shared_ptr<package::CTdx880Document> item);
ComPtr<ITdx880Signature> CreateSignatureObject(
    const std::u16string& prog_id, std::shared_ptr<package::CTdx880Signature> signature);

}  // namespace lyr::automation
