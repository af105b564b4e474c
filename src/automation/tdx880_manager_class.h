// CTdx880Manager_class: the creatable Manager object (ITdx880Manager, ITdx880Safe).
#pragma once

#include <memory>

#include "automation/tdx880_manager.h"
#include "automation/tdx880_safe_auto_object.h"

namespace lyr::automation {

inline constexpr char16_t kManagerProgId[] = u"LyrTdxPackage880.Tdx880Manager";

class CTdx880Manager_class : public CTdx880SafeAutoObject<ITdx880Manager> {
 public:
  CTdx880Manager_class() : CTdx880SafeAutoObject<ITdx880Manager>(kManagerProgId) {}

  // Creates the logic object after the base's companion.
  void Initialize() override;

  HRESULT STDMETHODCALLTYPE CreateSubjectUL(ITdx880SubjectUL** pResult) override;
  HRESULT STDMETHODCALLTYPE CreateSubjectFL(ITdx880SubjectFL** pResult) override;
  HRESULT STDMETHODCALLTYPE CreateSubjectNO(ITdx880SubjectNO** pResult) override;
  HRESULT STDMETHODCALLTYPE CreateSubjectSOS(ITdx880SubjectSOS** pResult) override;
  HRESULT STDMETHODCALLTYPE CreateIPPackage(ITdx880Package* pPackage, ITdx880Subject* pCorroborant,
                                            ITdx880Subject* pSender, ITdx880Subject* pReceiver,
                                            ITdx880Package** pResult) override;
  HRESULT STDMETHODCALLTYPE CreatePackageByEmail(BSTR wsEmailBody,
                                                 ITdx880Package** pResult) override;
  HRESULT STDMETHODCALLTYPE CreateEmailByPackage(ITdx880Package* pPackage, BSTR wsSenderEmail,
                                                 BSTR wsReceiverEmail, BSTR* wsResult) override;
  HRESULT STDMETHODCALLTYPE CreateTrDekl(ITdx880TrDekl** pResult) override;
  HRESULT STDMETHODCALLTYPE CreateErrorPackage(ITdx880Package* pPackage, BSTR wsTrSosh,
                                               ITdx880Package** pResult) override;
  HRESULT STDMETHODCALLTYPE get_TmpDir(BSTR* Value) override;
  HRESULT STDMETHODCALLTYPE put_TmpDir(BSTR Value) override;
  HRESULT STDMETHODCALLTYPE CreateErrorPackageEx(ITdx880Package* pPackage, BSTR wsSenderIdentifier,
                                                 SIGN_ROLE_TYPES enSenderType,
                                                 BSTR wsReceiverIdentifier,
                                                 SIGN_ROLE_TYPES enReceiverType, BSTR wsTrSosh,
                                                 ITdx880Package** pResult) override;

 private:
  template <typename Class>
  ComPtr<typename Class::DispatchInterface> NewObject();

  std::unique_ptr<CTdx880Manager> manager_;
};

}  // namespace lyr::automation
