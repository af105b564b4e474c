// BSTR semantics: the length prefix, NULL as the empty string, embedded NULs and odd byte lengths.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "lyr/com/com.h"

namespace {

struct BstrFree {
  void operator()(OLECHAR* p) const noexcept { SysFreeString(p); }
};
using BstrPtr = std::unique_ptr<OLECHAR, BstrFree>;

uint32_t PrefixOf(BSTR bstr) {
  uint32_t length = 0;
  std::memcpy(&length, reinterpret_cast<const char*>(bstr) - 4, 4);
  return length;
}

TEST(Bstr, AllocStringRecordsByteLengthBeforeTheFirstCharacter) {
  BstrPtr s(SysAllocString(u"Привет"));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(PrefixOf(s.get()), 12u);
  EXPECT_EQ(SysStringLen(s.get()), 6u);
  EXPECT_EQ(SysStringByteLen(s.get()), 12u);
  EXPECT_EQ(std::u16string(s.get()), u"Привет");
  EXPECT_EQ(s.get()[6], u'\0');
}

TEST(Bstr, AllocStringLenKeepsEmbeddedNuls) {
  const char16_t text[] = u"a\0b\0c";
  BstrPtr s(SysAllocStringLen(text, 5));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringLen(s.get()), 5u);
  EXPECT_EQ(std::u16string(s.get(), 5), std::u16string(text, 5));
  EXPECT_EQ(s.get()[5], u'\0');
}

TEST(Bstr, ByteLenKeepsOddLengthAndTerminates) {
  const char bytes[] = "\x01\xFF\x00\x7F\x80";
  BstrPtr s(SysAllocStringByteLen(bytes, 5));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(SysStringByteLen(s.get()), 5u);
  EXPECT_EQ(SysStringLen(s.get()), 2u);  // the odd byte does not make a character
  const char* raw = reinterpret_cast<const char*>(s.get());
  EXPECT_EQ(std::string(raw, 5), std::string(bytes, 5));
  EXPECT_EQ(raw[5], '\0');
  EXPECT_EQ(raw[6], '\0');
}

TEST(Bstr, AllBytesTravelUnchangedOneBytePerCharacter) {
  std::u16string all;
  for (int b = 0; b < 256; ++b) {
    all.push_back(static_cast<char16_t>(b));
  }
  BstrPtr s(SysAllocStringLen(all.data(), static_cast<UINT>(all.size())));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::u16string(s.get(), SysStringLen(s.get())), all);
}

TEST(Bstr, HugeLengthIsRefused) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, ReAllocReplacesTheString) {
  BSTR s = SysAllocString(u"old");
  ASSERT_EQ(SysReAllocString(&s, u"new value"), TRUE);
  EXPECT_EQ(std::u16string(s), u"new value");
  EXPECT_EQ(SysStringLen(s), 9u);
  SysFreeString(s);
}

TEST(Bstr, ReAllocFromItsOwnTail) {
  BSTR s = SysAllocString(u"prefix-tail");
  ASSERT_EQ(SysReAllocString(&s, s + 7), TRUE);
  EXPECT_EQ(std::u16string(s), u"tail");
  SysFreeString(s);
}

TEST(TaskMemory, AllocatesReallocatesAndFrees) {
  auto* p = static_cast<char*>(CoTaskMemAlloc(0));
  ASSERT_NE(p, nullptr);
  p = static_cast<char*>(CoTaskMemRealloc(p, 64));
  ASSERT_NE(p, nullptr);
  std::memset(p, 'x', 64);
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}

}  // namespace
