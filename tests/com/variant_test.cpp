// VARIANT lifetime: VariantInit/Clear/Copy/CopyInd and who owns what afterwards.
#include <gtest/gtest.h>

#include <string>

#include "lyr/com/com.h"
#include "test_object.h"

namespace {

using lyr::test::TestObject;

VARIANT Bstr(const char16_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

VARIANT Object(VARTYPE vt, TestObject& object) {
  VARIANT v;
  v.vt = vt;
  v.pdispVal = &object;
  object.AddRef();
  return v;
}

TEST(Variant, ClearReleasesWhatItHoldsAndRefusesTypesItDoesNotHold) {
  VARIANT v = Bstr(u"text");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
  TestObject object;
  v = Object(VT_DISPATCH, object);
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.References(), 1u);
  EXPECT_EQ(v.vt, VT_EMPTY);
  for (const VARTYPE vt : {VARTYPE(VT_ARRAY | VT_I4), VARTYPE(0x0FFF), VARTYPE(VT_VARIANT)}) {
    v.vt = vt;
    EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
    EXPECT_EQ(v.vt, vt);
  }
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, CopyDuplicatesStringsKeepingTheirBytesAndAddsReferences) {
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocStringByteLen("odd\0x", 5);
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  EXPECT_EQ(
      std::string(reinterpret_cast<const char*>(copy.bstrVal), SysStringByteLen(copy.bstrVal)),
      std::string("odd\0x", 5));
  VariantClear(&source);
  ASSERT_EQ(VariantCopy(&copy, &copy), S_OK);  // onto itself: kept
  EXPECT_EQ(SysStringByteLen(copy.bstrVal), 5u);
  TestObject object;
  source = Object(VT_DISPATCH, object);
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_EQ(copy.pdispVal, &object);
  EXPECT_EQ(object.References(), 3u);
  source.vt = VT_I2;  // the destination's object is released
  source.iVal = -7;
  object.Release();
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_EQ(object.References(), 1u);
  EXPECT_EQ(copy.iVal, -7);
  VARIANT kept = Bstr(u"kept");
  source.vt = VT_RECORD;
  EXPECT_EQ(VariantCopy(&kept, &source), DISP_E_BADVARTYPE);
  EXPECT_EQ(std::u16string(kept.bstrVal), u"kept");
  VariantClear(&kept);
}

TEST(Variant, CopyIndReadsThroughOneReference) {
  BSTR text = SysAllocString(u"behind");
  VARIANT source;
  source.vt = VT_BYREF | VT_BSTR;
  source.pbstrVal = &text;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, text);
  EXPECT_EQ(std::u16string(copy.bstrVal), u"behind");
  VariantClear(&copy);
  SysFreeString(text);

  VARIANT inner = Bstr(u"inner");
  VARIANT v;
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = &inner;
  ASSERT_EQ(VariantCopyInd(&v, &v), S_OK);  // in place
  EXPECT_EQ(std::u16string(v.bstrVal), u"inner");
  EXPECT_NE(v.bstrVal, inner.bstrVal);
  VariantClear(&v);
  VariantClear(&inner);

  TestObject object;
  IDispatch* pointer = &object;
  source.vt = VT_BYREF | VT_DISPATCH;
  source.ppdispVal = &pointer;
  ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
  EXPECT_EQ(object.References(), 2u);
  VariantClear(&copy);
  EXPECT_EQ(object.References(), 1u);
}

TEST(Variant, CopyIndRefusesAReferenceToAReference) {
  LONG value = 1;
  VARIANT middle;
  middle.vt = VT_BYREF | VT_I4;
  middle.plVal = &value;
  VARIANT outer;
  outer.vt = VT_BYREF | VT_VARIANT;
  outer.pvarVal = &middle;
  VARIANT copy;
  VariantInit(&copy);
  EXPECT_EQ(VariantCopyInd(&copy, &outer), E_INVALIDARG);
  outer.pvarVal = nullptr;
  EXPECT_EQ(VariantCopyInd(&copy, &outer), E_INVALIDARG);
  EXPECT_EQ(copy.vt, VT_EMPTY);
}

}  // namespace
