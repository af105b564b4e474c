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

TEST(Variant, ClearFreesTheStringAndLeavesEmpty) {
  VARIANT v = Bstr(u"text");
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(Variant, ClearReleasesTheObject) {
  TestObject object;
  VARIANT v;
  v.vt = VT_DISPATCH;
  v.pdispVal = &object;
  object.AddRef();
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.References(), 1u);
  EXPECT_EQ(v.vt, VT_EMPTY);
}

TEST(Variant, ClearRefusesTypesItDoesNotHold) {
  VARIANT v;
  v.vt = VT_ARRAY | VT_I4;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(v.vt, VT_ARRAY | VT_I4);
  v.vt = 0x0FFF;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  v.vt = VT_VARIANT;
  EXPECT_EQ(VariantClear(&v), DISP_E_BADVARTYPE);
  EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, CopyDuplicatesTheStringKeepingItsBytes) {
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_BSTR;
  source.bstrVal = SysAllocStringByteLen("odd\0x", 5);
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_EQ(copy.vt, VT_BSTR);
  EXPECT_NE(copy.bstrVal, source.bstrVal);
  EXPECT_EQ(SysStringByteLen(copy.bstrVal), 5u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(copy.bstrVal), 5), std::string("odd\0x", 5));
  VariantClear(&source);
  VariantClear(&copy);
}

TEST(Variant, CopyAddsAReferenceToTheObject) {
  TestObject object;
  VARIANT source;
  source.vt = VT_DISPATCH;
  source.pdispVal = &object;
  object.AddRef();
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &source), S_OK);
  EXPECT_EQ(copy.pdispVal, &object);
  EXPECT_EQ(object.References(), 3u);
  VariantClear(&copy);
  VariantClear(&source);
  EXPECT_EQ(object.References(), 1u);
}

TEST(Variant, CopyClearsWhatTheDestinationHeld) {
  TestObject object;
  VARIANT dest;
  dest.vt = VT_UNKNOWN;
  dest.punkVal = &object;
  object.AddRef();
  VARIANT source;
  source.vt = VT_I2;
  source.iVal = -7;
  ASSERT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_EQ(object.References(), 1u);
  EXPECT_EQ(dest.vt, VT_I2);
  EXPECT_EQ(dest.iVal, -7);
}

TEST(Variant, CopyOntoItselfKeepsTheValue) {
  VARIANT v = Bstr(u"same");
  ASSERT_EQ(VariantCopy(&v, &v), S_OK);
  EXPECT_EQ(std::u16string(v.bstrVal), u"same");
  VariantClear(&v);
}

TEST(Variant, CopyRefusesABadSourceTypeAndKeepsTheDestination) {
  VARIANT dest = Bstr(u"kept");
  VARIANT source;
  source.vt = VT_RECORD;
  EXPECT_EQ(VariantCopy(&dest, &source), DISP_E_BADVARTYPE);
  EXPECT_EQ(std::u16string(dest.bstrVal), u"kept");
  VariantClear(&dest);
}

TEST(Variant, CopyIndReadsThroughAStringReference) {
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
}

TEST(Variant, CopyIndReadsThroughAVariantReferenceInPlace) {
  VARIANT inner = Bstr(u"inner");
  VARIANT v;
  v.vt = VT_BYREF | VT_VARIANT;
  v.pvarVal = &inner;
  ASSERT_EQ(VariantCopyInd(&v, &v), S_OK);
  EXPECT_EQ(v.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(v.bstrVal), u"inner");
  EXPECT_NE(v.bstrVal, inner.bstrVal);
  VariantClear(&v);
  VariantClear(&inner);
}

TEST(Variant, CopyIndAddsAReferenceToAReferencedObject) {
  TestObject object;
  IDispatch* pointer = &object;
  VARIANT source;
  source.vt = VT_BYREF | VT_DISPATCH;
  source.ppdispVal = &pointer;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopyInd(&copy, &source), S_OK);
  EXPECT_EQ(copy.vt, VT_DISPATCH);
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
