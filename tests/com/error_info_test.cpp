// Error objects and the per-thread error slot: SetErrorInfo/GetErrorInfo/CreateErrorInfo.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "lyr/com/com.h"

namespace {

std::u16string Take(BSTR bstr) {
  std::u16string text(bstr, SysStringLen(bstr));
  SysFreeString(bstr);
  return text;
}

// An error object with the given description and source, as a failing member publishes it.
IErrorInfo* MakeError(const char16_t* description, const char16_t* source) {
  ICreateErrorInfo* create = nullptr;
  EXPECT_EQ(CreateErrorInfo(&create), S_OK);
  std::u16string d(description);
  std::u16string s(source);
  create->SetDescription(d.data());
  create->SetSource(s.data());
  IErrorInfo* info = nullptr;
  EXPECT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  create->Release();
  return info;
}

TEST(ErrorInfo, CreatedObjectReportsWhatWasSet) {
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  std::u16string description = u"Передан пустой аргумент: Name";
  std::u16string source = u"LyrTdxPackage880.Tdx880Manager";
  std::u16string help = u"help.txt";
  EXPECT_EQ(create->SetDescription(description.data()), S_OK);
  EXPECT_EQ(create->SetSource(source.data()), S_OK);
  EXPECT_EQ(create->SetHelpFile(help.data()), S_OK);
  EXPECT_EQ(create->SetHelpContext(17), S_OK);
  EXPECT_EQ(create->SetGUID(IID_IDispatch), S_OK);
  IErrorInfo* info = nullptr;
  ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)), S_OK);
  BSTR text = nullptr;
  ASSERT_EQ(info->GetDescription(&text), S_OK);
  EXPECT_EQ(Take(text), description);
  ASSERT_EQ(info->GetSource(&text), S_OK);
  EXPECT_EQ(Take(text), source);
  ASSERT_EQ(info->GetHelpFile(&text), S_OK);
  EXPECT_EQ(Take(text), help);
  DWORD context = 0;
  ASSERT_EQ(info->GetHelpContext(&context), S_OK);
  EXPECT_EQ(context, 17u);
  GUID guid{};
  ASSERT_EQ(info->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, IID_IDispatch);
  EXPECT_EQ(info->Release(), 1u);
  EXPECT_EQ(create->Release(), 0u);
}

TEST(ErrorInfo, GetErrorInfoHandsOverAndClearsTheSlot) {
  IErrorInfo* info = MakeError(u"failed", u"source");
  ASSERT_EQ(SetErrorInfo(0, info), S_OK);
  info->Release();  // the slot holds its own reference
  IErrorInfo* got = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
  ASSERT_EQ(got, info);
  BSTR text = nullptr;
  ASSERT_EQ(got->GetDescription(&text), S_OK);
  EXPECT_EQ(Take(text), u"failed");
  EXPECT_EQ(got->Release(), 0u);
  IErrorInfo* again = info;
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
  EXPECT_EQ(again, nullptr);
}

TEST(ErrorInfo, EachThreadHasItsOwnSlot) {
  IErrorInfo* mine = MakeError(u"main thread", u"s");
  ASSERT_EQ(SetErrorInfo(0, mine), S_OK);
  mine->Release();
  HRESULT otherBefore = E_FAIL;
  std::u16string otherText;
  std::thread other([&] {
    IErrorInfo* got = nullptr;
    otherBefore = GetErrorInfo(0, &got);
    IErrorInfo* its = MakeError(u"other thread", u"s");
    SetErrorInfo(0, its);
    its->Release();
    // Left in the slot: released when the thread ends.
  });
  other.join();
  EXPECT_EQ(otherBefore, S_FALSE);
  IErrorInfo* got = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &got), S_OK);
  BSTR text = nullptr;
  got->GetDescription(&text);
  EXPECT_EQ(Take(text), u"main thread");
  got->Release();
}

}  // namespace
