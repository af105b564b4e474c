// Error objects and the per-thread error slot: SetErrorInfo/GetErrorInfo/CreateErrorInfo, and the
// apartment counts of CoInitialize(Ex)/CoUninitialize that release the slot.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "lyr/com/com.h"
#include "support/expect_error_info.h"
#include "support/sandbox.h"

namespace {

using lyr::test::TakeBstr;
using lyr::test::TakeErrorDescription;

// An error object with the given description, as a failing member publishes it.
IErrorInfo* MakeError(std::u16string description) {
  ICreateErrorInfo* create = nullptr;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  create->SetDescription(description.data());
  IErrorInfo* info = nullptr;
  EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  create->Release();
  return info;
}

TEST(ErrorInfo, GetErrorInfoHandsOverAndClearsTheSlotOfItsOwnThread) {
  IErrorInfo* info = MakeError(u"main thread");
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();  // the slot holds its own reference
  HRESULT other_before = E_FAIL;
  std::thread([&] {
    IErrorInfo* got = nullptr;
    other_before = GetErrorInfo(0, &got);
    IErrorInfo* its = MakeError(u"other thread");
    SetErrorInfo(0, its);
    its->Release();  // left in the slot: released when the thread ends
  }).join();
  EXPECT_EQ(other_before, S_FALSE);
  IErrorInfo* got = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
  ASSERT_EQ(got, info);
  BSTR text = nullptr;
  ASSERT_EQ(got->GetDescription(&text), S_OK);
  EXPECT_EQ(TakeBstr(text), u"main thread");
  EXPECT_EQ(got->Release(), 0u);
  IErrorInfo* again = info;
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
  EXPECT_EQ(again, nullptr);
}

TEST(Apartment, CallsAreCountedPerThreadAndTheLastUninitializeEmptiesTheSlot) {
  CoUninitialize();  // unbalanced: harmless
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
  HRESULT other = E_FAIL;
  std::thread([&] {
    other = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
  }).join();
  EXPECT_EQ(other, S_OK);
  IErrorInfo* info = MakeError(u"left");
  SetErrorInfo(0, info);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(TakeErrorDescription(), u"left");  // not the last call yet
  SetErrorInfo(0, info);
  CoUninitialize();
  EXPECT_EQ(info->Release(), 0u);  // the slot no longer held it
  EXPECT_EQ(TakeErrorDescription(), u"(no error information)");
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);  // fully uninitialised again
  CoUninitialize();
}

TEST(ComCHost, UsesTheRuntimeThroughThePublicHeaderAlone) {
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand(std::string(LYR_COM_C_HOST) + " 2>&1", &output), 0) << output;
  EXPECT_EQ(output, "c host ok\n");
}

}  // namespace
