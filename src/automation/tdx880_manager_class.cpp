// The Manager object's members. The members that derive packages from packages and e-mail are
// not built yet: they fail as guarded members with the message naming them.
#include "automation/tdx880_manager_class.h"

#include "automation/tdx880_subject_class.h"
#include "automation/tdx880_tr_dekl_class.h"

namespace lyr::automation {
// A new object of a class the Manager hands out, belonging to the Manager's ProgID, as its
// dispatch interface (one reference for the caller). It starts with SafeMode false.
template <typename Class>
ComPtr<typename Class::DispatchInterface> CTdx880Manager_class::NewObject() {
  auto object = MakeObject<Class>(ProgId());
  return ComPtr<typename Class::DispatchInterface>(object.Detach()->DispatchPointer());
}

void CTdx880Manager_class::Initialize() {
  CTdx880SafeAutoObject<ITdx880Manager>::Initialize();
  manager_ = std::make_unique<CTdx880Manager>();
}

HRESULT CTdx880Manager_class::CreateSubjectUL(ITdx880SubjectUL** pResult) {
  return UnguardGet(pResult, [&] { return NewObject<CTdx880SubjectUL_class>(); });
}

HRESULT CTdx880Manager_class::CreateSubjectFL(ITdx880SubjectFL** pResult) {
  return UnguardGet(pResult, [&] { return NewObject<CTdx880SubjectFL_class>(); });
}

HRESULT CTdx880Manager_class::CreateSubjectNO(ITdx880SubjectNO** pResult) {
  return UnguardGet(pResult, [&] { return NewObject<CTdx880SubjectNO_class>(); });
}

HRESULT CTdx880Manager_class::CreateSubjectSOS(ITdx880SubjectSOS** pResult) {
  return UnguardGet(pResult, [&] { return NewObject<CTdx880SubjectSOS_class>(); });
}

HRESULT CTdx880Manager_class::CreateIPPackage(ITdx880Package*, ITdx880Subject*, ITdx880Subject*,
                                              ITdx880Subject*, ITdx880Package** pResult) {
  return Guard(pResult,
               [&]() -> ComPtr<ITdx880Package> { RaiseNotImplemented("CreateIPPackage"); });
}

HRESULT CTdx880Manager_class::CreatePackageByEmail(BSTR, ITdx880Package** pResult) {
  return Guard(pResult,
               [&]() -> ComPtr<ITdx880Package> { RaiseNotImplemented("CreatePackageByEmail"); });
}

HRESULT CTdx880Manager_class::CreateEmailByPackage(ITdx880Package*, BSTR, BSTR, BSTR* wsResult) {
  return Guard(wsResult, [&]() -> std::string { RaiseNotImplemented("CreateEmailByPackage"); });
}

HRESULT CTdx880Manager_class::CreateTrDekl(ITdx880TrDekl** pResult) {
  return UnguardGet(pResult, [&] {
    ComPtr<ITdx880TrDekl> declaration = NewObject<CTdx880TrDekl_class>();
    PassSafeMode(SafeMode(), declaration.Get());
    return declaration;
  });
}

HRESULT CTdx880Manager_class::CreateErrorPackage(ITdx880Package*, BSTR, ITdx880Package** pResult) {
  return Guard(pResult,
               [&]() -> ComPtr<ITdx880Package> { RaiseNotImplemented("CreateErrorPackage"); });
}

HRESULT CTdx880Manager_class::get_TmpDir(BSTR* Value) {
  return UnguardGet(Value, [&] { return manager_->TmpDir; });
}

HRESULT CTdx880Manager_class::put_TmpDir(BSTR Value) {
  return Unguard([&] { manager_->TmpDir = BstrToAnsi(Value); });
}

HRESULT CTdx880Manager_class::CreateErrorPackageEx(ITdx880Package*, BSTR, SIGN_ROLE_TYPES, BSTR,
                                                   SIGN_ROLE_TYPES, BSTR,
                                                   ITdx880Package** pResult) {
  return Guard(pResult,
               [&]() -> ComPtr<ITdx880Package> { RaiseNotImplemented("CreateErrorPackageEx"); });
}

}  // namespace lyr::automation
