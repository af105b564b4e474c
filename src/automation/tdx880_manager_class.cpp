// The Manager object's members. The answer packages are built by the package engine; the
// Manager reaches the containers and subject models behind its arguments and hands out the result.
#include "automation/tdx880_manager_class.h"

#include "automation/object_wrapper.h"
#include "automation/tdx880_package_class.h"
#include "automation/tdx880_subject_class.h"
#include "automation/tdx880_subject_party.h"
#include "automation/tdx880_tr_dekl_class.h"
#include "mail/package_mail.h"
#include "package/tdx880_answers.h"
#include "package/tdx880_doc.h"

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

// The new Package object is held by the ComPtr: a failure releases it.
HRESULT CTdx880Manager_class::CreateIPPackage(ITdx880Package* pPackage,
                                              ITdx880Subject* pCorroborant, ITdx880Subject* pSender,
                                              ITdx880Subject* pReceiver, ITdx880Package** pResult) {
  return Guard(pResult, [&] {
    auto& source = WrappedObjectOf<package::CTdx880Doc>(pPackage, "pPackage");
    ComPtr<ITdx880Package> package = CreatePackageObject();
    auto& target = WrappedObjectOf<package::CTdx880Doc>(package.Get(), "pPackage");
    CSubjectParty corroborant(WrappedObjectOf<CTdx880Subject>(pCorroborant, "pCorroborant"));
    CSubjectParty sender(WrappedObjectOf<CTdx880Subject>(pSender, "pSender"));
    CSubjectParty receiver(WrappedObjectOf<CTdx880Subject>(pReceiver, "pReceiver"));
    package::BuildNoticeOfReceipt(source, target, corroborant, sender, receiver);
    PassSafeMode(SafeMode(), package.Get());
    return package;
  });
}

// A new Package object (through the class factory) whose container works in the Manager's TmpDir
// and is filled from the message; it takes the Manager's SafeMode. A failure releases it.
HRESULT CTdx880Manager_class::CreatePackageByEmail(BSTR wsEmailBody, ITdx880Package** pResult) {
  return Guard(pResult, [&] {
    ComPtr<ITdx880Package> package = CreatePackageObject();
    auto& doc = WrappedObjectOf<package::CTdx880Doc>(package.Get(), "pPackage");
    doc.SetTmpDir(manager_->TmpDir);
    mail::CreatePackageByEmail(BstrToAnsi(wsEmailBody), manager_->TmpDir, doc);
    PassSafeMode(SafeMode(), package.Get());
    return package;
  });
}

// The message text for the package; the package is saved into the Manager's TmpDir, read and
// deleted there, so its FileName names the deleted file afterwards.
HRESULT CTdx880Manager_class::CreateEmailByPackage(ITdx880Package* pPackage, BSTR wsSenderEmail,
                                                   BSTR wsReceiverEmail, BSTR* wsResult) {
  return Guard(wsResult, [&] {
    auto& doc = WrappedObjectOf<package::CTdx880Doc>(pPackage, "pPackage");
    return mail::CreateEmailByPackage(doc, manager_->TmpDir, BstrToAnsi(wsSenderEmail),
                                      BstrToAnsi(wsReceiverEmail));
  });
}

HRESULT CTdx880Manager_class::CreateTrDekl(ITdx880TrDekl** pResult) {
  return UnguardGet(pResult, [&] {
    ComPtr<ITdx880TrDekl> declaration = NewObject<CTdx880TrDekl_class>();
    PassSafeMode(SafeMode(), declaration.Get());
    return declaration;
  });
}

HRESULT CTdx880Manager_class::CreateErrorPackage(ITdx880Package* pPackage, BSTR wsTrSosh,
                                                 ITdx880Package** pResult) {
  return Guard(pResult, [&] {
    auto& source = WrappedObjectOf<package::CTdx880Doc>(pPackage, "pPackage");
    ComPtr<ITdx880Package> package = CreatePackageObject();
    auto& target = WrappedObjectOf<package::CTdx880Doc>(package.Get(), "pPackage");
    package::BuildErrorPackage(source, target, BstrToAnsi(wsTrSosh));
    PassSafeMode(SafeMode(), package.Get());
    return package;
  });
}

HRESULT CTdx880Manager_class::get_TmpDir(BSTR* Value) {
  return UnguardGet(Value, [&] { return manager_->TmpDir; });
}

HRESULT CTdx880Manager_class::put_TmpDir(BSTR Value) {
  return Unguard([&] { manager_->TmpDir = BstrToAnsi(Value); });
}

HRESULT CTdx880Manager_class::CreateErrorPackageEx(ITdx880Package* pPackage,
                                                   BSTR wsSenderIdentifier,
                                                   SIGN_ROLE_TYPES enSenderType,
                                                   BSTR wsReceiverIdentifier,
                                                   SIGN_ROLE_TYPES enReceiverType, BSTR wsTrSosh,
                                                   ITdx880Package** pResult) {
  return Guard(pResult, [&] {
    auto& source = WrappedObjectOf<package::CTdx880Doc>(pPackage, "pPackage");
    ComPtr<ITdx880Package> package = CreatePackageObject();
    auto& target = WrappedObjectOf<package::CTdx880Doc>(package.Get(), "pPackage");
    package::BuildErrorPackageEx(source, target, BstrToAnsi(wsSenderIdentifier), enSenderType,
                                 BstrToAnsi(wsReceiverIdentifier), enReceiverType,
                                 BstrToAnsi(wsTrSosh));
    PassSafeMode(SafeMode(), package.Get());
    return package;
  });
}

}  // namespace lyr::automation
