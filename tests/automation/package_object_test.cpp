// The Package, File and Signature objects in-process: the members' edge cases in and out of
// SafeMode, child SafeMode, role conversions, AddSpecDoc, and File and Signature objects that
// outlive their package's hold on the item (run under ASan in build-asan).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "automation/tdx880_file_class.h"
#include "automation/tdx880_package_class.h"
#include "automation/tdx880_subject_class.h"
#include "automation/tdx880_tr_dekl_class.h"
#include "crypt/crypto_api20_chain_builder_strict.h"
#include "package/tdx880_doc.h"
#include "rtl/errors.h"
#include "safe_probe.h"
#include "support/expect_raises.h"
#include "support/pki.h"
#include "support/sandbox.h"

namespace lyr::automation::test {
namespace {

using lyr::test::ExpectRaises;

constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFF);

bool SafeModeOf(IUnknown* object) {
  ComPtr<ITdx880Safe> safe;
  EXPECT_EQ(object->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
  VARIANT_BOOL mode = VARIANT_FALSE;
  EXPECT_EQ(safe->get_SafeMode(&mode), S_OK);
  return mode != VARIANT_FALSE;
}

using PackageObject = PackageObjectTest;

// Guarded failures: SafeMode gives S_OK with the failure value, otherwise E_UNEXPECTED with
// error information; LastError holds -1 and the message either way.
class PackageGuard : public PackageObject, public ::testing::WithParamInterface<bool> {
 protected:
  void ExpectFailure(HRESULT hr, const std::u16string& message) {
    if (GetParam()) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_FALSE(TakeErrorInfo().present);
    } else {
      EXPECT_EQ(hr, kUnexpected);
      EXPECT_EQ(TakeErrorInfo().description, message);
    }
    const ErrorState error = LastErrorOf(package_.Get());
    EXPECT_EQ(error.code, -1);
    EXPECT_EQ(error.message, message);
  }
};

TEST_P(PackageGuard, FailuresGiveTheirMessagesAndTheNextSuccessResetsLastError) {
  SetSafeMode(package_.Get(), GetParam());
  VARIANT_BOOL done = VARIANT_TRUE;
  ExpectFailure(package_->New(Text(u"99"), Text(u"01"), &done),
                u"Неизвестный код документооборота [99]");
  EXPECT_EQ(done, VARIANT_FALSE);
  Start();
  EXPECT_EQ(LastErrorOf(package_.Get()).code, 0);
  EXPECT_EQ(LastErrorOf(package_.Get()).message, u"");
  // AddFile with an unknown type leaves the item in the package.
  ITdx880File* file = reinterpret_cast<ITdx880File*>(0x1);
  ExpectFailure(package_->AddFile(Text(u"77"), Text(u"xml"), Text(u"a.xml"), Text(u"<a/>"), &file),
                u"Неизвестный код документа [77] в документообороте [01][Декларация]");
  EXPECT_EQ(file, nullptr);
  EXPECT_EQ(Count(), 1);
  ExpectFailure(package_->GetFile(1, &file),
                u"Значение параметра FileIndex (1) должно находиться в интервале от 0 до 0");
  EXPECT_EQ(file, nullptr);
  // AddSpecDoc refuses arguments that are not special documents.
  ExpectFailure(package_->AddSpecDoc(nullptr, &file), u"Передан пустой аргумент: pSpecDoc");
  auto subject = MakeObject<CTdx880SubjectNO_class>(kPackageProgId);
  ExpectFailure(
      package_->AddSpecDoc(reinterpret_cast<ITdx880SpecDoc*>(subject->DispatchPointer()), &file),
      u"Invalid class typecast");
  EXPECT_EQ(Count(), 1);
}

INSTANTIATE_TEST_SUITE_P(SafeMode, PackageGuard, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "On" : "Off"; });

TEST_F(PackageObject, ChildFilesTakeSafeModeExceptTheMainFile) {
  SetSafeMode(package_.Get(), true);
  Start();
  // Without a main item: null and LastError reset by the guard.
  ASSERT_TRUE(Add(u"02", u"TR_DEKL.xml"));
  VARIANT_BOOL done = VARIANT_TRUE;
  ASSERT_EQ(package_->New(Text(u"99"), Text(u"01"), &done), S_OK);
  ASSERT_EQ(LastErrorOf(package_.Get()).code, -1);
  Start();
  ASSERT_TRUE(Add(u"02", u"TR_DEKL.xml"));
  ITdx880File* main = reinterpret_cast<ITdx880File*>(0x1);
  EXPECT_EQ(package_->GetMainFile(&main), S_OK);
  EXPECT_EQ(main, nullptr);
  EXPECT_EQ(LastErrorOf(package_.Get()).code, 0);

  const ComPtr<ITdx880File> added = Add(u"01", u"declaration.xml");
  EXPECT_TRUE(SafeModeOf(added.Get()));
  ComPtr<ITdx880File> got;
  ASSERT_EQ(package_->GetFile(1, got.Receive()), S_OK);
  EXPECT_TRUE(SafeModeOf(got.Get()));
  ComPtr<ITdx880File> main_file;
  ASSERT_EQ(package_->GetMainFile(main_file.Receive()), S_OK);
  ASSERT_TRUE(main_file);
  EXPECT_FALSE(SafeModeOf(main_file.Get()));
  BSTR name = nullptr;
  EXPECT_EQ(main_file->get_OriginalFilename(&name), S_OK);
  EXPECT_EQ(TakeBstr(name), u"declaration.xml");
}

TEST_F(PackageObject, UnguardedMembersLeaveLastErrorAndFailEvenInSafeMode) {
  SetSafeMode(package_.Get(), true);
  VARIANT_BOOL done = VARIANT_TRUE;
  ASSERT_EQ(package_->Open(Text(u"missing.zip"), &done), S_OK);
  const ErrorState failed = LastErrorOf(package_.Get());
  ASSERT_EQ(failed.code, -1);
  EXPECT_EQ(package_->put_SenderIdentifier(Text(u"7701")), kUnexpected);
  EXPECT_EQ(TakeErrorInfo().description, u"Документ не открыт");
  LONG count = 7;
  EXPECT_EQ(package_->GetFileSignatureCount(0, &count), kUnexpected);
  EXPECT_EQ(LastErrorOf(package_.Get()).message, failed.message);
  // IsEncrypted resets LastError, and a closed package is not encrypted.
  EXPECT_EQ(package_->get_IsEncrypted(&done), S_OK);
  EXPECT_EQ(done, VARIANT_FALSE);
  EXPECT_EQ(LastErrorOf(package_.Get()).code, 0);
}

struct AddSignCase {
  std::string name;
  SIGN_ROLE_TYPES role;
  std::u16string content;
  std::u16string message;
};

class FileAddSign : public PackageObject, public ::testing::WithParamInterface<AddSignCase> {};

// The role is checked before the content.
TEST_P(FileAddSign, RefusesAndAddsNothing) {
  Start();
  const ComPtr<ITdx880File> file = Add(u"01");
  SetSafeMode(file.Get(), true);
  VARIANT_BOOL done = VARIANT_TRUE;
  EXPECT_EQ(file->AddSign(Text(GetParam().content), GetParam().role, &done), S_OK);
  EXPECT_EQ(done, VARIANT_FALSE);
  EXPECT_EQ(LastErrorOf(file.Get()).message, GetParam().message);
  LONG count = -1;
  EXPECT_EQ(package_->GetFileSignatureCount(0, &count), S_OK);
  EXPECT_EQ(count, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileAddSign,
    ::testing::Values(AddSignCase{"RoleFive", static_cast<SIGN_ROLE_TYPES>(5), u"",
                                  u"Неизвестная роль: [5]"},
                      AddSignCase{"NegativeRole", static_cast<SIGN_ROLE_TYPES>(-1), u"x",
                                  u"Неизвестная роль: [-1]"},
                      AddSignCase{"EmptyContent", SIGN_ROLE_TYPE_FCOD, u"",
                                  u"Передан пустой аргумент: sSignatureContent"}),
    [](const auto& info) { return info.param.name; });

TEST(FileObjects, WrappingNothingNamesTheMissingEngineObject) {
  ExpectRaises([] { CreateFileObject(kPackageProgId, nullptr); },
               u8"Передан пустой аргумент: pCTdx880Document");
  ExpectRaises([] { CreateSignatureObject(kPackageProgId, nullptr); },
               u8"Передан пустой аргумент: pCTdx880Signature");
}

TEST_F(PackageObject, SignatureObjectShowsAPeerSignatureByteForByte) {
  Start();
  const ComPtr<ITdx880File> file = Add(u"01");
  // A detached GOST signature of the content made by openssl with the test PKI's user.
  ASSERT_EQ(lyr::test::RunOpenSsl(
                "cms -sign -binary -outform DER -in " + WriteFile("content.bin", "<a/>") +
                " -signer " + lyr::test::SharedPki().user.string() + " -inkey " +
                lyr::test::SharedPki().user_key.string() + " -out " + PathOf("content.p7s")),
            0);
  const std::string signature = lyr::test::FileBytes(PathOf("content.p7s"));
  VARIANT_BOOL done = VARIANT_FALSE;
  ASSERT_EQ(file->AddSign(Text(rtl::AnsiToUtf16(signature)), SIGN_ROLE_TYPE_FCOD, &done), S_OK);
  ComPtr<ITdx880Signature> object;
  ASSERT_EQ(package_->GetFileSignature(0, 0, object.Receive()), S_OK);
  BSTR content = nullptr;
  ASSERT_EQ(object->get_SignatureContent(&content), S_OK);
  EXPECT_EQ(TakeBstr(content), rtl::AnsiToUtf16(signature));
  // An empty file name is refused even in SafeMode, LastError untouched.
  SetSafeMode(object.Get(), true);
  EXPECT_EQ(object->put_FileName(Text(u"")), kUnexpected);
  EXPECT_EQ(TakeErrorInfo().description, u"Передан пустой аргумент: signFilename");
  EXPECT_EQ(LastErrorOf(object.Get()).code, 0);
  const std::u16string name = u"0123456789abcdef0123456789abcdef.bin";
  EXPECT_EQ(object->put_FileName(Text(name)), S_OK);
  BSTR read = nullptr;
  EXPECT_EQ(object->get_FileName(&read), S_OK);
  EXPECT_EQ(TakeBstr(read), name);
  // Removed from the item: the object stays, its reads fail.
  ASSERT_EQ(package_->DeleteFileSignatures(0, &done), S_OK);
  EXPECT_EQ(object->get_SignatureContent(&read), kUnexpected);
  EXPECT_EQ(TakeErrorInfo().description, u"Документ не открыт");
  EXPECT_EQ(object->get_FileName(&read), kUnexpected);
  EXPECT_EQ(read, nullptr);
}

// How a File object loses its item: removed, package closed or restarted, or released.
enum class Removal { kDeleteFile, kClose, kNew, kOpen, kRelease };

class OrphanFile : public PackageObject, public ::testing::WithParamInterface<Removal> {};

TEST_P(OrphanFile, FailsEveryItemMemberClearlyAndKeepsItsErrorModel) {
  Start();
  ComPtr<ITdx880File> file = Add(u"01", u"kept.xml", u"<kept/>");
  ASSERT_TRUE(file);
  VARIANT_BOOL done = VARIANT_FALSE;
  switch (GetParam()) {
    case Removal::kDeleteFile:
      ASSERT_EQ(package_->DeleteFile(0, &done), S_OK);
      break;
    case Removal::kClose:
      ASSERT_EQ(package_->Close(&done), S_OK);
      break;
    case Removal::kNew:
      Start();
      break;
    case Removal::kOpen:
      SetSafeMode(package_.Get(), true);
      ASSERT_EQ(package_->Open(Text(u"missing.zip"), &done), S_OK);
      break;
    case Removal::kRelease:
      package_.Reset();
      break;
  }
  BSTR text = nullptr;
  EXPECT_EQ(file->get_OriginalFilename(&text), kUnexpected);
  EXPECT_EQ(TakeErrorInfo().description, u"Документ не открыт");
  EXPECT_EQ(file->get_RawContent(&text), kUnexpected);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(file->put_ContentType(Text(u"txt")), kUnexpected);
  SetSafeMode(file.Get(), true);
  done = VARIANT_TRUE;
  EXPECT_EQ(file->CheckSign(&done), S_OK);
  EXPECT_EQ(done, VARIANT_FALSE);
  EXPECT_EQ(LastErrorOf(file.Get()).message, u"Документ не открыт");
  EXPECT_EQ(file->AddSign(Text(u"x"), SIGN_ROLE_TYPE_ABONENT, &done), S_OK);
  EXPECT_EQ(done, VARIANT_FALSE);
}

INSTANTIATE_TEST_SUITE_P(Removals, OrphanFile,
                         ::testing::Values(Removal::kDeleteFile, Removal::kClose, Removal::kNew,
                                           Removal::kOpen, Removal::kRelease));

// The Crypt object's signature checks open the strict chain builder on the stores of a location:
// one that cannot be read fails the open and leaves the builder closed, not half open.
TEST(ChainBuilder, UnreadableStoreLocationLeavesTheBuilderClosed) {
  crypt::CCryptoAPI20ChainBuilderStrict builder;
  crypt::CCryptoAPI20ChainBuilderStrictConfig config;
  config.SetStoreLocation(3);
  ExpectRaises([&] { builder.Open(&config); }, u8"Недоступное хранилище: [3]");
  EXPECT_FALSE(builder.IsDocumentOpened());
}

}  // namespace
}  // namespace lyr::automation::test
