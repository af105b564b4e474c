// A host written only against the public COM headers: registers the server into a sandbox
// registry, creates the Manager by ProgID and drives it through the vtable and through IDispatch.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "server_host.h"
#include "support/expect_error_info.h"

namespace {

using lyr::test::TakeBstr;
using lyr::test::TakeErrorInfo;

class Host : public lyr::automation::host::ServerHost {
 protected:
  void TearDown() override {
    if (manager_ != nullptr) {
      manager_->Release();
    }
    ServerHost::TearDown();
  }

  ITdx880Manager* CreateManager() {
    manager_ = Create<ITdx880Manager>(u"LyrTdxPackage880.Tdx880Manager", IID_ITdx880Manager);
    return manager_;
  }

  ITdx880Manager* manager_ = nullptr;
};

TEST_F(Host, CallsByNameThroughIDispatchGiveTheVtableResults) {
  ITdx880Manager* manager = CreateManager();
  ASSERT_NE(manager, nullptr);
  IDispatch* dispatch = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"tmpdir")};
  DISPID id = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), S_OK);
  EXPECT_EQ(id, 210);
  VARIANT value;
  ::VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = ::SysAllocString(u"Каталог");
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS put{&value, &named, 1, 1};
  EXPECT_EQ(
      dispatch->Invoke(id, IID_NULL, 0x0409, DISPATCH_PROPERTYPUT, &put, nullptr, nullptr, nullptr),
      S_OK);
  ::VariantClear(&value);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT result;
  ::VariantInit(&result);
  EXPECT_EQ(dispatch->Invoke(id, IID_NULL, 0x0409, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                             &result, nullptr, nullptr),
            S_OK);
  ASSERT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(result.bstrVal, ::SysStringLen(result.bstrVal)), u"Каталог");
  ::VariantClear(&result);
  BSTR through_vtable = nullptr;
  ASSERT_EQ(manager->get_TmpDir(&through_vtable), S_OK);
  EXPECT_EQ(TakeBstr(through_vtable), u"Каталог");
  dispatch->Release();
}

TEST_F(Host, FailingMembersReportAsGuardedMembers) {
  ITdx880Manager* manager = CreateManager();
  ASSERT_NE(manager, nullptr);
  ITdx880Package* package = reinterpret_cast<ITdx880Package*>(0x1);
  EXPECT_EQ(manager->CreateErrorPackage(nullptr, nullptr, &package),
            static_cast<HRESULT>(0x8000FFFF));
  EXPECT_EQ(package, nullptr);
  const lyr::test::PublishedError published = TakeErrorInfo();
  EXPECT_TRUE(published.present);
  EXPECT_EQ(published.description, u"Передан пустой аргумент: pPackage");
  EXPECT_EQ(published.source, u"LyrTdxPackage880.Tdx880Manager");

  IDispatch* dispatch = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
  VARIANT text;
  ::VariantInit(&text);
  text.vt = VT_BSTR;
  text.bstrVal = ::SysAllocString(u"письмо");
  DISPPARAMS one{&text, nullptr, 1, 0};
  EXCEPINFO exception{};
  EXPECT_EQ(dispatch->Invoke(206, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, &exception, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, static_cast<HRESULT>(0x8000FFFF));
  EXPECT_EQ(std::u16string(exception.bstrDescription, ::SysStringLen(exception.bstrDescription)),
            u"Неверный формат сообщения: нет заголовков письма");
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrSource);
  ::VariantClear(&text);
  dispatch->Release();

  // In SafeMode the failure stays in LastError.
  ITdx880Safe* safe = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_ITdx880Safe, reinterpret_cast<void**>(&safe)), S_OK);
  ASSERT_EQ(safe->put_SafeMode(VARIANT_TRUE), S_OK);
  BSTR email = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(manager->CreateEmailByPackage(nullptr, nullptr, nullptr, &email), S_OK);
  EXPECT_EQ(email, nullptr);
  ITdx880Error* error = nullptr;
  ASSERT_EQ(safe->get_LastError(&error), S_OK);
  LONG code = 0;
  EXPECT_EQ(error->get_Code(&code), S_OK);
  EXPECT_EQ(code, -1);
  BSTR message = nullptr;
  EXPECT_EQ(error->get_Message(&message), S_OK);
  EXPECT_EQ(TakeBstr(message), u"Передан пустой аргумент: pPackage");
  error->Release();
  safe->Release();
}

TEST_F(Host, TypeInfoListsTheManagersMembers) {
  ITdx880Manager* manager = CreateManager();
  ASSERT_NE(manager, nullptr);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(manager->GetTypeInfo(0, 0x0409, &info), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
  ASSERT_EQ(attr->cFuncs, 12);
  std::u16string listing;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* func = nullptr;
    ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
    BSTR name = nullptr;
    UINT count = 0;
    ASSERT_EQ(info->GetNames(func->memid, &name, 1, &count), S_OK);
    listing += TakeBstr(name) + u" ";
    info->ReleaseFuncDesc(func);
  }
  info->ReleaseTypeAttr(attr);
  info->Release();
  EXPECT_EQ(listing,
            u"CreateSubjectUL CreateSubjectFL CreateSubjectNO CreateSubjectSOS CreateIPPackage "
            u"CreatePackageByEmail CreateEmailByPackage CreateTrDekl CreateErrorPackage TmpDir "
            u"TmpDir CreateErrorPackageEx ");
}

TEST_F(Host, ServerCanUnloadOnlyAfterEveryObjectIsReleased) {
  const auto can_unload = Entry("DllCanUnloadNow");
  EXPECT_EQ(can_unload(), S_OK);
  ITdx880Manager* manager = CreateManager();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(can_unload(), S_FALSE);
  ITdx880Safe* safe = nullptr;
  ASSERT_EQ(manager->QueryInterface(IID_ITdx880Safe, reinterpret_cast<void**>(&safe)), S_OK);
  ITdx880Error* error = nullptr;
  ASSERT_EQ(safe->get_LastError(&error), S_OK);
  safe->Release();
  manager_->Release();
  manager_ = nullptr;
  EXPECT_EQ(can_unload(), S_FALSE);  // the error object is still held
  error->Release();
  EXPECT_EQ(can_unload(), S_OK);
}

TEST_F(Host, ServerLockKeepsTheServerLoaded) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(::CoGetClassObject(CLSID_Tdx880Manager, CLSCTX_ALL, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(Entry("DllCanUnloadNow")(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  void* object = reinterpret_cast<void*>(0x1);
  IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  factory->Release();
}

}  // namespace

namespace {

class CHost : public lyr::test::Sandbox {};

TEST_F(CHost, DrivesTheManagerThroughTheCVtableAndIDispatch) {
  std::string output;
  const int status = lyr::test::RunCommand(
      std::string(LYR_AUTOMATION_C_HOST) + " " + LYR_AUTOMATION_SERVER + " 2>&1", &output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output.find("FAILED"), std::string::npos) << output;
  EXPECT_NE(output.find("ok DllCanUnloadNow after the last release"), std::string::npos) << output;
}

}  // namespace
