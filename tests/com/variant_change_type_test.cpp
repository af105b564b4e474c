// VariantChangeType: the conversion table, overflow and mismatch, booleans as text, objects.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lyr/com/com.h"
#include "test_object.h"

namespace {

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
const auto Empty = [] { return Value{}; };
const auto Null = [] { return Value{VT_NULL, 0, 0, u""}; };

// The width in bytes of each value type's field in the union, by VARTYPE up to VT_UINT (the
// integer fields share its low bytes).
constexpr size_t kWidth[] = {0, 0, 2, 4, 4, 8, 8, 8, 0, 0, 0, 2,
                             0, 0, 0, 0, 1, 1, 2, 4, 8, 8, 4, 4};

VARIANT Make(const Value& value) {
  VARIANT v;
  std::memset(static_cast<void*>(&v), 0, sizeof v);
  v.vt = value.vt;
  if (value.vt == VT_BSTR) {
    v.bstrVal = SysAllocStringLen(value.s.data(), static_cast<UINT>(value.s.size()));
  } else if (value.vt == VT_R4) {
    v.fltVal = static_cast<float>(value.r);
  } else if (value.vt == VT_R8 || value.vt == VT_DATE) {
    v.dblVal = value.r;
  } else {
    v.llVal = value.i;
  }
  return v;
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

TEST_P(VariantChangeTypeTable, ConvertsAsOleAutomationDoes) {
  const ChangeCase& c = GetParam();
  VARIANT source = Make(c.source);
  VARIANT dest;
  VariantInit(&dest);
  ASSERT_EQ(VariantChangeType(&dest, &source, c.flags, c.target), c.expected);
  VARIANT want = c.expected == S_OK ? Make(c.result) : VARIANT{};
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
    // Integers between widths, within and beyond range.
    {"I4ToI2", Int(VT_I4, -32768), 0, VT_I2, S_OK, Int(VT_I2, -32768)},
    {"I4ToI2Overflow", Int(VT_I4, 32768), 0, VT_I2, DISP_E_OVERFLOW, {}},
    {"I4ToI2Underflow", Int(VT_I4, -32769), 0, VT_I2, DISP_E_OVERFLOW, {}},
    {"I2ToI4", Int(VT_I2, -5), 0, VT_I4, S_OK, Int(VT_I4, -5)},
    {"I4ToInt", Int(VT_I4, 123456), 0, VT_INT, S_OK, Int(VT_INT, 123456)},
    {"I4ToUi1", Int(VT_I4, 255), 0, VT_UI1, S_OK, Int(VT_UI1, 255)},
    {"I4ToUi1Overflow", Int(VT_I4, 256), 0, VT_UI1, DISP_E_OVERFLOW, {}},
    {"NegativeI2ToUi1Overflow", Int(VT_I2, -1), 0, VT_UI1, DISP_E_OVERFLOW, {}},
    {"Ui4ToI4Overflow", Int(VT_UI4, 0x80000000LL), 0, VT_I4, DISP_E_OVERFLOW, {}},
    {"I8ToI4Overflow", Int(VT_I8, 1LL << 40), 0, VT_I4, DISP_E_OVERFLOW, {}},
    // Reals round half to even and check range.
    {"R8ToI4RoundsHalfToEven", Real(VT_R8, 2.5), 0, VT_I4, S_OK, Int(VT_I4, 2)},
    {"R8ToI4RoundsHalfUpToEven", Real(VT_R8, 3.5), 0, VT_I4, S_OK, Int(VT_I4, 4)},
    {"R8ToI2Overflow", Real(VT_R8, 32767.6), 0, VT_I2, DISP_E_OVERFLOW, {}},
    {"R8ToUi1Negative", Real(VT_R8, -0.6), 0, VT_UI1, DISP_E_OVERFLOW, {}},
    {"I4ToR8", Int(VT_I4, -3), 0, VT_R8, S_OK, Real(VT_R8, -3)},
    // Booleans as numbers.
    {"BoolTrueToI4", Bool(true), 0, VT_I4, S_OK, Int(VT_I4, -1)},
    {"BoolTrueToUi1", Bool(true), 0, VT_UI1, S_OK, Int(VT_UI1, 255)},
    {"I4ToBoolNonZero", Int(VT_I4, 7), 0, VT_BOOL, S_OK, Bool(true)},
    {"I4ToBoolZero", Int(VT_I4, 0), 0, VT_BOOL, S_OK, Bool(false)},
    {"IntToBool", Int(VT_INT, -2), 0, VT_BOOL, S_OK, Bool(true)},
    // Booleans as text.
    {"BoolTrueToBstr", Bool(true), 0, VT_BSTR, S_OK, Text(u"-1")},
    {"BoolFalseToBstr", Bool(false), 0, VT_BSTR, S_OK, Text(u"0")},
    {"BoolTrueToBstrAlpha", Bool(true), VARIANT_ALPHABOOL, VT_BSTR, S_OK, Text(u"True")},
    {"BoolFalseToBstrAlpha", Bool(false), VARIANT_ALPHABOOL, VT_BSTR, S_OK, Text(u"False")},
    {"BoolTrueToBstrLocal", Bool(true), VARIANT_LOCALBOOL, VT_BSTR, S_OK, Text(u"True")},
    {"BstrTrueToBool", Text(u"True"), 0, VT_BOOL, S_OK, Bool(true)},
    {"BstrFalseAnyCaseToBool", Text(u" fALSE "), 0, VT_BOOL, S_OK, Bool(false)},
    {"BstrNumberToBool", Text(u"-1"), 0, VT_BOOL, S_OK, Bool(true)},
    {"BstrWordToBoolMismatch", Text(u"yes"), 0, VT_BOOL, DISP_E_TYPEMISMATCH, {}},
    // Numbers as text and text as numbers.
    {"I4ToBstr", Int(VT_I4, -2147483647 - 1), 0, VT_BSTR, S_OK, Text(u"-2147483648")},
    {"Ui1ToBstr", Int(VT_UI1, 255), 0, VT_BSTR, S_OK, Text(u"255")},
    {"R8ToBstr", Real(VT_R8, 1.5), 0, VT_BSTR, S_OK, Text(u"1.5")},
    {"BstrToI4", Text(u"  -123 "), 0, VT_I4, S_OK, Int(VT_I4, -123)},
    {"BstrPlusToI2", Text(u"+77"), 0, VT_I2, S_OK, Int(VT_I2, 77)},
    {"BstrToUi1", Text(u"255"), 0, VT_UI1, S_OK, Int(VT_UI1, 255)},
    {"BstrToInt", Text(u"2147483647"), 0, VT_INT, S_OK, Int(VT_INT, 2147483647)},
    {"BstrFractionToI4Rounds", Text(u"1.5"), 0, VT_I4, S_OK, Int(VT_I4, 2)},
    {"BstrExponentToI4", Text(u"1e3"), 0, VT_I4, S_OK, Int(VT_I4, 1000)},
    {"BstrToI4Overflow", Text(u"2147483648"), 0, VT_I4, DISP_E_OVERFLOW, {}},
    {"BstrToUi1Overflow", Text(u"256"), 0, VT_UI1, DISP_E_OVERFLOW, {}},
    {"BstrNegativeToUi1Overflow", Text(u"-1"), 0, VT_UI1, DISP_E_OVERFLOW, {}},
    {"BstrHugeToI4Overflow", Text(u"99999999999999999999999"), 0, VT_I4, DISP_E_OVERFLOW, {}},
    {"BstrLettersToI4Mismatch", Text(u"12a"), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrEmptyToI4Mismatch", Text(u""), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrBlankToI2Mismatch", Text(u"   "), 0, VT_I2, DISP_E_TYPEMISMATCH, {}},
    {"BstrSignOnlyToI4Mismatch", Text(u"-"), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrDoubleSignToI4Mismatch", Text(u"+-1"), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrArabicIndicDigitsMismatch", Text(u"١٢"), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"BstrEmbeddedNulMismatch",
     Text(std::u16string(u"1\0002", 3)),
     0,
     VT_I4,
     DISP_E_TYPEMISMATCH,
     {}},
    {"BstrToBstr", Text(u"Привет"), 0, VT_BSTR, S_OK, Text(u"Привет")},
    // Empty and null.
    {"EmptyToI4", Empty(), 0, VT_I4, S_OK, Int(VT_I4, 0)},
    {"EmptyToBool", Empty(), 0, VT_BOOL, S_OK, Bool(false)},
    {"EmptyToBstr", Empty(), 0, VT_BSTR, S_OK, Text(u"")},
    {"NullToI4Mismatch", Null(), 0, VT_I4, DISP_E_TYPEMISMATCH, {}},
    {"NullToBstrMismatch", Null(), 0, VT_BSTR, DISP_E_TYPEMISMATCH, {}},
    {"NullToNull", Null(), 0, VT_NULL, S_OK, Null()},
    // Scalars are not objects.
    {"I4ToDispatchMismatch", Int(VT_I4, 1), 0, VT_DISPATCH, DISP_E_TYPEMISMATCH, {}},
    {"BstrToUnknownMismatch", Text(u"x"), 0, VT_UNKNOWN, DISP_E_TYPEMISMATCH, {}},
    // Types that are not value types.
    {"ToVariantBadType", Int(VT_I4, 1), 0, VT_VARIANT, DISP_E_BADVARTYPE, {}},
    {"ToByrefBadType", Int(VT_I4, 1), 0, VT_BYREF | VT_I4, DISP_E_BADVARTYPE, {}},
    {"ToArrayBadType", Int(VT_I4, 1), 0, VT_ARRAY | VT_I4, DISP_E_BADVARTYPE, {}},
    {"FromUnknownTypeBadType", Value{0x0FFF, 0, 0, u""}, 0, VT_I4, DISP_E_BADVARTYPE, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, VariantChangeTypeTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ChangeCase>& info) {
                           return info.param.name;
                         });

TEST(VariantChangeType, FailureLeavesTheDestinationAsItWas) {
  VARIANT source;
  source.vt = VT_I4;
  source.lVal = 70000;
  VARIANT dest;
  dest.vt = VT_BSTR;
  dest.bstrVal = SysAllocString(u"kept");
  ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_I2), DISP_E_OVERFLOW);
  EXPECT_EQ(dest.vt, VT_BSTR);
  EXPECT_EQ(std::u16string(dest.bstrVal), u"kept");
  VariantClear(&dest);
}

TEST(VariantChangeType, UnknownToDispatchAsksForIDispatch) {
  lyr::test::TestObject dispatch;
  VARIANT source;
  source.vt = VT_UNKNOWN;
  source.punkVal = &dispatch;
  VARIANT dest;
  VariantInit(&dest);
  ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_DISPATCH), S_OK);
  EXPECT_EQ(dest.pdispVal, &dispatch);
  VariantClear(&dest);
  EXPECT_EQ(dispatch.References(), 1u);

  lyr::test::PlainUnknown plain;
  source.punkVal = &plain;
  EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_DISPATCH), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(plain.References(), 1u);
}

TEST(VariantChangeType, ObjectToScalarUsesItsDefaultValue) {
  lyr::test::TestObject object(1234);
  VARIANT source;
  source.vt = VT_DISPATCH;
  source.pdispVal = &object;
  VARIANT dest;
  VariantInit(&dest);
  ASSERT_EQ(VariantChangeType(&dest, &source, 0, VT_BSTR), S_OK);
  EXPECT_EQ(std::u16string(dest.bstrVal), u"1234");
  VariantClear(&dest);
  EXPECT_EQ(VariantChangeType(&dest, &source, 0, VT_UI1), DISP_E_OVERFLOW);
  EXPECT_EQ(VariantChangeType(&dest, &source, VARIANT_NOVALUEPROP, VT_I4), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(object.References(), 1u);
}

}  // namespace
