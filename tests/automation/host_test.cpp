// A host written only against the public COM headers: registers the server into a sandbox
// registry, creates the Manager by ProgID and drives it and the objects it makes through the
// vtable and through IDispatch, in C++ and from a host written in C.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "server_host.h"

namespace {

using lyr::automation::host::Call;
using lyr::automation::host::Put;
using lyr::automation::host::Ref;
using lyr::automation::host::Text;
using lyr::automation::host::Var;
using lyr::test::ExpectErrorInfo;
using lyr::test::TakeBstr;

constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFF);

class Host : public lyr::automation::host::ServerHost {
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

TEST_F(Host, CallsByNameGiveTheVtableResultsAndTypeInfoListsTheMembers) {
  Put(manager_.get(), u"tmpdir", u"Каталог");
  EXPECT_EQ(Call(manager_.get(), u"TMPDIR").Str(), u"Каталог");
  BSTR through_vtable = nullptr;
  ASSERT_EQ(manager_->get_TmpDir(&through_vtable), S_OK);
  EXPECT_EQ(TakeBstr(through_vtable), u"Каталог");

  Ref<ITypeInfo> info;
  ASSERT_EQ(manager_->GetTypeInfo(0, 0x0409, info.Out()), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
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
  EXPECT_EQ(listing,
            u"CreateSubjectUL CreateSubjectFL CreateSubjectNO CreateSubjectSOS CreateIPPackage "
            u"CreatePackageByEmail CreateEmailByPackage CreateTrDekl CreateErrorPackage TmpDir "
            u"TmpDir CreateErrorPackageEx ");
}

TEST_F(Host, FailingMembersReportAsGuardedMembers) {
  ITdx880Package* package = reinterpret_cast<ITdx880Package*>(0x1);
  EXPECT_EQ(manager_->CreateErrorPackage(nullptr, nullptr, &package), kUnexpected);
  EXPECT_EQ(package, nullptr);
  const lyr::test::PublishedError published = lyr::test::TakeErrorInfo();
  EXPECT_EQ(published.description, u"Передан пустой аргумент: pPackage");
  EXPECT_EQ(published.source, u"LyrTdxPackage880.Tdx880Manager");

  const Var text(u"письмо");
  VARIANT argument = text.v;
  DISPPARAMS one{&argument, nullptr, 1, 0};
  EXCEPINFO exception{};
  EXPECT_EQ(manager_->Invoke(206, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, &exception, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, kUnexpected);
  EXPECT_EQ(TakeBstr(exception.bstrDescription),
            u"Неверный формат сообщения: нет заголовков письма");
  ::SysFreeString(exception.bstrSource);

  // In SafeMode the failure stays in LastError.
  lyr::automation::host::SetSafeMode(manager_.get(), true);
  BSTR email = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(manager_->CreateEmailByPackage(nullptr, nullptr, nullptr, &email), S_OK);
  EXPECT_EQ(email, nullptr);
  EXPECT_EQ(lyr::automation::host::LastErrorOf(manager_.get()),
            u"-1: Передан пустой аргумент: pPackage");
}

TEST_F(Host, ServerUnloadsOnlyWhenNoObjectOrLockIsLeft) {
  const auto can_unload = Entry("DllCanUnloadNow");
  EXPECT_EQ(can_unload(), S_FALSE);
  Ref<ITdx880Error> error;
  {
    Ref<ITdx880Safe> safe;
    ASSERT_EQ(manager_->QueryInterface(IID_ITdx880Safe, safe.OutVoid()), S_OK);
    ASSERT_EQ(safe->get_LastError(error.Out()), S_OK);
  }
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

// Subject and declaration-description objects made by the Manager: every check with its message,
// FIO split and join, and the XML round trip.
class Subjects : public Host {
 protected:
  void SetUp() override {
    Host::SetUp();
    ASSERT_EQ(manager_->CreateSubjectUL(ul_.Out()), S_OK);
    ASSERT_EQ(manager_->CreateSubjectFL(fl_.Out()), S_OK);
    ASSERT_EQ(manager_->CreateTrDekl(dekl_.Out()), S_OK);
  }
  void TearDown() override {
    ul_.Reset();
    fl_.Reset();
    dekl_.Reset();
    Host::TearDown();
  }
  // A string property read through its getter.
  template <typename T>
  static std::u16string Get(T* object, HRESULT (STDMETHODCALLTYPE T::*get)(BSTR*)) {
    BSTR value = nullptr;
    EXPECT_EQ((object->*get)(&value), S_OK);
    return TakeBstr(value);
  }

  Ref<ITdx880SubjectUL> ul_;
  Ref<ITdx880SubjectFL> fl_;
  Ref<ITdx880TrDekl> dekl_;
};

TEST_F(Subjects, PutsCheckTheirValuesWithExactMessages) {
  const struct {
    std::function<HRESULT()> put;
    const char16_t* message;  // nullptr: accepted
  } cases[] = {
      {[&] { return ul_->put_Indentifier(Text(std::u16string(46, u'И')).value); }, nullptr},
      {[&] { return ul_->put_Indentifier(Text(std::u16string(47, u'И')).value); },
       u"Identifier: длина строки должна быть от 1 до 46 символов"},
      {[&] { return ul_->put_Inn(Text(u"7707083894").value); }, u"Неверный ИНН"},
      {[&] { return ul_->put_Inn(Text(u"77070838931").value); },
       u"Длина переменной [Inn = \"77070838931\"] должна быть равной [10]"},
      {[&] { return ul_->put_Inn(Text(u"7707083893").value); }, nullptr},
      {[&] { return ul_->put_Kpp(Text(u"770701001").value); }, nullptr},
      {[&] { return ul_->put_Kpp(Text(u"77070100").value); },
       u"Длина переменной [Kpp = \"77070100\"] должна быть равной [9]"},
      {[&] { return ul_->put_Name(Text(u"").value); },
       u"Name: длина строки должна быть от 1 до 1000 символов"},
      {[&] { return dekl_->put_Year(Text(u"202").value); },
       u"Длина переменной [Year = \"202\"] должна быть равной [4]"},
      {[&] { return dekl_->put_PeriodCode(Text(u"").value); }, nullptr},
      {[&] { return dekl_->put_PeriodCode(Text(u"123").value); },
       u"PeriodCode: длина строки должна быть от 0 до 2 символов"},
      {[&] { return dekl_->put_FormName(Text(u"").value); }, u"Передан пустой аргумент: FormName"},
      {[&] { return dekl_->put_SonoAccount(Text(u"").value); },
       u"Передан пустой аргумент: SonoAccount"},
  };
  for (const auto& c : cases) {
    if (c.message == nullptr) {
      EXPECT_EQ(c.put(), S_OK);
    } else {
      ExpectErrorInfo(c.put(), kUnexpected, c.message);
    }
  }
  EXPECT_EQ(Get(ul_.get(), &ITdx880SubjectUL::get_Inn), u"7707083893");
  // A malformed XML text fails with the reader's error.
  EXPECT_EQ(dekl_->put_XML(Text(u"<описание").value), kUnexpected);
  EXPECT_NE(lyr::test::TakeErrorDescription(), u"(no error information)");
}

TEST_F(Subjects, PersonFioSplitsIntoThreeNamesAndJoinsWithBlanks) {
  ASSERT_EQ(fl_->put_FIO(Text(u"Иванов Иван Иванович").value), S_OK);
  EXPECT_EQ(Get(fl_.get(), &ITdx880SubjectFL::get_LName), u"Иванов");
  EXPECT_EQ(Get(fl_.get(), &ITdx880SubjectFL::get_FName), u"Иван");
  EXPECT_EQ(Get(fl_.get(), &ITdx880SubjectFL::get_MName), u"Иванович");
  ASSERT_EQ(fl_->put_FIO(Text(u"Петров_Пётр").value), S_OK);
  EXPECT_EQ(Get(fl_.get(), &ITdx880SubjectFL::get_MName), u"");
  EXPECT_EQ(Get(fl_.get(), &ITdx880SubjectFL::get_FIO), u"Петров Пётр ");
}

TEST_F(Subjects, DeclarationDescriptionXmlRoundTripReproducesEveryValue) {
  using D = ITdx880TrDekl;
  const struct {
    HRESULT (STDMETHODCALLTYPE D::*put)(BSTR);
    HRESULT (STDMETHODCALLTYPE D::*get)(BSTR*);
    const char16_t* value;
  } fields[] = {{&D::put_FormName, &D::get_FormName, u"Налоговая декларация по НДС"},
                {&D::put_FormKnd, &D::get_FormKnd, u"1151001"},
                {&D::put_Year, &D::get_Year, u"2026"},
                {&D::put_PeriodCode, &D::get_PeriodCode, u"21"},
                {&D::put_SonoAccount, &D::get_SonoAccount, u"7701"},
                {&D::put_SonoSituation, &D::get_SonoSituation, u"7702"}};
  for (const auto& field : fields) {
    ASSERT_EQ((dekl_.get()->*field.put)(Text(field.value).value), S_OK);
  }
  ASSERT_EQ(dekl_->put_DeklKind(DEKL_KIND_TYPE_PRIMARY), S_OK);
  BSTR xml = nullptr;
  ASSERT_EQ(dekl_->get_XML(&xml), S_OK);
  Ref<D> second;
  ASSERT_EQ(manager_->CreateTrDekl(second.Out()), S_OK);
  ASSERT_EQ(second->put_XML(xml), S_OK);
  ::SysFreeString(xml);
  for (const auto& field : fields) {
    EXPECT_EQ(Get(second.get(), field.get), field.value);
  }
  DEKL_KIND_TYPES kind = DEKL_KIND_TYPE_NONE;
  ASSERT_EQ(second->get_DeklKind(&kind), S_OK);
  EXPECT_EQ(kind, DEKL_KIND_TYPE_PRIMARY);
}

using CHost = lyr::test::Sandbox;

TEST_F(CHost, DrivesTheManagerThroughTheCVtableAndIDispatch) {
  std::string output;
  const int status = lyr::test::RunCommand(
      std::string(LYR_AUTOMATION_C_HOST) + " " + LYR_AUTOMATION_SERVER + " 2>&1", &output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(output.find("FAILED"), std::string::npos) << output;
  EXPECT_NE(output.find("ok DllCanUnloadNow after the last release"), std::string::npos) << output;
}

}  // namespace
