// A reference-counted IDispatch object for tests that answers DISPID_VALUE with a fixed value, or
// a plain IUnknown that refuses IDispatch.
#pragma once

#include "lyr/com/com.h"

namespace lyr::test {

class TestObject final : public IDispatch {
 public:
  explicit TestObject(LONG defaultValue = 42, bool dispatch = true)
      : defaultValue_(defaultValue), dispatch_(dispatch) {}

  // References held by others (the test's own reference from construction excluded).
  ULONG References() const { return references_; }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || (dispatch_ && riid == IID_IDispatch)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }  // the test owns the object
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    if (member != DISPID_VALUE || (flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) {
      return DISP_E_MEMBERNOTFOUND;
    }
    result->vt = VT_I4;
    result->lVal = defaultValue_;
    return S_OK;
  }

 private:
  ULONG references_ = 1;
  LONG defaultValue_;
  bool dispatch_;
};

}  // namespace lyr::test
