// Hosts on the public COM headers only: the server registered into a sandbox registry, objects
// driven through the vtable and by name, a host written in C, the entry points and unloading.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "server_host.h"

namespace lyr::automation::host {
namespace {

class Host : public ServerHost {
 protected:
  void SetUp() override {
    ServerHost::SetUp();
    Create(u"LyrTdxPackage880.Tdx880Manager", IID_ITdx880Manager, manager_);
    ASSERT_NE(manager_.get(), nullptr);
  }
  void TearDown() override {
    manager_.Reset();
    ServerHost::TearDown();
  }

  Ref<ITdx880Manager> manager_;
};

// A failure through each conversion a host sees: error information, EXCEPINFO and LastError.
TEST_F(Host, FailingMemberReportsThroughEachConversion) {
  ITdx880Package* package = reinterpret_cast<ITdx880Package*>(0x1);
  EXPECT_EQ(manager_->CreateErrorPackage(nullptr, nullptr, &package), kUnexpected);
  EXPECT_EQ(package, nullptr);
  const test::PublishedError published = test::TakeErrorInfo();
  EXPECT_EQ(published.description, u"Передан пустой аргумент: pPackage");
  EXPECT_EQ(published.source, u"LyrTdxPackage880.Tdx880Manager");

  ExpectException(manager_.get(), u"createpackagebyemail", {Var(u"письмо")},
                  u"Неверный формат сообщения: нет заголовков письма");

  SetSafeMode(manager_.get(), true);
  BSTR email = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(manager_->CreateEmailByPackage(nullptr, nullptr, nullptr, &email), S_OK);
  EXPECT_EQ(email, nullptr);
  EXPECT_EQ(LastErrorOf(manager_.get()), u"-1: Передан пустой аргумент: pPackage");
}

TEST_F(Host, ServerUnloadsOnlyWhenNoObjectOrLockIsLeft) {
  const auto can_unload = Entry("DllCanUnloadNow");
  EXPECT_EQ(can_unload(), S_FALSE);
  Ref<ITdx880Error> error;
  ASSERT_EQ(SafeOf(manager_.get())->get_LastError(error.Out()), S_OK);
  manager_.Reset();
  EXPECT_EQ(can_unload(), S_FALSE);  // the error object is still held
  error.Reset();
  EXPECT_EQ(can_unload(), S_OK);

  Ref<IClassFactory> factory;
  ASSERT_EQ(::CoGetClassObject(CLSID_Tdx880Manager, CLSCTX_ALL, nullptr, IID_IClassFactory,
                               factory.OutVoid()),
            S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(can_unload(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(factory.get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
}

// A registry that cannot be written or read fails the entry points; class objects only of ours.
TEST_F(Host, EntryPointsReportFailures) {
  IClassFactory* factory = nullptr;
  using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
  const auto get = reinterpret_cast<GetClassObject>(::dlsym(server_, "DllGetClassObject"));
  EXPECT_EQ(get(IID_ITdx880Package, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  EXPECT_EQ(get(CLSID_Tdx880Package, IID_IClassFactory, nullptr), E_POINTER);
  const std::string registry = ::getenv("LYRCOM_REGISTRY");
  std::ofstream(Home() / "file") << "x";
  ::setenv("LYRCOM_REGISTRY", (Home() / "file" / "registry").c_str(), 1);
  EXPECT_EQ(Entry("DllRegisterServer")(), E_FAIL);
  EXPECT_EQ(Entry("DllUnregisterServer")(), E_FAIL);
  ::setenv("LYRCOM_REGISTRY", registry.c_str(), 1);
  EXPECT_EQ(Entry("DllUnregisterServer")(), S_OK);
  CLSID clsid{};
  EXPECT_NE(::CLSIDFromProgID(u"LyrTdxPackage880.Tdx880Package", &clsid), S_OK);
}

VARIANT Neutral(const TYPEDESC& type) {
  VARIANT value{};
  value.vt = type.vt == VT_PTR                          ? VARTYPE{VT_DISPATCH}
             : type.vt == VT_BSTR || type.vt == VT_BOOL ? type.vt
                                                        : VARTYPE{VT_I4};
  if (value.vt == VT_BSTR) {
    value.bstrVal = ::SysAllocString(u"");
  }
  return value;  // otherwise false, 0 or no object
}

// Every member of every reachable object, found through its own type information (names and ids
// resolve back to it), called by name with neutral arguments: S_OK or a described exception.
class EveryMember : public ServerHost {
 protected:
  void Walk(IDispatch* object) {
    Ref<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, 0x0409, info.Out()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    const WORD count = attr->cFuncs;
    const bool first_visit =
        visited_.insert(std::string(reinterpret_cast<const char*>(&attr->guid), sizeof(GUID)))
            .second;
    info->ReleaseTypeAttr(attr);
    for (WORD i = 0; first_visit && i < count; ++i) {
      FUNCDESC* desc = nullptr;
      ASSERT_EQ(info->GetFuncDesc(i, &desc), S_OK);
      BSTR names[2] = {};
      UINT count = 0;
      EXPECT_EQ(info->GetNames(desc->memid, names, 2, &count), S_OK);
      EXPECT_EQ(count, desc->invkind == INVOKE_PROPERTYPUT || desc->cParams == 0 ? 1U : 2U);
      std::u16string name = TakeBstr(names[0]);
      ::SysFreeString(names[1]);
      BSTR documented = nullptr;
      EXPECT_EQ(info->GetDocumentation(desc->memid, &documented, nullptr, nullptr, nullptr), S_OK);
      EXPECT_EQ(TakeBstr(documented), name);
      LPOLESTR asked = name.data();
      MEMBERID found = 0;
      EXPECT_EQ(info->GetIDsOfNames(&asked, 1, &found), S_OK);
      EXPECT_EQ(found, desc->memid);
      EXPECT_EQ(DispIdOf(object, name.c_str()), desc->memid) << Shown(name);
      std::vector<Var> args(desc->cParams);
      for (SHORT k = 0; k < desc->cParams; ++k) {
        args[k].v = Neutral(desc->lprgelemdescParam[k].tdesc);
      }
      const WORD flags = desc->invkind == INVOKE_PROPERTYGET   ? DISPATCH_PROPERTYGET
                         : desc->invkind == INVOKE_PROPERTYPUT ? DISPATCH_PROPERTYPUT
                                                               : DISPATCH_METHOD;
      Var result;
      EXCEPINFO exception{};
      const HRESULT hr = Invoke(object, desc->memid, flags, args, &result, &exception);
      info->ReleaseFuncDesc(desc);
      ::SysFreeString(exception.bstrSource);
      if (hr == DISP_E_EXCEPTION) {
        EXPECT_FALSE(TakeBstr(exception.bstrDescription).empty()) << Shown(name);
      } else {
        EXPECT_EQ(hr, S_OK) << Shown(name);
      }
      ++calls_;
      if (result.Object() != nullptr) {
        Walk(result.Object());
      }
    }
  }

  std::set<std::string> visited_;
  int calls_ = 0;
};

TEST_F(EveryMember, AnswersByNameWithSuccessOrADescribedError) {
  ASSERT_EQ(Tool("container new walker --subject CN=Walker --self-signed -o " + Quote(PathOf("k"))),
            0);
  Ref<IDispatch> package, crypt, manager;
  Create(u"LyrTdxPackage880.Tdx880Package", IID_IDispatch, package);
  Create(u"LyrTdxPackage880.Tdx880Crypt", IID_IDispatch, crypt);
  Create(u"LyrTdxPackage880.Tdx880Manager", IID_IDispatch, manager);
  // A package holding a signed document, so that its items and signatures are reached too.
  EXPECT_TRUE(Call(crypt.get(), u"Init").Bool());
  const Var key = Call(crypt.get(), u"GetPrivateKey", {Var(LONG{0})});
  EXPECT_TRUE(Call(package.get(), u"New", {Var(u"01"), Var(u"01")}).Bool());
  const Var file =
      Call(package.get(), u"AddFile", {Var(u"10"), Var(u"xml"), Var(u"a.xml"), Var(u"<a/>")});
  EXPECT_TRUE(Call(package.get(), u"SignFile", {Var(u"a.xml"), Var(key.Object())}).Bool());
  const Var signature = Call(package.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
  for (IDispatch* object : {signature.Object(), file.Object(), key.Object(), package.get(),
                            crypt.get(), manager.get()}) {
    ASSERT_NE(object, nullptr);
    Walk(SafeOf(object).get());
    Walk(object);
  }
  EXPECT_GE(visited_.size(), 13U);
  EXPECT_GE(calls_, 150);
}

using CHost = lyr::test::Sandbox;

TEST_F(CHost, DrivesTheManagerThroughTheCVtableAndIDispatch) {
  std::string output;
  const int status = lyr::test::RunCommand(
      std::string(LYR_AUTOMATION_C_HOST) + " " + LYR_AUTOMATION_SERVER + " 2>&1", &output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("ok DllCanUnloadNow after the last release"), std::string::npos) << output;
}

}  // namespace
}  // namespace lyr::automation::host
