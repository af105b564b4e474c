// A small reference-counted IDispatch object for tests: counts its references and answers
// DISPID_VALUE with a fixed default value.
#pragma once

#include "lyr/com/com.h"

namespace lyr::test {

class TestObject final : public IDispatch {
 public:
  explicit TestObject(LONG defaultValue = 42) : defaultValue_(defaultValue) {}

  // References held by others (the test's own reference from construction excluded).
  ULONG References() const { return references_; }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }  // the test owns the object
  HRESULT GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
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
};

// An IUnknown that is not an IDispatch.
class PlainUnknown final : public IUnknown {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }
  ULONG References() const { return references_; }

 private:
  ULONG references_ = 1;
};

}  // namespace lyr::test
