// The declaration-description object's members over CXMLGprDeklDescription (whose setters check).
#include "automation/tdx880_tr_dekl_class.h"

namespace lyr::automation {

using Description = xml::CXMLGprDeklDescription;

HRESULT CTdx880TrDekl_class::get_FormName(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->FormName(); });
}
HRESULT CTdx880TrDekl_class::put_FormName(BSTR Value) {
  return Unguard([&] { model_->SetFormName(BstrToAnsi(Value)); });
}
HRESULT CTdx880TrDekl_class::get_FormKnd(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->FormKnd(); });
}
HRESULT CTdx880TrDekl_class::put_FormKnd(BSTR Value) {
  return Unguard([&] { model_->SetFormKnd(BstrToAnsi(Value)); });
}

// Internal 1 is primary, 2 corrective; anything else reads as none.
HRESULT CTdx880TrDekl_class::get_DeklKind(DEKL_KIND_TYPES* Value) {
  return UnguardGet(Value, [&] {
    switch (model_->DeklKind()) {
      case Description::kKindPrimary:
        return DEKL_KIND_TYPE_PRIMARY;
      case Description::kKindCorrection:
        return DEKL_KIND_TYPE_CORRECTION;
      default:
        return DEKL_KIND_TYPE_NONE;
    }
  });
}

// Any value but primary and corrective stores none, without an error.
HRESULT CTdx880TrDekl_class::put_DeklKind(DEKL_KIND_TYPES Value) {
  return Unguard([&] {
    switch (Value) {
      case DEKL_KIND_TYPE_PRIMARY:
        model_->SetDeklKind(Description::kKindPrimary);
        break;
      case DEKL_KIND_TYPE_CORRECTION:
        model_->SetDeklKind(Description::kKindCorrection);
        break;
      default:
        model_->SetDeklKind(Description::kKindNone);
        break;
    }
  });
}

HRESULT CTdx880TrDekl_class::get_Year(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->Year(); });
}
HRESULT CTdx880TrDekl_class::put_Year(BSTR Value) {
  return Unguard([&] { model_->SetYear(BstrToAnsi(Value)); });
}
HRESULT CTdx880TrDekl_class::get_PeriodCode(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->PeriodCode(); });
}
HRESULT CTdx880TrDekl_class::put_PeriodCode(BSTR Value) {
  return Unguard([&] { model_->SetPeriodCode(BstrToAnsi(Value)); });
}
HRESULT CTdx880TrDekl_class::get_SonoAccount(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->SonoAccount(); });
}
HRESULT CTdx880TrDekl_class::put_SonoAccount(BSTR Value) {
  return Unguard([&] { model_->SetSonoAccount(BstrToAnsi(Value)); });
}
HRESULT CTdx880TrDekl_class::get_SonoSituation(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->SonoSituation(); });
}
HRESULT CTdx880TrDekl_class::put_SonoSituation(BSTR Value) {
  return Unguard([&] { model_->SetSonoSituation(BstrToAnsi(Value)); });
}

}  // namespace lyr::automation
