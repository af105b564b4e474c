// GUID text forms: round trips, case, malformed strings, and random version-4 GUIDs.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "lyr/com/com.h"
#include "support/sandbox.h"

namespace {

const GUID kSample = {0x1CF2B120, 0x547D, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};

std::u16string TextOf(const GUID& guid) {
  OLECHAR buffer[39];
  EXPECT_EQ(StringFromGUID2(guid, buffer, 39), 39);
  return buffer;
}

TEST(GuidText, StringFromGuid2WritesTheBracedUpperCaseForm) {
  EXPECT_EQ(TextOf(kSample), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
  EXPECT_EQ(TextOf(IID_IDispatch), u"{00020400-0000-0000-C000-000000000046}");
}

TEST(GuidText, StringFromGuid2RefusesASmallBuffer) {
  OLECHAR buffer[38] = {u'x'};
  EXPECT_EQ(StringFromGUID2(kSample, buffer, 38), 0);
  EXPECT_EQ(buffer[0], u'x');
}

TEST(GuidText, StringFromClsidAllocatesWithTaskMemory) {
  LPOLESTR text = nullptr;
  ASSERT_EQ(StringFromCLSID(kSample, &text), S_OK);
  EXPECT_EQ(std::u16string(text), u"{1CF2B120-547D-101B-8E65-08002B2BD119}");
  CoTaskMemFree(text);
  ASSERT_EQ(StringFromIID(IID_IUnknown, &text), S_OK);
  EXPECT_EQ(std::u16string(text), u"{00000000-0000-0000-C000-000000000046}");
  CoTaskMemFree(text);
}

TEST(GuidText, ParsesEitherCaseAndRoundTrips) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromString(u"{1cf2b120-547d-101b-8e65-08002b2bd119}", &clsid), S_OK);
  EXPECT_EQ(clsid, kSample);
  IID iid{};
  ASSERT_EQ(IIDFromString(u"{1CF2B120-547D-101B-8E65-08002B2BD119}", &iid), S_OK);
  EXPECT_EQ(iid, kSample);
  for (int i = 0; i < 20; ++i) {
    GUID random{};
    ASSERT_EQ(CoCreateGuid(&random), S_OK);
    GUID back{};
    ASSERT_EQ(CLSIDFromString(TextOf(random).c_str(), &back), S_OK);
    EXPECT_EQ(back, random);
  }
}

TEST(GuidText, NullStringGivesTheNullGuid) {
  GUID guid = kSample;
  EXPECT_EQ(CLSIDFromString(nullptr, &guid), S_OK);
  EXPECT_EQ(guid, CLSID_NULL);
  guid = kSample;
  EXPECT_EQ(IIDFromString(nullptr, &guid), S_OK);
  EXPECT_EQ(guid, IID_NULL);
}

struct MalformedCase {
  const char* name;
  std::u16string text;
};

// Sandboxed: CLSIDFromString tries text that is not a braced GUID as a ProgID in the registry.
class MalformedGuidText : public lyr::test::Sandbox,
                          public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedGuidText, IsRefusedByIidFromString) {
  IID iid{};
  EXPECT_EQ(IIDFromString(GetParam().text.c_str(), &iid), E_INVALIDARG);
}

TEST_P(MalformedGuidText, IsRefusedByClsidFromString) {
  CLSID clsid = kSample;
  EXPECT_EQ(CLSIDFromString(GetParam().text.c_str(), &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(clsid, CLSID_NULL);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedGuidText,
    ::testing::Values(MalformedCase{"Empty", u""},
                      MalformedCase{"NoBraces", u"1CF2B120-547D-101B-8E65-08002B2BD119"},
                      MalformedCase{"MissingClosingBrace",
                                    u"{1CF2B120-547D-101B-8E65-08002B2BD119"},
                      MalformedCase{"ExtraCharacter", u"{1CF2B120-547D-101B-8E65-08002B2BD1199}"},
                      MalformedCase{"ShortGroup", u"{1CF2B12-547D-101B-8E65-08002B2BD1199}"},
                      MalformedCase{"HyphenMoved", u"{1CF2B120-547D1-01B-8E65-08002B2BD119}"},
                      MalformedCase{"NonHexDigit", u"{1CF2B120-547D-101B-8E65-08002B2BD11G}"},
                      MalformedCase{"FullWidthDigit", u"{1CF2B120-547D-101B-8E65-08002B2BD11１}"},
                      MalformedCase{"NoHyphens", u"{1CF2B120547D101B8E6508002B2BD1190000}"},
                      MalformedCase{"Spaces", u"{ 1CF2B120-547D-101B-8E65-08002B2BD119 }"}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

TEST(CoCreateGuid, GivesDistinctVersion4Guids) {
  std::set<std::u16string> seen;
  for (int i = 0; i < 100; ++i) {
    GUID guid{};
    ASSERT_EQ(CoCreateGuid(&guid), S_OK);
    EXPECT_EQ(guid.Data3 >> 12, 4);
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
    seen.insert(TextOf(guid));
  }
  EXPECT_EQ(seen.size(), 100u);
  EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);
}

}  // namespace
