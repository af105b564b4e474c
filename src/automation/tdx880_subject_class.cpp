// The members of the subject objects of each kind.
#include "automation/tdx880_subject_class.h"

namespace lyr::automation {

HRESULT CTdx880SubjectUL_class::get_Name(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->Name(); });
}
HRESULT CTdx880SubjectUL_class::put_Name(BSTR Value) {
  return Unguard([&] { model_->SetName(BstrToAnsi(Value)); });
}
HRESULT CTdx880SubjectUL_class::get_Inn(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->Inn(); });
}
HRESULT CTdx880SubjectUL_class::put_Inn(BSTR Value) {
  return Unguard([&] { model_->SetInn(BstrToAnsi(Value)); });
}
HRESULT CTdx880SubjectUL_class::get_Kpp(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->Kpp(); });
}
HRESULT CTdx880SubjectUL_class::put_Kpp(BSTR Value) {
  return Unguard([&] { model_->SetKpp(BstrToAnsi(Value)); });
}

HRESULT CTdx880SubjectFL_class::get_LName(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->LName(); });
}
HRESULT CTdx880SubjectFL_class::put_LName(BSTR Value) {
  return Unguard([&] { model_->SetLName(BstrToAnsi(Value)); });
}
HRESULT CTdx880SubjectFL_class::get_FName(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->FName(); });
}
HRESULT CTdx880SubjectFL_class::put_FName(BSTR Value) {
  return Unguard([&] { model_->SetFName(BstrToAnsi(Value)); });
}
HRESULT CTdx880SubjectFL_class::get_MName(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->MName(); });
}
HRESULT CTdx880SubjectFL_class::put_MName(BSTR Value) {
  return Unguard([&] { model_->SetMName(BstrToAnsi(Value)); });
}
HRESULT CTdx880SubjectFL_class::get_Inn(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->Inn(); });
}
HRESULT CTdx880SubjectFL_class::put_Inn(BSTR Value) {
  return Unguard([&] { model_->SetInn(BstrToAnsi(Value)); });
}
HRESULT CTdx880SubjectFL_class::get_FIO(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->FIO(); });
}
HRESULT CTdx880SubjectFL_class::put_FIO(BSTR Value) {
  return Unguard([&] { model_->SetFIO(BstrToAnsi(Value)); });
}

HRESULT CTdx880SubjectSOS_class::get_Name(BSTR* Value) {
  return UnguardGet(Value, [&] { return model_->Name(); });
}
HRESULT CTdx880SubjectSOS_class::put_Name(BSTR Value) {
  return Unguard([&] { model_->SetName(BstrToAnsi(Value)); });
}

}  // namespace lyr::automation
