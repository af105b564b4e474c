// The platform's automation object on this system: reference counting, QueryInterface, IDispatch
// and ITypeInfo bound to the type library table, and ISupportErrorInfo. Every automation class
// derives from CAutomationObject<its dispatch interface>; objects are made as CComObject<Class>.
#pragma once

#include <atomic>
#include <cstddef>
#include <new>
#include <string>
#include <utility>

#include "automation/com_ptr.h"
#include "automation/dispatcher.h"
#include "automation/error_info.h"
#include "automation/server_lock.h"
#include "automation/type_info.h"
#include "lyr/tdx880/LyrTdxPackage880.h"

namespace lyr::automation {

// The type library index and IID of each interface (specialisations generated from the table).
template <typename Interface>
struct InterfaceTraits;
#include "automation/interface_traits.inc"

// True when iid names the interface type_index or one of its library parents.
bool InterfaceInChain(std::size_t type_index, REFIID iid) noexcept;

// Reference count and the server's object count; the IUnknown behind every automation object.
class CObjectRoot {
 public:
  CObjectRoot(const CObjectRoot&) = delete;
  CObjectRoot& operator=(const CObjectRoot&) = delete;
  virtual ~CObjectRoot() { ObjectDestroyed(); }

 protected:
  CObjectRoot() noexcept { ObjectCreated(); }

  HRESULT InternalQueryInterface(REFIID iid, void** object) noexcept {
    if (object == nullptr) {
      return E_POINTER;
    }
    *object = FindInterface(iid);
    if (*object == nullptr) {
      return E_NOINTERFACE;
    }
    InternalAddRef();
    return S_OK;
  }
  ULONG InternalAddRef() noexcept { return ++references_; }
  ULONG InternalRelease() noexcept {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }

  // The interface pointer that answers iid (IUnknown included), not yet counted; null if none.
  virtual void* FindInterface(REFIID iid) noexcept = 0;

 private:
  std::atomic<ULONG> references_{1};  // the creator's reference
};

// The most derived class of every object: one IUnknown implementation for all its interfaces.
template <typename Base>
class CComObject final : public Base {
 public:
  using Base::Base;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return this->InternalQueryInterface(iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return this->InternalAddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return this->InternalRelease(); }
};

// Makes an object with one reference owned by the returned pointer.
template <typename Class, typename... Args>
ComPtr<CComObject<Class>> MakeObject(Args&&... args) {
  return ComPtr<CComObject<Class>>(new CComObject<Class>(std::forward<Args>(args)...));
}

// IDispatch of one dual interface: late binding by name through the type library table.
template <typename Interface>
class CDualInterface : public Interface {
 public:
  static constexpr std::size_t kTypeIndex = InterfaceTraits<Interface>::kTypeIndex;

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) {
      return E_POINTER;
    }
    *count = 1;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** type_info) override {
    if (type_info == nullptr) {
      return E_POINTER;
    }
    *type_info = nullptr;
    if (index != 0) {
      return DISP_E_BADINDEX;
    }
    return CreateTypeInfo(kTypeIndex, type_info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (riid != IID_NULL) {
      return DISP_E_UNKNOWNINTERFACE;
    }
    return DispatchGetIDsOfNames(kTypeIndex, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override {
    IDispatch* self = static_cast<Interface*>(this);
    return DispatchInvoke(kTypeIndex, self, dispid, riid, flags, params, result, exception,
                          argument_error);
  }
};

// Base of every automation class: the object implementing its dispatch interface Interface, with
// error information whose source is the ProgID of the creatable class it belongs to.
template <typename Interface>
class CAutomationObject : public CObjectRoot,
                          public CDualInterface<Interface>,
                          public ISupportErrorInfo {
 public:
  using DispatchInterface = Interface;

  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_ISupportErrorInfo) {
      return S_FALSE;
    }
    return FindInterface(iid) != nullptr ? S_OK : S_FALSE;
  }

  // The ProgID errors of this object name as their source.
  [[nodiscard]] const std::u16string& ProgId() const noexcept { return prog_id_; }
  [[nodiscard]] ErrorSource Source() const noexcept {
    return {prog_id_, &InterfaceTraits<Interface>::Iid()};
  }
  [[nodiscard]] Interface* DispatchPointer() noexcept { return static_cast<Interface*>(this); }

 protected:
  explicit CAutomationObject(std::u16string prog_id) : prog_id_(std::move(prog_id)) {}

  void* FindInterface(REFIID iid) noexcept override {
    if (iid == IID_IUnknown || iid == IID_IDispatch ||
        InterfaceInChain(CDualInterface<Interface>::kTypeIndex, iid)) {
      return static_cast<Interface*>(this);
    }
    if (iid == IID_ISupportErrorInfo) {
      return static_cast<ISupportErrorInfo*>(this);
    }
    return nullptr;
  }

 private:
  std::u16string prog_id_;
};

}  // namespace lyr::automation
