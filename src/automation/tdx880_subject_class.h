// The subject objects: automation wrappers over the subject models. Every member is unguarded: a
// rejected value fails the put with E_UNEXPECTED and the check's message, whatever SafeMode is.
#pragma once

#include <memory>
#include <string>

#include "automation/object_wrapper.h"
#include "automation/tdx880_safe_auto_intf_object_base.h"
#include "automation/tdx880_subject.h"

namespace lyr::automation {

// ITdx880Subject over a model of type Model, for the dispatch interface Interface (which derives
// from ITdx880Subject). IObjectWrapper returns the model.
template <typename Interface, typename Model>
class CTdx880Subject_class : public CTdx880SafeAutoIntfObjectBase<Interface>,
                             public CObjectWrapperImpl {
 public:
  HRESULT STDMETHODCALLTYPE get_Indentifier(BSTR* Value) override {
    return this->UnguardGet(Value, [&] { return model_->Identifier(); });
  }
  HRESULT STDMETHODCALLTYPE put_Indentifier(BSTR Value) override {
    return this->Unguard([&] { model_->SetIdentifier(BstrToAnsi(Value)); });
  }
  HRESULT STDMETHODCALLTYPE get_Email(BSTR* Value) override {
    return this->UnguardGet(Value, [&] { return model_->Email(); });
  }
  HRESULT STDMETHODCALLTYPE put_Email(BSTR Value) override {
    return this->Unguard([&] { model_->SetEmail(BstrToAnsi(Value)); });
  }

  rtl::CBaseClass* STDMETHODCALLTYPE WrappedObject() override { return model_.get(); }
  [[nodiscard]] Model& Subject() noexcept { return *model_; }

 protected:
  // prog_id: the creatable class that made the subject (the source of its errors).
  explicit CTdx880Subject_class(std::u16string prog_id)
      : CTdx880SafeAutoIntfObjectBase<Interface>(std::move(prog_id)), model_(CreateModel()) {}

  // The class-level operation that makes the model.
  static std::unique_ptr<Model> CreateModel() { return std::make_unique<Model>(); }

  void* FindInterface(REFIID iid) noexcept override {
    if (iid == IID_IObjectWrapper) {
      return static_cast<IObjectWrapper*>(this);
    }
    return CTdx880SafeAutoIntfObjectBase<Interface>::FindInterface(iid);
  }
  IDispatch* DefaultDispatch() noexcept override { return this->DispatchPointer(); }

  std::unique_ptr<Model> model_;
};

class CTdx880SubjectUL_class : public CTdx880Subject_class<ITdx880SubjectUL, CTdx880SubjectUL> {
 public:
  explicit CTdx880SubjectUL_class(std::u16string prog_id)
      : CTdx880Subject_class(std::move(prog_id)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Name(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_Inn(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Inn(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_Kpp(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Kpp(BSTR Value) override;
};

class CTdx880SubjectFL_class : public CTdx880Subject_class<ITdx880SubjectFL, CTdx880SubjectFL> {
 public:
  explicit CTdx880SubjectFL_class(std::u16string prog_id)
      : CTdx880Subject_class(std::move(prog_id)) {}
  HRESULT STDMETHODCALLTYPE get_LName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_LName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_FName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_FName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_MName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_MName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_Inn(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Inn(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_FIO(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_FIO(BSTR Value) override;
};

class CTdx880SubjectNO_class : public CTdx880Subject_class<ITdx880SubjectNO, CTdx880SubjectNO> {
 public:
  explicit CTdx880SubjectNO_class(std::u16string prog_id)
      : CTdx880Subject_class(std::move(prog_id)) {}
};

class CTdx880SubjectSOS_class : public CTdx880Subject_class<ITdx880SubjectSOS, CTdx880SubjectSOS> {
 public:
  explicit CTdx880SubjectSOS_class(std::u16string prog_id)
      : CTdx880Subject_class(std::move(prog_id)) {}
  HRESULT STDMETHODCALLTYPE get_Name(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Name(BSTR Value) override;
};

}  // namespace lyr::automation
