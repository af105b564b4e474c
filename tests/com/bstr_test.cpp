// BSTR semantics: the length prefix, embedded NULs, odd byte lengths, huge lengths, reallocation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lyr/com/com.h"

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

}  // namespace
