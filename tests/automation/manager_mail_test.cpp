// The Manager's e-mail members in-process: a package travels through the Manager's TmpDir and
// back as a new Package object with the Manager's SafeMode; an existing file that cannot be
// replaced and a message without parts fail with their messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "automation/class_factory.h"
#include "automation/tdx880_package_class.h"
#include "rtl/text.h"
#include "safe_probe.h"
#include "support/sandbox.h"

namespace lyr::automation::test {
namespace {

namespace fs = std::filesystem;

class ManagerMail : public PackageObjectTest {
 protected:
  void SetUp() override {
    PackageObjectTest::SetUp();
    ASSERT_EQ(ClassFactoryOf(CLSID_Tdx880Manager)
                  ->CreateInstance(nullptr, IID_ITdx880Manager, manager_.ReceiveVoid()),
              S_OK);
    Start();
    ASSERT_EQ(package_->put_SenderIdentifier(Text(u"7701000001")), S_OK);
    ASSERT_EQ(package_->put_ReceiverIdentifier(Text(u"7702")), S_OK);
    for (const auto* type : {u"01", u"02"}) {
      Add(type, type);
    }
  }
  std::u16string FileNameOf(ITdx880Package* package) {
    BSTR name = nullptr;
    EXPECT_EQ(package->get_FileName(&name), S_OK);
    return TakeBstr(name);
  }

  ComPtr<ITdx880Manager> manager_;
};

TEST_F(ManagerMail, PackageTravelsThroughTheTmpDirAndComesBackWithTheSafeMode) {
  SetSafeMode(manager_.Get(), true);
  BSTR email = nullptr;
  ASSERT_EQ(manager_->CreateEmailByPackage(package_.Get(), Text(u"a@example.ru"),
                                           Text(u"b@example.ru"), &email),
            S_OK);
  const std::u16string saved = FileNameOf(package_.Get());
  EXPECT_EQ(fs::path(saved).parent_path(), fs::path(PathOf("tmp")));
  EXPECT_FALSE(fs::exists(fs::path(saved)));
  ComPtr<ITdx880Package> copy;
  ASSERT_EQ(manager_->CreatePackageByEmail(email, copy.Receive()), S_OK);
  ::SysFreeString(email);
  ASSERT_TRUE(copy);
  EXPECT_EQ(FileNameOf(copy.Get()), fs::path(saved).filename().u16string());
  LONG count = 0;
  EXPECT_EQ(copy->GetFileCount(&count), S_OK);
  EXPECT_EQ(count, 2);
  ComPtr<ITdx880Safe> safe;
  ASSERT_EQ(copy->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
  VARIANT_BOOL mode = VARIANT_FALSE;
  EXPECT_EQ(safe->get_SafeMode(&mode), S_OK);
  EXPECT_EQ(mode, VARIANT_TRUE);
  // Only the two open packages' working folders are left in TMP.
  VARIANT_BOOL closed = VARIANT_FALSE;
  EXPECT_EQ(copy->Close(&closed), S_OK);
  EXPECT_EQ(package_->Close(&closed), S_OK);
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

TEST_F(ManagerMail, FileThatCannotBeReplacedFailsAndStays) {
  ASSERT_EQ(package_->put_FileName(Text(u"x.zip")), S_OK);
  fs::create_directories(PathOf("tmp/x.zip/inside"));
  BSTR email = reinterpret_cast<BSTR>(0x1);
  EXPECT_EQ(manager_->CreateEmailByPackage(package_.Get(), Text(u"a@example.ru"),
                                           Text(u"b@example.ru"), &email),
            static_cast<HRESULT>(0x8000FFFF));
  EXPECT_EQ(email, nullptr);
  EXPECT_EQ(LastErrorOf(manager_.Get()).message,
            rtl::AnsiToUtf16(rtl::Msg(u8"Файл уже существует: продолжение невозможно [") +
                             PathOf("tmp/x.zip") + "]"));
  EXPECT_TRUE(fs::is_directory(PathOf("tmp/x.zip/inside")));
}

TEST_F(ManagerMail, MessageWithoutPartsFailsWithTheCountAndLeavesTmpAsItWas) {
  SetSafeMode(manager_.Get(), true);
  ComPtr<ITdx880Package> copy;
  EXPECT_EQ(manager_->CreatePackageByEmail(Text(u"Subject: x\r\n\r\ntext\r\n"), copy.Receive()),
            S_OK);
  EXPECT_FALSE(copy);
  EXPECT_EQ(LastErrorOf(manager_.Get()).message, u"Неверное количество вложений: [0]");
  VARIANT_BOOL closed = VARIANT_FALSE;
  EXPECT_EQ(package_->Close(&closed), S_OK);
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

}  // namespace
}  // namespace lyr::automation::test
