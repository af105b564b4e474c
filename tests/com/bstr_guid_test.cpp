// BSTR semantics (the length prefix, embedded NULs, odd byte lengths, huge lengths, reallocation),
// GUID text forms (round trips, case, malformed strings) and random version-4 GUIDs.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "lyr/com/com.h"
#include "support/sandbox.h"

namespace {

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
  auto* p = static_cast<char*>(CoTaskMemAlloc(0));
  ASSERT_NE(p, nullptr);
  p = static_cast<char*>(CoTaskMemRealloc(p, 64));
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

// Sandboxed: CLSIDFromString tries text that is not a braced GUID as a ProgID in the registry.
using MalformedGuidText = lyr::test::Sandbox;

TEST_F(MalformedGuidText, IsRefusedByIidFromString) {
  for (const char16_t* text :
       {u"", u"1CF2B120-547D-101B-8E65-08002B2BD119", u"{1CF2B120-547D-101B-8E65-08002B2BD119",
        u"{1CF2B120-547D-101B-8E65-08002B2BD1199}", u"{1CF2B12-547D-101B-8E65-08002B2BD1199}",
        u"{1CF2B120-547D1-01B-8E65-08002B2BD119}", u"{1CF2B120-547D-101B-8E65-08002B2BD11G}",
        u"{1CF2B120-547D-101B-8E65-08002B2BD11１}", u"{1CF2B120547D101B8E6508002B2BD1190000}",
        u"{ 1CF2B120-547D-101B-8E65-08002B2BD119 }"}) {
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

}  // namespace
