// The runtime: BSTRs (length prefix, embedded NULs, odd and huge lengths, reallocation), GUID
// texts, error objects in the per-thread slot, apartment counts, the C host, and the 64-bit data
// layouts of the public types that hosts rely on.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <type_traits>

#include "lyr/com/com.h"
#include "support/expect_error_info.h"
#include "support/sandbox.h"

#define LYR_AT(type, field, offset) (offsetof(type, field) == (offset))

static_assert(sizeof(HRESULT) == 4 && sizeof(LONG) == 4 && sizeof(BOOL) == 4 && sizeof(WORD) == 2 &&
              sizeof(VARIANT_BOOL) == 2 && sizeof(LCID) == 4 && sizeof(DATE) == 8 &&
              std::is_same_v<OLECHAR, char16_t> && std::is_signed_v<HRESULT> && VARIANT_TRUE == -1);
static_assert(sizeof(GUID) == 16 && LYR_AT(GUID, Data3, 6) && sizeof(VARIANT) == 24 &&
              alignof(VARIANT) == 8 && LYR_AT(VARIANT, lVal, 8) && LYR_AT(VARIANT, brecVal, 8) &&
              sizeof(BRECORD) == 16 && sizeof(DISPPARAMS) == 24 &&
              LYR_AT(DISPPARAMS, rgdispidNamedArgs, 8) && LYR_AT(DISPPARAMS, cNamedArgs, 20));
static_assert(sizeof(EXCEPINFO) == 64 && LYR_AT(EXCEPINFO, bstrSource, 8) &&
              LYR_AT(EXCEPINFO, bstrDescription, 16) && LYR_AT(EXCEPINFO, bstrHelpFile, 24) &&
              LYR_AT(EXCEPINFO, dwHelpContext, 32) && LYR_AT(EXCEPINFO, pfnDeferredFillIn, 48) &&
              LYR_AT(EXCEPINFO, scode, 56));
static_assert(sizeof(TYPEDESC) == 16 && LYR_AT(TYPEDESC, vt, 8) && sizeof(IDLDESC) == 16 &&
              sizeof(PARAMDESC) == 16 && sizeof(ELEMDESC) == 32 && LYR_AT(ELEMDESC, paramdesc, 16));
static_assert(sizeof(TYPEATTR) == 96 && LYR_AT(TYPEATTR, guid, 0) && LYR_AT(TYPEATTR, lcid, 16) &&
              LYR_AT(TYPEATTR, memidConstructor, 24) && LYR_AT(TYPEATTR, memidDestructor, 28) &&
              LYR_AT(TYPEATTR, lpstrSchema, 32) && LYR_AT(TYPEATTR, cbSizeInstance, 40) &&
              LYR_AT(TYPEATTR, typekind, 44) && LYR_AT(TYPEATTR, cFuncs, 48) &&
              LYR_AT(TYPEATTR, cVars, 50) && LYR_AT(TYPEATTR, cImplTypes, 52) &&
              LYR_AT(TYPEATTR, cbSizeVft, 54) && LYR_AT(TYPEATTR, cbAlignment, 56) &&
              LYR_AT(TYPEATTR, wTypeFlags, 58) && LYR_AT(TYPEATTR, wMajorVerNum, 60) &&
              LYR_AT(TYPEATTR, wMinorVerNum, 62) && LYR_AT(TYPEATTR, tdescAlias, 64) &&
              LYR_AT(TYPEATTR, idldescType, 80));
static_assert(sizeof(FUNCDESC) == 88 && LYR_AT(FUNCDESC, memid, 0) &&
              LYR_AT(FUNCDESC, lprgscode, 8) && LYR_AT(FUNCDESC, lprgelemdescParam, 16) &&
              LYR_AT(FUNCDESC, funckind, 24) && LYR_AT(FUNCDESC, invkind, 28) &&
              LYR_AT(FUNCDESC, callconv, 32) && LYR_AT(FUNCDESC, cParams, 36) &&
              LYR_AT(FUNCDESC, cParamsOpt, 38) && LYR_AT(FUNCDESC, oVft, 40) &&
              LYR_AT(FUNCDESC, cScodes, 42) && LYR_AT(FUNCDESC, elemdescFunc, 48) &&
              LYR_AT(FUNCDESC, wFuncFlags, 80));
static_assert(sizeof(VARDESC) == 64 && LYR_AT(VARDESC, lpstrSchema, 8) &&
              LYR_AT(VARDESC, oInst, 16) && LYR_AT(VARDESC, elemdescVar, 24) &&
              LYR_AT(VARDESC, wVarFlags, 56) && LYR_AT(VARDESC, varkind, 60));

namespace {

using lyr::test::TakeErrorDescription;

TEST(Bstr, KeepsTheByteLengthBeforeTheTextAndTerminatesIt) {
  BSTR s = SysAllocString(u"Привет");
  uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 12u);
  EXPECT_EQ(SysStringLen(s), 6u);
  EXPECT_EQ(s[6], u'\0');
  SysFreeString(s);
  std::u16string all(u"a\0b", 3);
  for (int b = 0; b < 256; ++b) {
    all.push_back(static_cast<char16_t>(b));
  }
  s = SysAllocStringLen(all.data(), static_cast<UINT>(all.size()));
  EXPECT_EQ(std::u16string(s, SysStringLen(s)), all);
  EXPECT_EQ(s[all.size()], u'\0');
  SysFreeString(s);
  // An odd byte length makes no last character but keeps the byte, then two zero bytes.
  const char bytes[] = "\x01\xFF\x00\x7F\x80\x00\x00";
  s = SysAllocStringByteLen(bytes, 5);
  EXPECT_EQ(SysStringByteLen(s), 5u);
  EXPECT_EQ(SysStringLen(s), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s), 7), std::string(bytes, 7));
  SysFreeString(s);
  s = SysAllocStringByteLen(nullptr, 3);  // zero-filled
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s), 5), std::string(5, '\0'));
  SysFreeString(s);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReAllocReplacesTheStringEvenFromItsOwnTail) {
  BSTR s = SysAllocString(u"prefix-tail");
  ASSERT_EQ(SysReAllocString(&s, s + 7), TRUE);
  EXPECT_EQ(std::u16string(s), u"tail");
  ASSERT_EQ(SysReAllocString(&s, u"new value"), TRUE);
  EXPECT_EQ(std::u16string(s, SysStringLen(s)), u"new value");
  SysFreeString(s);
  void* p = CoTaskMemRealloc(CoTaskMemAlloc(0), 64);
  ASSERT_NE(p, nullptr);
  std::memset(p, 'x', 64);
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}

const GUID kSample = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

std::u16string TextOf(const GUID& guid) {
  OLECHAR buffer[39];
  EXPECT_EQ(StringFromGUID2(guid, buffer, 39), 39);
  return buffer;
}

TEST(GuidText, WritesTheBracedUpperCaseFormAndParsesEitherCase) {
  EXPECT_EQ(TextOf(kSample), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
  OLECHAR small[38] = {u'x'};
  EXPECT_EQ(StringFromGUID2(kSample, small, 38), 0);
  EXPECT_EQ(small[0], u'x');
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromString(u"{1cf2b120-547d-101b-8e65-08002b2bd119}", &clsid), S_OK);
  EXPECT_EQ(clsid, kSample);
  IID iid{};
  ASSERT_EQ(IIDFromString(u"{1CF2B120-547D-101B-8E65-08002B2BD119}", &iid), S_OK);
  EXPECT_EQ(iid, kSample);
  EXPECT_EQ(TextOf(IID_IDispatch), u"{00020400-0000-0000-C000-000000000046}");
}

TEST(GuidText, MalformedTextIsRefusedByIidFromString) {
  for (const char16_t* text :
       {u"", u"{1CF2B120-547D-101B-8E65-08002B2BD119", u"{1CF2B120-547D1-01B-8E65-08002B2BD119}",
        u"{1CF2B120-547D-101B-8E65-08002B2BD11１}", u"{1CF2B120547D101B8E6508002B2BD1190000}"}) {
    IID iid{};
    EXPECT_EQ(IIDFromString(text, &iid), E_INVALIDARG);
  }
}

TEST(CoCreateGuid, GivesDistinctVersion4GuidsThatRoundTrip) {
  std::set<std::u16string> seen;
  for (int i = 0; i < 100; ++i) {
    GUID guid{};
    ASSERT_EQ(CoCreateGuid(&guid), S_OK);
    EXPECT_EQ(guid.Data3 >> 12, 4);
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
    seen.insert(TextOf(guid));
    GUID back{};
    ASSERT_EQ(CLSIDFromString(TextOf(guid).c_str(), &back), S_OK);
    EXPECT_EQ(back, guid);
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

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
  EXPECT_EQ(got, info);
  EXPECT_EQ(got->Release(), 0u);  // handed over with the slot's reference
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
