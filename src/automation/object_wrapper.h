// IObjectWrapper: the internal interface through which an automation object argument reaches the
// engine object behind it (a package container, a subject model, an XML model).
#pragma once

#include <typeinfo>

#include "automation/com_ptr.h"
#include "lyr/com/com.h"
#include "rtl/base_class.h"
#include "rtl/errors.h"

namespace lyr::automation {

// {A8EE0E98-48C7-421E-8FB5-0A8C30736479}; not in the type library: only this library's objects
// implement it.
inline constexpr IID IID_IObjectWrapper = {
    0xA8EE0E98, 0x48C7, 0x421E, {0x8F, 0xB5, 0x0A, 0x8C, 0x30, 0x73, 0x64, 0x79}};

struct IObjectWrapper : public IDispatch {
  // The wrapped engine object; it stays owned by the wrapper.
  virtual rtl::CBaseClass* STDMETHODCALLTYPE WrappedObject() = 0;
};

// The IObjectWrapper of an object whose late binding is its dispatch interface's: the IDispatch
// slots of this branch forward to DefaultDispatch().
class CObjectWrapperImpl : public IObjectWrapper {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return DefaultDispatch()->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** type_info) override {
    return DefaultDispatch()->GetTypeInfo(index, lcid, type_info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override {
    return DefaultDispatch()->GetIDsOfNames(riid, names, count, lcid, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argument_error) override {
    return DefaultDispatch()->Invoke(dispid, riid, lcid, flags, params, result, exception,
                                     argument_error);
  }

 protected:
  virtual IDispatch* DefaultDispatch() noexcept = 0;
};

// The engine object of type T behind an automation object argument. An object that does not
// implement IObjectWrapper (one not made by this library), or wraps something else, fails with
// the interface-cast error; a null argument fails with "Передан пустой аргумент: %s".
template <typename T>
T& WrappedObjectOf(IUnknown* argument, std::string_view name) {
  if (argument == nullptr) {
    rtl::RaiseFmt(u8"Передан пустой аргумент: %s", std::string(name));
  }
  ComPtr<IObjectWrapper> wrapper;
  if (FAILED(argument->QueryInterface(IID_IObjectWrapper, wrapper.ReceiveVoid()))) {
    rtl::Raise("Interface not supported");
  }
  auto* object = dynamic_cast<T*>(wrapper->WrappedObject());
  if (object == nullptr) {
    rtl::Raise("Invalid class typecast");
  }
  return *object;
}

}  // namespace lyr::automation
