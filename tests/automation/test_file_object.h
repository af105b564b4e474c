// A File object made only for the tests of the object frame: its members exercise the guard, the
// unguarded accessors, interface arguments and enumerations through the real frame and dispatcher.
#pragma once

#include <string>

#include "automation/tdx880_safe_auto_intf_object_base.h"
#include "rtl/errors.h"

namespace lyr::automation::test {

inline constexpr char16_t kTestProgId[] = u"LyrTdxPackage880.Tdx880Package";

class CTestKey_class : public CTdx880SafeAutoIntfObjectBase<ITdx880Key> {
 public:
  CTestKey_class() : CTdx880SafeAutoIntfObjectBase<ITdx880Key>(kTestProgId) {}
  HRESULT STDMETHODCALLTYPE get_ContainerName(BSTR* Value) override {
    return UnguardGet(Value, [&] { return container; });
  }
  HRESULT STDMETHODCALLTYPE put_ContainerName(BSTR Value) override {
    return Unguard([&] { container = BstrToAnsi(Value); });
  }
  HRESULT STDMETHODCALLTYPE get_Sha1(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_Sha1(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SubjectCN(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_SubjectCN(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SignRole(SIGN_ROLE_TYPES* Value) override {
    return UnguardGet(Value, [&] { return role; });
  }
  HRESULT STDMETHODCALLTYPE put_SignRole(SIGN_ROLE_TYPES Value) override {
    return Unguard([&] { role = Value; });
  }
  HRESULT STDMETHODCALLTYPE get_CertificateBody(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_CertificateBody(BSTR) override { return E_NOTIMPL; }

  std::string container;
  SIGN_ROLE_TYPES role = SIGN_ROLE_TYPE_ABONENT;
};

class CTestFile_class : public CTdx880SafeAutoIntfObjectBase<ITdx880File> {
 public:
  CTestFile_class() : CTdx880SafeAutoIntfObjectBase<ITdx880File>(kTestProgId) {}

  // Guarded: fails with fail_message (or an OS error with os_code) when set.
  HRESULT STDMETHODCALLTYPE CheckSign(VARIANT_BOOL* bResult) override {
    return Guard(bResult, [&] {
      if (os_code != 0) {
        rtl::RaiseOSError(os_code);
      }
      if (!fail_message.empty()) {
        rtl::Raise(fail_message);
      }
      return true;
    });
  }
  // Guarded, with an interface argument: the key's container name becomes the file name.
  HRESULT STDMETHODCALLTYPE Sign(ITdx880Key* pKey, VARIANT_BOOL* bResult) override {
    return Guard(bResult, [&] {
      if (pKey == nullptr) {
        rtl::Raise(rtl::Msg(u8"Ключ не задан"));
      }
      BSTR name = nullptr;
      pKey->get_ContainerName(&name);
      file_name = BstrToAnsi(name);
      ::SysFreeString(name);
      return true;
    });
  }
  HRESULT STDMETHODCALLTYPE CheckSignEx(VARIANT_BOOL bDownloadContent, VARIANT_BOOL bCheckCRL,
                                        VARIANT_BOOL* bResult) override {
    return Guard(bResult, [&] { return bDownloadContent != 0 && bCheckCRL == 0; });
  }
  // Guarded: records both arguments.
  HRESULT STDMETHODCALLTYPE AddSign(BSTR wsSignatureContent, SIGN_ROLE_TYPES enRole,
                                    VARIANT_BOOL* bResult) override {
    return Guard(bResult, [&] {
      signature = BstrToAnsi(wsSignatureContent);
      role = enRole;
      return true;
    });
  }
  // Unguarded property: the put refuses an empty value.
  HRESULT STDMETHODCALLTYPE get_FileName(BSTR* Value) override {
    return UnguardGet(Value, [&] { return file_name; });
  }
  HRESULT STDMETHODCALLTYPE put_FileName(BSTR Value) override {
    return Unguard([&] {
      const std::string value = BstrToAnsi(Value);
      if (value.empty()) {
        rtl::RaiseFmt(u8"Передан пустой аргумент: %s", std::string("FileName"));
      }
      file_name = value;
    });
  }
  // A getter handing out a child object with this object's SafeMode.
  HRESULT STDMETHODCALLTYPE get_DocType(BSTR* Value) override {
    return UnguardGet(Value, [&] { return signature; });
  }
  HRESULT STDMETHODCALLTYPE get_DocTypeCode(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DocTypeCode(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ContentType(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_ContentType(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_IsCompressed(VARIANT_BOOL* Value) override {
    return UnguardGet(Value, [&] { return compressed; });
  }
  HRESULT STDMETHODCALLTYPE get_IsEncrypted(VARIANT_BOOL*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_DocumentCode(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_DocumentCode(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_OriginalFilename(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_OriginalFilename(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RawContent(BSTR*) override { return E_NOTIMPL; }

  std::string fail_message;
  int32_t os_code = 0;
  std::string file_name;
  std::string signature;
  SIGN_ROLE_TYPES role = SIGN_ROLE_TYPE_UNKNOWN;
  bool compressed = true;
};

}  // namespace lyr::automation::test
