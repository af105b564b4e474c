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

TEST_F(ObjectFrame, NewObjectIsNotInSafeModeAndHasAnEmptyLastError) {
  ComPtr<ITdx880Safe> safe;
  ASSERT_EQ(file_->QueryInterface(IID_ITdx880Safe, safe.ReceiveVoid()), S_OK);
  VARIANT_BOOL mode = VARIANT_TRUE;
  EXPECT_EQ(safe->get_SafeMode(&mode), S_OK);
  EXPECT_EQ(mode, VARIANT_FALSE);
  const ErrorState error = LastErrorOf(file_->DispatchPointer());
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(error.message, u"");
  EXPECT_TRUE(file_->Initialized());
}

TEST_F(ObjectFrame, GuardedFailureInSafeModeReturnsOkFalseAndRecordsTheError) {
  SetSafeMode(file_->DispatchPointer(), true);
  file_->fail_message = rtl::Msg(u8"Документ не открыт");
  VARIANT_BOOL result = VARIANT_TRUE;
  EXPECT_EQ(file_->CheckSign(&result), S_OK);
  EXPECT_EQ(result, VARIANT_FALSE);
  const ErrorState error = LastErrorOf(file_->DispatchPointer());
  EXPECT_EQ(error.code, -1);
  EXPECT_EQ(error.message, u"Документ не открыт");
  EXPECT_FALSE(TakeErrorInfo().present);
}

TEST_F(ObjectFrame, NextSuccessfulGuardedMemberResetsLastError) {
  SetSafeMode(file_->DispatchPointer(), true);
  file_->fail_message = "boom";
  VARIANT_BOOL result = VARIANT_FALSE;
  ASSERT_EQ(file_->CheckSign(&result), S_OK);
  file_->fail_message.clear();
  EXPECT_EQ(file_->CheckSign(&result), S_OK);
  EXPECT_EQ(result, VARIANT_TRUE);
  const ErrorState error = LastErrorOf(file_->DispatchPointer());
  EXPECT_EQ(error.code, 0);
  EXPECT_EQ(error.message, u"");
}

TEST_F(ObjectFrame, GuardedFailureOutOfSafeModeIsUnexpectedWithErrorInfoAndLastError) {
  file_->fail_message = rtl::Msg(u8"Документ не открыт");
  VARIANT_BOOL result = VARIANT_TRUE;
  EXPECT_EQ(file_->CheckSign(&result), static_cast<HRESULT>(0x8000FFFF));
  EXPECT_EQ(result, VARIANT_FALSE);
  const PublishedError published = TakeErrorInfo();
  EXPECT_TRUE(published.present);
  EXPECT_EQ(published.description, u"Документ не открыт");
  EXPECT_EQ(published.source, u"LyrTdxPackage880.Tdx880Package");
  const ErrorState error = LastErrorOf(file_->DispatchPointer());
  EXPECT_EQ(error.code, -1);
  EXPECT_EQ(error.message, u"Документ не открыт");
}

TEST_F(ObjectFrame, GuardedOsErrorRecordsTheOsCode) {
  SetSafeMode(file_->DispatchPointer(), true);
  file_->os_code = 2;
  VARIANT_BOOL result = VARIANT_TRUE;
  EXPECT_EQ(file_->CheckSign(&result), S_OK);
  const ErrorState error = LastErrorOf(file_->DispatchPointer());
  EXPECT_EQ(error.code, 2);
  EXPECT_EQ(error.message, rtl::AnsiToUtf16(rtl::OSErrorMessage(2)));
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

namespace lyr::automation::test {
namespace {

}  // namespace
}  // namespace lyr::automation::test
