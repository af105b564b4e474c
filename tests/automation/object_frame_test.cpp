// The object frame in-process: SafeMode and LastError, the guard of a member in and out of
// SafeMode, unguarded accessors, error information, ISupportErrorInfo and object counts.
#include <gtest/gtest.h>

#include <string>

#include "automation/class_factory.h"
#include "automation/object_wrapper.h"
#include "automation/server_lock.h"
#include "automation/tdx880_key_class.h"
#include "rtl/text.h"
#include "safe_probe.h"
#include "test_file_object.h"

namespace lyr::automation::test {
namespace {

class ObjectFrame : public ::testing::Test {
 protected:
  void SetUp() override { ::SetErrorInfo(0, nullptr); }
  void TearDown() override { ::SetErrorInfo(0, nullptr); }
  ComPtr<CComObject<CTestFile_class>> file_ = MakeObject<CTestFile_class>();
};

// A guarded member in and out of SafeMode, failing with a message or an OS error, or succeeding
// and so resetting LastError; a new object is out of SafeMode with an empty LastError.
TEST_F(ObjectFrame, GuardedMemberFollowsSafeModeAndRecordsLastError) {
  ComPtr<ITdx880Safe> safe;
  ASSERT_EQ(file_->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
  VARIANT_BOOL mode = VARIANT_TRUE;
  EXPECT_EQ(safe->get_SafeMode(&mode), S_OK);
  EXPECT_EQ(mode, VARIANT_FALSE);
  EXPECT_EQ(LastErrorOf(file_->DispatchPointer()).code, 0);
  EXPECT_TRUE(file_->Initialized());
  const std::string closed = rtl::Msg(u8"Документ не открыт");
  const struct {
    bool safe_mode;
    std::string fail_message;
    int32_t os_code;
    HRESULT hr;
    LONG code;  // LastError's
    std::u16string message;
  } cases[] = {
      {true, closed, 0, S_OK, -1, u"Документ не открыт"},
      {true, "", 0, S_OK, 0, u""},
      {false, closed, 0, static_cast<HRESULT>(0x8000FFFF), -1, u"Документ не открыт"},
      {true, "", 2, S_OK, 2, rtl::AnsiToUtf16(rtl::OSErrorMessage(2))},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(lyr::test::Shown(c.message));
    SetSafeMode(file_->DispatchPointer(), c.safe_mode);
    file_->fail_message = c.fail_message;
    file_->os_code = c.os_code;
    VARIANT_BOOL result = VARIANT_FALSE;
    EXPECT_EQ(file_->CheckSign(&result), c.hr);
    EXPECT_EQ(result, c.code == 0 ? VARIANT_TRUE : VARIANT_FALSE);
    const PublishedError published = TakeErrorInfo();
    EXPECT_EQ(published.present, c.hr != S_OK);
    if (published.present) {
      EXPECT_EQ(published.description, c.message);
      EXPECT_EQ(published.source, u"LyrTdxPackage880.Tdx880Package");
    }
    const ErrorState error = LastErrorOf(file_->DispatchPointer());
    EXPECT_EQ(error.code, c.code);
    EXPECT_EQ(error.message, c.message);
  }
}

TEST_F(ObjectFrame, UnguardedPutFailsEvenInSafeModeAndLeavesLastErrorAlone) {
  SetSafeMode(file_->DispatchPointer(), true);
  file_->fail_message = "earlier";
  VARIANT_BOOL result = VARIANT_TRUE;
  ASSERT_EQ(file_->CheckSign(&result), S_OK);
  file_->file_name = "kept";
  EXPECT_EQ(file_->put_FileName(nullptr), static_cast<HRESULT>(0x8000FFFF));
  EXPECT_EQ(file_->file_name, "kept");
  const PublishedError published = TakeErrorInfo();
  EXPECT_TRUE(published.present);
  EXPECT_EQ(published.description, u"Передан пустой аргумент: FileName");
  const ErrorState error = LastErrorOf(file_->DispatchPointer());
  EXPECT_EQ(error.code, -1);
  EXPECT_EQ(error.message, u"earlier");
}

TEST_F(ObjectFrame, QueryInterfaceKeepsOneIdentity) {
  ComPtr<IUnknown> from_file;
  ComPtr<ITdx880Safe> safe;
  ComPtr<IUnknown> from_safe;
  ASSERT_EQ(file_->QueryInterface(IID_IUnknown, from_file.ReceiveVoid()), S_OK);
  ASSERT_EQ(file_->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
  ASSERT_EQ(safe->QueryInterface(IID_IUnknown, from_safe.ReceiveVoid()), S_OK);
  EXPECT_EQ(from_file.Get(), from_safe.Get());
  ComPtr<IUnknown> none;
  EXPECT_EQ(file_->QueryInterface(IID_ITdx880Package, none.ReceiveVoid()), E_NOINTERFACE);
  EXPECT_EQ(none.Get(), nullptr);
}

TEST(ObjectCounts, CountEveryLiveObjectIncludingErrorObjects) {
  const int64_t before = LiveObjectCount();
  {
    auto file = MakeObject<CTestFile_class>();
    EXPECT_EQ(LiveObjectCount(), before + 2);  // the object and its error object
    ComPtr<ITdx880Safe> safe;
    ASSERT_EQ(file->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
    ComPtr<ITdx880Error> error;
    ASSERT_EQ(safe->get_LastError(error.Receive()), S_OK);
    file.Reset();
    safe.Reset();
    EXPECT_EQ(LiveObjectCount(), before + 1);  // the host still holds the error object
  }
  EXPECT_EQ(LiveObjectCount(), before);
}

}  // namespace
}  // namespace lyr::automation::test

namespace lyr::automation::test {
namespace {

std::string FailureOf(IUnknown* argument) {
  try {
    WrappedObjectOf<rtl::CBaseClass>(argument, "pPackage");
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "no error";
}

TEST(ObjectWrapper, ArgumentNotMadeByThisLibraryFailsTheInterfaceCast) {
  auto file = MakeObject<CTestFile_class>();
  EXPECT_EQ(FailureOf(file->DispatchPointer()), "Interface not supported");
  EXPECT_EQ(FailureOf(nullptr), rtl::Msg(u8"Передан пустой аргумент: pPackage"));
}

}  // namespace
}  // namespace lyr::automation::test
