// VARIANT lifetime (VariantClear/Copy/CopyInd and who owns what afterwards) and VariantChangeType
// (the conversion table, overflow and mismatch, booleans as text, objects).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lyr/com/com.h"

namespace {

// A reference-counted IDispatch object that answers DISPID_VALUE with a fixed value, or a plain
// IUnknown that refuses IDispatch. The test owns it; References() counts the others' references.
class TestObject final : public IDispatch {
 public:
  explicit TestObject(LONG defaultValue = 42, bool dispatch = true)
      : defaultValue_(defaultValue), dispatch_(dispatch) {}

  ULONG References() const { return references_; }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || (dispatch_ && riid == IID_IDispatch) ? this : nullptr;
    return *ppv != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override { return --references_; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID member, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                 UINT*) override {
    if (member != DISPID_VALUE || (flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) {
      return DISP_E_MEMBERNOTFOUND;
    }
    result->vt = VT_I4;
    result->lVal = defaultValue_;
    return S_OK;
  }

 private:
  ULONG references_ = 1;
  LONG defaultValue_;
  bool dispatch_;
};

// A scalar value in a form a table can hold: integers in i, reals in r, text in s.
struct Value {
  VARTYPE vt = VT_EMPTY;
  int64_t i = 0;
  double r = 0;
  std::u16string s;
};

const auto Int = [](VARTYPE vt, int64_t i) { return Value{vt, i, 0, u""}; };
const auto Real = [](VARTYPE vt, double r) { return Value{vt, 0, r, u""}; };
const auto Text = [](std::u16string s) { return Value{VT_BSTR, 0, 0, std::move(s)}; };
const auto Bool = [](bool b) { return Value{VT_BOOL, b ? -1 : 0, 0, u""}; };

// The width in bytes of each value type's field in the union, by VARTYPE up to VT_UINT.
constexpr size_t kWidth[] = {0, 0, 2, 4, 4, 8, 8, 8, 0, 0, 0, 2,
                             0, 0, 0, 0, 1, 1, 2, 4, 8, 8, 4, 4};

VARIANT Make(const Value& value) {
  VARIANT v;
  std::memset(static_cast<void*>(&v), 0, sizeof v);
  v.vt = value.vt;
  if (value.vt == VT_BSTR) {
    v.bstrVal = SysAllocStringLen(value.s.data(), static_cast<UINT>(value.s.size()));
  } else if (value.vt == VT_R8) {
    v.dblVal = value.r;
  } else {
    v.llVal = value.i;
  }
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
  VARIANT v = Make(Text(u"text"));
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
  VARIANT kept = Make(Text(u"kept"));
  source.vt = VT_RECORD;
  EXPECT_EQ(VariantCopy(&kept, &source), DISP_E_BADVARTYPE);
  EXPECT_EQ(std::u16string(kept.bstrVal), u"kept");
  VariantClear(&kept);
}

TEST(Variant, CopyIndReadsThroughOneReferenceOnly) {
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

  VARIANT inner = Make(Text(u"inner"));
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
  // A reference to a reference, or to nothing, is refused.
  LONG value = 1;
  VARIANT middle;
  middle.vt = VT_BYREF | VT_I4;
  middle.plVal = &value;
  source.vt = VT_BYREF | VT_VARIANT;
  source.pvarVal = &middle;
  EXPECT_EQ(VariantCopyInd(&copy, &source), E_INVALIDARG);
  source.pvarVal = nullptr;
  EXPECT_EQ(VariantCopyInd(&copy, &source), E_INVALIDARG);
  EXPECT_EQ(copy.vt, VT_EMPTY);
}

struct ChangeCase {
  const char* name;
  Value source;
  USHORT flags;
  VARTYPE target;
  HRESULT expected;
  Value result;  // checked when expected is S_OK
};

class VariantChangeTypeTable : public ::testing::TestWithParam<ChangeCase> {};

// A failed conversion leaves the destination as it was.
TEST_P(VariantChangeTypeTable, ConvertsAsOleAutomationDoes) {
  const ChangeCase& c = GetParam();
  VARIANT source = Make(c.source);
  VARIANT dest = Make(Text(u"kept"));
  ASSERT_EQ(VariantChangeType(&dest, &source, c.flags, c.target), c.expected);
  VARIANT want = Make(c.expected == S_OK ? c.result : Text(u"kept"));
  EXPECT_EQ(dest.vt, want.vt);
  if (dest.vt == VT_BSTR && want.vt == VT_BSTR) {
    EXPECT_EQ(std::u16string(dest.bstrVal, SysStringLen(dest.bstrVal)),
              std::u16string(want.bstrVal, SysStringLen(want.bstrVal)));
  } else {
    EXPECT_EQ(std::memcmp(&dest.llVal, &want.llVal, want.vt <= VT_UINT ? kWidth[want.vt] : 0), 0);
  }
  VariantClear(&want);
  VariantClear(&dest);
  VariantClear(&source);
}

const ChangeCase kCases[] = {
    {"I4ToI2", Int(VT_I4, -32768), 0, VT_I2, S_OK, Int(VT_I2, -32768)},
    {"I8ToI2Overflow", Int(VT_I8, 32768), 0, VT_I2, DISP_E_OVERFLOW, {}},
    {"NegativeI2ToUi1Overflow", Int(VT_I2, -1), 0, VT_UI1, DISP_E_OVERFLOW, {}},
    {"Ui4ToI4Overflow", Int(VT_UI4, 0x80000000LL), 0, VT_I4, DISP_E_OVERFLOW, {}},
    {"R8ToI4RoundsHalfToEven", Real(VT_R8, 2.5), 0, VT_I4, S_OK, Int(VT_I4, 2)},
    {"R8ToI4RoundsHalfUpToEven", Real(VT_R8, 3.5), 0, VT_I4, S_OK, Int(VT_I4, 4)},
    {"R8ToI2Overflow", Real(VT_R8, 32767.6), 0, VT_I2, DISP_E_OVERFLOW, {}},
    {"R8ToUi1Negative", Real(VT_R8, -0.6), 0, VT_UI1, DISP_E_OVERFLOW, {}},
    {"I4ToR8", Int(VT_I4, -3), 0, VT_R8, S_OK, Real(VT_R8, -3)},
    {"BoolTrueToUi1", Bool(true), 0, VT_UI1, S_OK, Int(VT_UI1, 255)},
    {"IntToBool", Int(VT_INT, -2), 0, VT_BOOL, S_OK, Bool(true)},
    {"BoolFalseToBstr", Bool(false), 0, VT_BSTR, S_OK, Text(u"0")},
    {"BoolTrueToBstrLocal", Bool(true), VARIANT_LOCALBOOL, VT_BSTR, S_OK, Text(u"True")},
    {"BstrTrueToBool", Text(u"True"), 0, VT_BOOL, S_OK, Bool(true)},
    {"BstrFalseAnyCaseToBool", Text(u" fALSE "), 0, VT_BOOL, S_OK, Bool(false)},
    {"BstrNumberToBool", Text(u"-1"), 0, VT_BOOL, S_OK, Bool(true)},
    {"BstrWordToBoolMismatch", Text(u"yes"), 0, VT_BOOL, DISP_E_TYPEMISMATCH, {}},
    {"Ui1ToBstr", Int(VT_UI1, 255), 0, VT_BSTR, S_OK, Text(u"255")},
    {"R8ToBstr", Real(VT_R8, 1.5), 0, VT_BSTR, S_OK, Text(u"1.5")},
    {"BstrPlusToI2", Text(u"+77"), 0, VT_I2, S_OK, Int(VT_I2, 77)},
    {"BstrExponentToI4", Text(u"1e3"), 0, VT_I4, S_OK, Int(VT_I4, 1000)},
    {"BstrHugeToI4Overflow", Text(u"99999999999999999999999"), 0, VT_I4, DISP_E_OVERFLOW, {}},
    {"BstrLettersToI4Mismatch", Text(u"12a"), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrEmptyToI4Mismatch", Text(u""), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrDoubleSignToI4Mismatch", Text(u"+-1"), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrArabicIndicDigitsMismatch", Text(u"١٢"), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrToBstr", Text(u"Привет"), 0, VT_BSTR, S_OK, Text(u"Привет")},
    {"EmptyToI4", Value{}, 0, VT_I4, S_OK, Int(VT_I4, 0)},
    {"EmptyToBstr", Value{}, 0, VT_BSTR, S_OK, Text(u"")},
    {"NullToI4Mismatch", Int(VT_NULL, 0), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"NullToBstrMismatch", Int(VT_NULL, 0), 0, VT_BSTR, DISP_E_TYPEMISMATCH, {}},
    {"I4ToDispatchMismatch", Int(VT_I4, 1), 0, VT_DISPATCH, DISP_E_TYPEMISMATCH, {}},
    {"FromUnknownTypeBadType", Value{0x0FFF, 0, 0, u""}, 0, VT_I4, DISP_E_BADVARTYPE, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, VariantChangeTypeTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ChangeCase>& info) {
                           return info.param.name;
                         });

// An IUnknown becomes an IDispatch when it is one; an object becomes a scalar by its default value.
TEST(VariantChangeType, ObjectsConvertThroughIDispatchAndTheirDefaultValue) {
  TestObject object(1234);
  TestObject plain(0, false);
  VARIANT source;
  source.vt = VT_UNKNOWN;
  source.punkVal = &object;
  VARIANT dest;
  VariantInit(&dest);
  ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_DISPATCH), S_OK);
  EXPECT_EQ(dest.pdispVal, &object);
  VariantClear(&dest);
  source.punkVal = &plain;
  EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
  source.vt = VT_DISPATCH;
  source.pdispVal = &object;
  ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_BSTR), S_OK);
  EXPECT_EQ(std::u16string(dest.bstrVal), u"1234");
  VariantClear(&dest);
  EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(VariantChangeType(&dest, &source, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.References(), 1u);
  EXPECT_EQ(plain.References(), 1u);
}

}  // namespace
