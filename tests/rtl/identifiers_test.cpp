// New identifiers: formats of the text forms, version 4 bits, uniqueness.
#include "rtl/identifiers.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>

namespace lyr::rtl {
namespace {

TEST(Identifiers, GuidToStringIsBracedUpperCaseRegistryForm) {
  Guid guid;
  guid.Data1 = 0x1CF2B120;
  guid.Data2 = 0x547D;
  guid.Data3 = 0x101B;
  guid.Data4 = {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19};
  EXPECT_EQ(GuidToString(guid), "{1CF2B120-547D-101B-8E65-08002B2BD119}");
  EXPECT_EQ(GuidToString(Guid{}), "{00000000-0000-0000-0000-000000000000}");
}

TEST(Identifiers, NewGuidIsVersion4WithRfcVariant) {
  for (int i = 0; i < 100; ++i) {
    const Guid guid = NewGuid();
    EXPECT_EQ(guid.Data3 >> 12, 4);
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
  }
}

TEST(Identifiers, NewIdentifiersDoNotRepeat) {
  std::set<std::string> seen;
  for (int i = 0; i < 10000; ++i) {
    EXPECT_TRUE(seen.insert(NewFileId()).second);
  }
}

}  // namespace
}  // namespace lyr::rtl
