// CTdx880Key_class: the Key object (ITdx880Key, ITdx880Safe) over its own copy of a key record,
// and the conversions between key records and Key objects that the Crypt, Package, File and
// Signature objects use.
#pragma once

#include <string>
#include <string_view>

#include "automation/com_ptr.h"
#include "automation/object_wrapper.h"
#include "automation/tdx880_safe_auto_intf_object_base.h"
#include "crypt/tdx880_key.h"

namespace lyr::automation {

// Every member is unguarded: a rejected value fails the put with E_UNEXPECTED and the check's
// message whatever SafeMode is, and LastError is not touched. The record is the object's own
// copy, so a Key object stays valid after the object that handed it out is released and does not
// change when the stores change. IObjectWrapper returns the record (a crypt::CTdx880Key).
class CTdx880Key_class : public CTdx880SafeAutoIntfObjectBase<ITdx880Key>,
                         public CObjectWrapperImpl {
 public:
  // prog_id: the creatable class whose member made the key (the source of its errors). The
  // record starts with empty texts and role abonent.
  explicit CTdx880Key_class(std::u16string prog_id)
      : CTdx880SafeAutoIntfObjectBase<ITdx880Key>(std::move(prog_id)) {}

  // Stored as given.
  HRESULT STDMETHODCALLTYPE get_ContainerName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_ContainerName(BSTR Value) override;
  // Non-empty, else "Передан пустой аргумент: sha1".
  HRESULT STDMETHODCALLTYPE get_Sha1(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Sha1(BSTR Value) override;
  // Non-empty, else "Передан пустой аргумент: SubjectCN".
  HRESULT STDMETHODCALLTYPE get_SubjectCN(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_SubjectCN(BSTR Value) override;
  // The record's role code through the role mapping; a value outside 0..4 fails with
  // "Неизвестная роль: [%d]".
  HRESULT STDMETHODCALLTYPE get_SignRole(SIGN_ROLE_TYPES* Value) override;
  HRESULT STDMETHODCALLTYPE put_SignRole(SIGN_ROLE_TYPES Value) override;
  // The certificate's DER bytes as a binary BSTR (BstrFromBytes / BytesFromBstr); non-empty,
  // else "Передан пустой аргумент: CertificateBody".
  HRESULT STDMETHODCALLTYPE get_CertificateBody(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_CertificateBody(BSTR Value) override;

  rtl::CBaseClass* STDMETHODCALLTYPE WrappedObject() override { return &record_; }
  [[nodiscard]] crypt::CTdx880Key& Record() noexcept { return record_; }

 protected:
  void* FindInterface(REFIID iid) noexcept override;
  IDispatch* DefaultDispatch() noexcept override { return DispatchPointer(); }

 private:
  crypt::CTdx880Key record_;
};

// A new Key object (one reference for the caller, SafeMode false) belonging to prog_id, its
// fields set in the order ContainerName, Sha1, SubjectCN, SignRole, CertificateBody with the
// checks of the puts. Fails with "Передан пустой аргумент: pСTdx880Key" (a Cyrillic С after the
// p) for a null record, and with the message of the first put that rejects its value.
ComPtr<ITdx880Key> KeyToAutomation(const crypt::CTdx880Key* record, std::u16string_view prog_id);

// Fills record from the five properties of a Key object read through ITdx880Key (so any object
// implementing it serves): Sha1, SubjectCN, CertificateBody and ContainerName, and SignRole
// through the role mapping. An empty value leaves the record's field as it is (the record's
// setters refuse empty thumbprints, names and bodies). Fails with
// "Передан пустой аргумент: pCTdx880Key" (Latin C) for a null record,
// "Передан пустой аргумент: pKey" for a null key, and with the error information's message
// when a get fails.
void KeyFromAutomation(ITdx880Key* key, crypt::CTdx880Key* record);

}  // namespace lyr::automation
