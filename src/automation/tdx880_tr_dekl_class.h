// The special-document objects: CTdx880SpecDoc_class over an XML model, and the declaration
// description CTdx880TrDekl_class. Every member is unguarded.
#pragma once

#include <memory>
#include <string>

#include "automation/object_wrapper.h"
#include "automation/tdx880_safe_auto_intf_object_base.h"
#include "package/xml/xml_gpr_dekl_description.h"

namespace lyr::automation {

// ITdx880SpecDoc (XML get / put) over a model of type Model for the dispatch interface Interface.
// IObjectWrapper returns the model.
template <typename Interface, typename Model>
class CTdx880SpecDoc_class : public CTdx880SafeAutoIntfObjectBase<Interface>,
                             public CObjectWrapperImpl {
 public:
  // The model's XML text.
  HRESULT STDMETHODCALLTYPE get_XML(BSTR* Value) override {
    return this->UnguardGet(Value, [&] { return model_->GetXML(); });
  }
  // Loads the text and reads every field from it; a malformed text fails with the reader's error.
  HRESULT STDMETHODCALLTYPE put_XML(BSTR Value) override {
    return this->Unguard([&] {
      model_->SetXML(BstrToAnsi(Value));
      model_->Read();
    });
  }

  rtl::CBaseClass* STDMETHODCALLTYPE WrappedObject() override { return model_.get(); }

 protected:
  explicit CTdx880SpecDoc_class(std::u16string prog_id)
      : CTdx880SafeAutoIntfObjectBase<Interface>(std::move(prog_id)), model_(CreateModel()) {}

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

class CTdx880TrDekl_class
    : public CTdx880SpecDoc_class<ITdx880TrDekl, xml::CXMLGprDeklDescription> {
 public:
  explicit CTdx880TrDekl_class(std::u16string prog_id) : CTdx880SpecDoc_class(std::move(prog_id)) {}

  HRESULT STDMETHODCALLTYPE get_FormName(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_FormName(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_FormKnd(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_FormKnd(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_DeklKind(DEKL_KIND_TYPES* Value) override;
  HRESULT STDMETHODCALLTYPE put_DeklKind(DEKL_KIND_TYPES Value) override;
  HRESULT STDMETHODCALLTYPE get_Year(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_Year(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_PeriodCode(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_PeriodCode(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_SonoAccount(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_SonoAccount(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE get_SonoSituation(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_SonoSituation(BSTR Value) override;
};

}  // namespace lyr::automation
