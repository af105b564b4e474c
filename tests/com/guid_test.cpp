// GUID text forms (round trips, case, malformed strings), random version-4 GUIDs and the layout
// of an IDispatch vtable.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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
  const GUID unknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_EQ(IID_IUnknown, unknown);
  EXPECT_EQ(TextOf(IID_IDispatch), u"{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(IID_IErrorInfo, kSample);
  EXPECT_EQ(IID_ITypeInfo.Data1, 0x00020401u);
  EXPECT_EQ(IID_IClassFactory.Data1, 0x00000001u);
  EXPECT_EQ(IID_ICreateErrorInfo.Data1, 0x22F03340u);
  EXPECT_EQ(IID_ISupportErrorInfo.Data1, 0xDF0B3D60u);
  EXPECT_EQ(IID_NULL, GUID{});
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

// A minimal object whose vtable a test reads slot by slot.
struct Dispatch final : IDispatch {
  HRESULT QueryInterface(REFIID, void**) override { return 1; }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 3; }
  HRESULT GetTypeInfoCount(UINT*) override { return 4; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return 5; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return 6; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return 7;
  }
};

TEST(InterfaceLayout, DispatchVtableHoldsIUnknownThenIDispatchSlotsInOrder) {
  Dispatch object;
  // The vtable pointer is the first word of the object; slot n is the n-th function pointer.
  using Slot = int64_t (*)(void*);
  Slot* vtable = nullptr;
  std::memcpy(&vtable, static_cast<void*>(&object), sizeof vtable);
  for (int slot = 0; slot < 7; ++slot) {
    EXPECT_EQ(static_cast<int32_t>(vtable[slot](&object)), slot + 1) << "slot " << slot;
  }
}

}  // namespace
