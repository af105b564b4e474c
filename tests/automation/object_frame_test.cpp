// In process: the object frame (SafeMode, LastError, guards, identity, counts), the dispatcher,
// the Package, File and Manager objects, and the subject models.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <type_traits>

#include "automation/class_factory.h"
#include "automation/object_wrapper.h"
#include "automation/server_lock.h"
#include "automation/tdx880_file_class.h"
#include "automation/tdx880_package_class.h"
#include "automation/tdx880_subject.h"
#include "automation/tdx880_subject_class.h"
#include "package/tdx880_doc.h"
#include "package/xml/xml_gpr_member_info.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "server_host.h"
#include "support/expect_raises.h"

namespace lyr::automation::host {
namespace {

namespace fs = std::filesystem;
using rtl::AnsiToUtf16;
using rtl::Msg;
using Participant = xml::CXMLGprMemberInfo;

const std::u16string kUnknownFlow = u"Неизвестный код документооборота [99]";

class Frame : public lyr::test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    ::SetErrorInfo(0, nullptr);
    package_ = CreatePackageObject();  // after the sandbox set TMP
  }
  void TearDown() override {
    ::SetErrorInfo(0, nullptr);
    Sandbox::TearDown();
  }
  [[nodiscard]] IDispatch* Package() const { return package_.Get(); }

  ComPtr<ITdx880Package> package_;
};

// A guarded member in and out of SafeMode, failing with a message or an OS error, or succeeding;
// then an unguarded one.
TEST_F(Frame, GuardedMemberFollowsSafeModeAndRecordsLastError) {
  EXPECT_FALSE(SafeModeOf(Package()));
  EXPECT_EQ(LastErrorOf(Package()), u"0: ");
  const struct {
    bool safe_mode;
    const char* tmp_dir;
    const char16_t* flow;
    HRESULT hr;
    std::u16string last_error;
  } cases[] = {
      {true, "tmp", u"99", S_OK, u"-1: " + kUnknownFlow},
      {true, "tmp", u"01", S_OK, u"0: "},
      {false, "tmp", u"99", kUnexpected, u"-1: " + kUnknownFlow},
      {true, "missing", u"01", S_OK, u"2: " + AnsiToUtf16(rtl::OSErrorMessage(2))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Shown(c.last_error));
    SetSafeMode(Package(), c.safe_mode);
    VARIANT_BOOL done = VARIANT_TRUE;
    ASSERT_EQ(package_->Close(&done), S_OK);
    ASSERT_EQ(package_->put_TmpDir(Text(AnsiToUtf16(PathOf(c.tmp_dir)))), S_OK);
    EXPECT_EQ(package_->New(Text(c.flow), Text(u"01"), &done), c.hr);
    EXPECT_EQ(done, c.last_error == u"0: " ? VARIANT_TRUE : VARIANT_FALSE);
    const test::PublishedError published = test::TakeErrorInfo();
    EXPECT_EQ(published.present, c.hr != S_OK);
    if (published.present) {
      EXPECT_EQ(published.description, kUnknownFlow);
      EXPECT_EQ(published.source, u"LyrTdxPackage880.Tdx880Package");
    }
    EXPECT_EQ(LastErrorOf(Package()), c.last_error);
  }
  // An unguarded member fails even in SafeMode and leaves LastError alone.
  test::ExpectErrorInfo(package_->put_SenderIdentifier(Text(u"7701")), kUnexpected,
                        u"Документ не открыт");
  EXPECT_EQ(LastErrorOf(Package()), cases[3].last_error);
}

TEST_F(Frame, OneIdentityAndEveryLiveObjectCounted) {
  Ref<IUnknown> from_package, from_safe;
  Ref<ITdx880Safe> safe;
  ASSERT_EQ(package_->QueryInterface(IID_IUnknown, from_package.OutVoid()), S_OK);
  ASSERT_EQ(package_->QueryInterface(IID_ITdx880Safe, safe.OutVoid()), S_OK);
  ASSERT_EQ(safe->QueryInterface(IID_IUnknown, from_safe.OutVoid()), S_OK);
  EXPECT_EQ(from_package.get(), from_safe.get());
  void* none = &safe;
  EXPECT_EQ(package_->QueryInterface(IID_ITdx880File, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  from_package.Reset();
  from_safe.Reset();
  const int64_t before = LiveObjectCount();  // the package and its error object
  Ref<ITdx880Error> error;
  ASSERT_EQ(safe->get_LastError(error.Out()), S_OK);
  safe.Reset();
  package_.Reset();
  EXPECT_EQ(LiveObjectCount(), before - 1);  // the host still holds the error object
  error.Reset();
  EXPECT_EQ(LiveObjectCount(), before - 2);
}

std::string WrappingFailureOf(IUnknown* argument) {
  try {
    WrappedObjectOf<package::CTdx880Doc>(argument, "pPackage");
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "no error";
}

TEST_F(Frame, ObjectArgumentsMustWrapTheEngineObjectOfTheirKind) {
  EXPECT_EQ(WrappingFailureOf(Package()), "no error");
  EXPECT_EQ(WrappingFailureOf(nullptr), Msg(u8"Передан пустой аргумент: pPackage"));
  const auto subject = MakeObject<CTdx880SubjectNO_class>(kPackageProgId);
  EXPECT_EQ(WrappingFailureOf(subject->DispatchPointer()), "Invalid class typecast");
  Call(Package(), u"New", {Var(u"01"), Var(u"01")});
  const Var file = Call(Package(), u"AddFile", {Var(u"01"), Var(u"xml"), Var(u"a"), Var(u"<a/>")});
  EXPECT_EQ(WrappingFailureOf(file.Object()), "Interface not supported");
}

TEST_F(Frame, DispatchPassesArgumentsInOrderCoercedOrByReference) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"addfile"), const_cast<LPOLESTR>(u"WSCONTENT"),
                      const_cast<LPOLESTR>(u"wsDocTypeCode")};
  DISPID ids[3] = {};
  ASSERT_EQ(package_->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
  EXPECT_EQ(ids[0], DispIdOf(Package(), u"AddFile"));
  EXPECT_EQ(ids[1], 3);
  EXPECT_EQ(ids[2], 0);
  // Every windows-1251 byte arrives from the host's reversed list, and comes back.
  std::string bytes;
  for (int i = 1; i < 256; ++i) {
    bytes.push_back(static_cast<char>(i));
  }
  Call(Package(), u"New", {Var(u"01"), Var(u"01")});
  Call(Package(), u"AddFile", {Var(u"01"), Var(u"xml"), Var(u"a.xml"), Var(AnsiToUtf16(bytes))});
  // Coerced: a text to a number, a number and a text to VARIANT_BOOL.
  const Var file = Call(Package(), u"GetFile", {Var(u"0")});
  EXPECT_EQ(rtl::Utf16ToAnsi(Call(file.Object(), u"RawContent").Str()), bytes);
  Put(Package(), u"FlagUsageUserStorage", Var(LONG{0}));
  EXPECT_FALSE(Call(Package(), u"FlagUsageUserStorage").Bool());
  Put(Package(), u"FlagUsageUserStorage", u"1");
  EXPECT_TRUE(Call(Package(), u"FlagUsageUserStorage").Bool());
  // By reference.
  BSTR text = ::SysAllocString(u"по ссылке");
  LONG index = 0;
  Var text_ref, index_ref;
  text_ref.v.vt = VT_BSTR | VT_BYREF;
  text_ref.v.pbstrVal = &text;
  index_ref.v.vt = VT_I4 | VT_BYREF;
  index_ref.v.plVal = &index;
  EXPECT_EQ(Invoke(Package(), DispIdOf(Package(), u"TmpDir"), DISPATCH_PROPERTYPUT, {text_ref}),
            S_OK);  // and no VARIANT for a result
  EXPECT_EQ(Call(Package(), u"TmpDir").Str(), u"по ссылке");
  EXPECT_NE(Call(Package(), u"GetFile", {index_ref}).Object(), nullptr);
  ::SysFreeString(text);
}

TEST_F(Frame, DispatchRefusesWrongArgumentsAndMembersAndDescribesFailures) {
  const DISPID new_package = DispIdOf(Package(), u"New");
  UINT argument_error = 9;
  EXPECT_EQ(Invoke(Package(), DispIdOf(Package(), u"GetFile"), DISPATCH_METHOD,
                   {Var(u"not a number")}, nullptr, nullptr, &argument_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argument_error, 0u);
  argument_error = 9;
  EXPECT_EQ(Invoke(Package(), DispIdOf(Package(), u"AddSpecDoc"), DISPATCH_METHOD, {Var(Package())},
                   nullptr, nullptr, &argument_error),
            DISP_E_TYPEMISMATCH);  // an object of another interface
  EXPECT_EQ(argument_error, 0u);
  EXPECT_EQ(Invoke(Package(), new_package, DISPATCH_METHOD, {Var(u"01")}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Invoke(Package(), 999, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(
      Invoke(Package(), DispIdOf(Package(), u"IsEncrypted"), DISPATCH_PROPERTYPUT, {Var(u"x")}),
      DISP_E_MEMBERNOTFOUND);  // a property without a put
  EXPECT_EQ(Invoke(Package(), new_package, DISPATCH_PROPERTYGET, {Var(u"01"), Var(u"01")}),
            DISP_E_MEMBERNOTFOUND);  // a method
  ExpectException(Package(), u"New", {Var(u"99"), Var(u"01")}, kUnknownFlow);
  EXPECT_EQ(test::TakeErrorInfo().source, u"LyrTdxPackage880.Tdx880Package");  // kept
}

// The Package, File and Manager objects: child SafeMode, File objects outliving their item (ASan in
// build-asan), packages through the Manager's TmpDir.
class PackageObject : public Frame {
 protected:
  void SetUp() override {
    Frame::SetUp();
    EXPECT_TRUE(Call(Package(), u"New", {Var(u"01"), Var(u"01")}).Bool());
  }
  ComPtr<ITdx880File> Add(std::u16string_view type, std::u16string_view name = u"a.xml") {
    ComPtr<ITdx880File> file;
    EXPECT_EQ(
        package_->AddFile(Text(type), Text(u"xml"), Text(name), Text(u"<a/>"), file.Receive()),
        S_OK);
    return file;
  }
};

TEST_F(PackageObject, ChildFilesTakeSafeModeExceptTheMainFile) {
  SetSafeMode(package_.Get(), true);
  ASSERT_TRUE(Add(u"02", u"TR_DEKL.xml"));
  ITdx880File* main = nullptr;
  ASSERT_EQ(package_->GetFile(5, &main), S_OK);  // fails: LastError -1
  main = reinterpret_cast<ITdx880File*>(0x1);
  EXPECT_EQ(package_->GetMainFile(&main), S_OK);  // none yet, and LastError reset
  EXPECT_EQ(main, nullptr);
  EXPECT_EQ(LastErrorOf(package_.Get()), u"0: ");
  EXPECT_TRUE(SafeModeOf(Add(u"01", u"declaration.xml").Get()));
  ComPtr<ITdx880File> got, main_file;
  ASSERT_EQ(package_->GetFile(1, got.Receive()), S_OK);
  EXPECT_TRUE(SafeModeOf(got.Get()));
  ASSERT_EQ(package_->GetMainFile(main_file.Receive()), S_OK);
  EXPECT_FALSE(SafeModeOf(main_file.Get()));
  BSTR name = nullptr;
  EXPECT_EQ(main_file->get_OriginalFilename(&name), S_OK);
  EXPECT_EQ(TakeBstr(name), u"declaration.xml");
  lyr::test::ExpectRaises([] { CreateFileObject(kPackageProgId, nullptr); },
                          u8"Передан пустой аргумент: pCTdx880Document");
  lyr::test::ExpectRaises([] { CreateSignatureObject(kPackageProgId, nullptr); },
                          u8"Передан пустой аргумент: pCTdx880Signature");
}

// A File object whose item went (removed, package closed, restarted or released) fails clearly.
TEST_F(PackageObject, OrphanFileFailsEveryItemMemberClearlyAndKeepsItsErrorModel) {
  VARIANT_BOOL done = VARIANT_FALSE;
  const std::function<HRESULT()> removals[] = {
      [&] { return package_->DeleteFile(0, &done); },
      [&] { return package_->Close(&done); },
      [&] { return package_->New(Text(u"01"), Text(u"01"), &done); },
      [&] {
        SetSafeMode(Package(), true);
        return package_->Open(Text(u"missing.zip"), &done);
      },
      [&] {
        package_.Reset();
        return S_OK;
      },
  };
  for (const auto& remove : removals) {
    package_ = CreatePackageObject();
    Call(Package(), u"New", {Var(u"01"), Var(u"01")});
    ComPtr<ITdx880File> file = Add(u"01");
    EXPECT_EQ(remove(), S_OK);
    BSTR text = nullptr;
    test::ExpectErrorInfo(file->get_OriginalFilename(&text), kUnexpected, u"Документ не открыт");
    EXPECT_EQ(file->get_RawContent(&text), kUnexpected);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(file->put_ContentType(Text(u"txt")), kUnexpected);
    SetSafeMode(file.Get(), true);
    done = VARIANT_TRUE;
    EXPECT_EQ(file->CheckSign(&done), S_OK);
    EXPECT_EQ(done, VARIANT_FALSE);
    EXPECT_EQ(LastErrorOf(file.Get()), u"-1: Документ не открыт");
  }
}

// The Manager's e-mail members: through its TmpDir and back as a Package object with its SafeMode.
TEST_F(PackageObject, TravelsByEmailThroughTheManagersTmpDirAndComesBackWithTheSafeMode) {
  ComPtr<ITdx880Manager> manager;
  ASSERT_EQ(ClassFactoryOf(CLSID_Tdx880Manager)
                ->CreateInstance(nullptr, IID_ITdx880Manager, manager.ReceiveVoid()),
            S_OK);
  ASSERT_EQ(package_->put_SenderIdentifier(Text(u"7701000001")), S_OK);
  ASSERT_EQ(package_->put_ReceiverIdentifier(Text(u"7702")), S_OK);
  Add(u"01", u"01");
  Add(u"02", u"02");
  SetSafeMode(manager.Get(), true);
  BSTR email = nullptr;
  ASSERT_EQ(manager->CreateEmailByPackage(package_.Get(), Text(u"a@example.ru"),
                                          Text(u"b@example.ru"), &email),
            S_OK);
  const fs::path saved = Call(package_.Get(), u"FileName").Str();
  EXPECT_EQ(saved.parent_path().parent_path(), fs::path(PathOf("tmp")));
  EXPECT_FALSE(fs::exists(saved));
  ComPtr<ITdx880Package> copy;
  ASSERT_EQ(manager->CreatePackageByEmail(email, copy.Receive()), S_OK);
  ::SysFreeString(email);
  ASSERT_TRUE(copy);
  EXPECT_EQ(Call(copy.Get(), u"FileName").Str(), saved.filename().u16string());
  EXPECT_EQ(Call(copy.Get(), u"GetFileCount").Long(), 2);
  EXPECT_TRUE(SafeModeOf(copy.Get()));
  // Only the two open packages' working folders are left in TMP.
  Call(copy.Get(), u"Close");
  Call(package_.Get(), u"Close");
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

// Objects belong to the thread that made them: a call from another thread runs nothing and says
// so (RPC_E_WRONG_THREAD with error information), and the owner's calls go on.
TEST_F(PackageObject, CallsFromAnotherThreadAreRefusedAndChangeNothing) {
  ComPtr<ITdx880File> file = Add(u"01");
  ASSERT_EQ(package_->put_SenderIdentifier(Text(u"7701000001")), S_OK);
  VARIANT_BOOL done = VARIANT_FALSE;
  LONG count = 0;
  BSTR text = nullptr;
  const std::function<HRESULT()> calls[] = {
      [&] { return package_->New(Text(u"01"), Text(u"01"), &done); },
      [&] { return package_->GetFileCount(&count); },
      [&] { return package_->Save(Text(u"."), &done); },
      [&] { return file->get_OriginalFilename(&text); },
      [&] { return package_->put_SenderIdentifier(Text(u"7701000009")); },
  };
  for (const auto& call : calls) {
    HRESULT hr = S_OK;
    std::thread([&] {
      ::CoInitialize(nullptr);
      test::ExpectErrorInfo(hr = call(), RPC_E_WRONG_THREAD,
                            u"Объект вызван не из того потока, в котором он создан");
      ::CoUninitialize();
    }).join();
    EXPECT_EQ(hr, RPC_E_WRONG_THREAD);
  }
  EXPECT_EQ(package_->GetFileCount(&count), S_OK);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(Call(Package(), u"SenderIdentifier").Str(), u"7701000001");
}

// The subject models: how each kind fills a participant element, and its checks.
TEST(SubjectModel, EachKindFillsItsPartOfTheParticipant) {
  CTdx880SubjectUL ul;
  ul.SetIdentifier("2AE-ORG");
  ul.SetName(Msg(u8"ООО Ромашка"));
  ul.SetInn("7707083893");
  ul.SetKpp("770701001");
  Participant organisation(Msg(u8"ОтпрДок"));
  ul.Fill(organisation);
  EXPECT_EQ(organisation.MemberType(), Participant::kLegalEntity);
  EXPECT_EQ(organisation.Email(), "2AE-ORG");  // the identifier stands for the address
  EXPECT_EQ(organisation.UL().Name() + organisation.UL().Inn() + organisation.UL().Kpp(),
            Msg(u8"ООО Ромашка") + "7707083893770701001");

  CTdx880SubjectFL fl;
  fl.SetIdentifier("person");
  fl.SetEmail("p@example.ru");
  fl.SetFIO(Msg(u8"Иванов Иван Иванович"));
  fl.SetInn("500100732259");
  Participant person(Msg(u8"ПодтвДок"));
  fl.Fill(person);
  EXPECT_EQ(person.MemberType(), Participant::kIndividual);
  EXPECT_EQ(person.Email(), "p@example.ru");
  EXPECT_EQ(person.FL().FIO().LName() + "|" + person.FL().FIO().FName() + "|" +
                person.FL().FIO().MName() + "|" + person.FL().Inn(),
            Msg(u8"Иванов|Иван|Иванович|500100732259"));
  fl.SetFIO(Msg(u8"Петров_Пётр"));
  EXPECT_EQ(fl.FIO(), Msg(u8"Петров Пётр "));

  CTdx880SubjectNO no;
  no.SetIdentifier("7701");
  Participant tax_office(Msg(u8"ПолДок"));
  no.Fill(tax_office);
  EXPECT_EQ(tax_office.MemberType(), Participant::kTaxOffice);
  EXPECT_EQ(tax_office.NO().Code(), "7701");

  CTdx880SubjectSOS sos;
  sos.SetIdentifier("2AE");
  sos.SetName(Msg(u8"Оператор"));
  Participant operator_part(Msg(u8"ПолДок"));
  sos.Fill(operator_part);
  EXPECT_EQ(operator_part.MemberType(), Participant::kSpecialOperator);
  EXPECT_EQ(operator_part.SOS().Name(), Msg(u8"Оператор"));
  EXPECT_EQ(operator_part.SOS().Identifier() + operator_part.Email(), "2AE2AE");
}

TEST(SubjectModel, ValuesAreCheckedWithExactMessages) {
  CTdx880SubjectUL ul;
  ul.SetIdentifier(std::string(46, 'I'));
  const struct {
    std::function<void()> set;
    const char8_t* message;
  } cases[] = {
      {[&] { ul.SetIdentifier(std::string(47, 'I')); },
       u8"Identifier: длина строки должна быть от 1 до 46 символов"},
      {[&] { ul.SetInn("7707083894"); }, u8"Неверный ИНН"},
      {[&] { ul.SetInn("77070838931"); },
       u8"Длина переменной [Inn = \"77070838931\"] должна быть равной [10]"},
      {[&] { ul.SetKpp("77070100"); },
       u8"Длина переменной [Kpp = \"77070100\"] должна быть равной [9]"},
      {[&] { ul.SetName(""); }, u8"Name: длина строки должна быть от 1 до 1000 символов"},
  };
  for (const auto& c : cases) {
    lyr::test::ExpectRaises(c.set, c.message);
  }
  EXPECT_EQ(ul.Identifier(), std::string(46, 'I'));
}

}  // namespace
}  // namespace lyr::automation::host

// Enumerations are 32-bit in C++ too, so any value a host passes (7 for DeklKind) is well defined.
static_assert(std::is_same_v<std::underlying_type_t<DEKL_KIND_TYPES>, int32_t>);
static_assert(std::is_same_v<std::underlying_type_t<SIGN_ROLE_TYPES>, int32_t>);
