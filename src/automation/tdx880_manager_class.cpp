// The Manager object's members. The subject, declaration-description and derived-package members
// come with their objects; until then they answer E_NOTIMPL with error information.
#include "automation/tdx880_manager_class.h"

namespace lyr::automation {
namespace {

template <typename T>
HRESULT ClearResult(T** result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  *result = nullptr;
  return S_OK;
}

}  // namespace

void CTdx880Manager_class::Initialize() {
  CTdx880SafeAutoObject<ITdx880Manager>::Initialize();
  manager_ = std::make_unique<CTdx880Manager>();
}

HRESULT CTdx880Manager_class::CreateSubjectUL(ITdx880SubjectUL** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateSubjectUL");
}

HRESULT CTdx880Manager_class::CreateSubjectFL(ITdx880SubjectFL** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateSubjectFL");
}

HRESULT CTdx880Manager_class::CreateSubjectNO(ITdx880SubjectNO** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateSubjectNO");
}

HRESULT CTdx880Manager_class::CreateSubjectSOS(ITdx880SubjectSOS** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateSubjectSOS");
}

HRESULT CTdx880Manager_class::CreateIPPackage(ITdx880Package*, ITdx880Subject*, ITdx880Subject*,
                                              ITdx880Subject*, ITdx880Package** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateIPPackage");
}

HRESULT CTdx880Manager_class::CreatePackageByEmail(BSTR, ITdx880Package** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreatePackageByEmail");
}

HRESULT CTdx880Manager_class::CreateEmailByPackage(ITdx880Package*, BSTR, BSTR, BSTR* wsResult) {
  if (FAILED(ClearResult(wsResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateEmailByPackage");
}

HRESULT CTdx880Manager_class::CreateTrDekl(ITdx880TrDekl** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateTrDekl");
}

HRESULT CTdx880Manager_class::CreateErrorPackage(ITdx880Package*, BSTR, ITdx880Package** pResult) {
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateErrorPackage");
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
  if (FAILED(ClearResult(pResult))) {
    return E_POINTER;
  }
  return NotImplemented("CreateErrorPackageEx");
}

}  // namespace lyr::automation
