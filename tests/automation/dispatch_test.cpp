// IDispatch and ITypeInfo from the type library table, on an object of the real frame: names,
// argument order and coercion, property puts, by-reference arguments, failures and EXCEPINFO.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "rtl/text.h"
#include "test_file_object.h"

namespace lyr::automation::test {
namespace {

struct Variant {
  VARIANT value;
  Variant() { ::VariantInit(&value); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { ::VariantClear(&value); }
};

VARIANT BstrArg(std::u16string_view text) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = AllocBstr(text);
  return v;
}

VARIANT I4Arg(LONG value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT BoolArg(bool value) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetErrorInfo(0, nullptr);
    ASSERT_EQ(file_->QueryInterface(IID_IDispatch, dispatch_.ReceiveVoid()), S_OK);
  }
  void TearDown() override {
    ClearArgs();
    ::SetErrorInfo(0, nullptr);
  }

  void ClearArgs() {
    for (VARIANT& v : args_) {
      ::VariantClear(&v);
    }
    args_.clear();
  }

  DISPID IdOf(const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), S_OK) << "name";
    return id;
  }

  // Invokes with args_ (already in the host's reverse order).
  HRESULT Call(DISPID id, WORD flags, VARIANT* result, EXCEPINFO* exception = nullptr,
               UINT* argument_error = nullptr, std::vector<DISPID> named = {}) {
    DISPPARAMS params{args_.data(), named.empty() ? nullptr : named.data(),
                      static_cast<UINT>(args_.size()), static_cast<UINT>(named.size())};
    return dispatch_->Invoke(id, IID_NULL, 0x0409, flags, &params, result, exception,
                             argument_error);
  }

  ComPtr<CComObject<CTestFile_class>> file_ = MakeObject<CTestFile_class>();
  ComPtr<IDispatch> dispatch_;
  std::vector<VARIANT> args_;
};

TEST_F(Dispatch, FindsNamesCaseInsensitivelyWithParameterPositions) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"addsign"), const_cast<LPOLESTR>(u"ENROLE"),
                      const_cast<LPOLESTR>(u"wsSignatureContent")};
  DISPID ids[3] = {};
  EXPECT_EQ(dispatch_->GetIDsOfNames(IID_NULL, names, 3, 0, ids), S_OK);
  EXPECT_EQ(ids[0], 214);
  EXPECT_EQ(ids[1], 1);
  EXPECT_EQ(ids[2], 0);
}

TEST_F(Dispatch, PassesArgumentsInDeclarationOrderFromTheReversedList) {
  args_ = {I4Arg(SIGN_ROLE_TYPE_SOS), BstrArg(u"подпись")};
  Variant result;
  EXPECT_EQ(Call(IdOf(u"AddSign"), DISPATCH_METHOD | DISPATCH_PROPERTYGET, &result.value), S_OK);
  EXPECT_EQ(result.value.vt, VT_BOOL);
  EXPECT_EQ(result.value.boolVal, VARIANT_TRUE);
  EXPECT_EQ(file_->signature, rtl::Msg(u8"подпись"));
  EXPECT_EQ(file_->role, SIGN_ROLE_TYPE_SOS);
}

TEST_F(Dispatch, CoercesArgumentsThroughVariantChangeType) {
  args_ = {BstrArg(u"0"), I4Arg(1)};  // bCheckCRL "0" -> false, bDownloadContent 1 -> true
  Variant result;
  EXPECT_EQ(Call(213, DISPATCH_METHOD, &result.value), S_OK);
  EXPECT_EQ(result.value.boolVal, VARIANT_TRUE);
}

TEST_F(Dispatch, ReportsATypeMismatchWithTheArgumentIndex) {
  args_ = {BstrArg(u"not a number"), BstrArg(u"content")};
  UINT argument_error = 99;
  Variant result;
  EXPECT_EQ(Call(214, DISPATCH_METHOD, &result.value, nullptr, &argument_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argument_error, 0u);
}

TEST_F(Dispatch, AcceptsArgumentsByReference) {
  BSTR text = AllocBstr(u"по ссылке");
  LONG role = SIGN_ROLE_TYPE_TDX;
  VARIANT by_ref_role;
  ::VariantInit(&by_ref_role);
  by_ref_role.vt = VT_I4 | VT_BYREF;
  by_ref_role.plVal = &role;
  VARIANT by_ref_text;
  ::VariantInit(&by_ref_text);
  by_ref_text.vt = VT_BSTR | VT_BYREF;
  by_ref_text.pbstrVal = &text;
  DISPPARAMS params{nullptr, nullptr, 2, 0};
  VARIANT list[2] = {by_ref_role, by_ref_text};
  params.rgvarg = list;
  Variant result;
  EXPECT_EQ(dispatch_->Invoke(214, IID_NULL, 0, DISPATCH_METHOD, &params, &result.value, nullptr,
                              nullptr),
            S_OK);
  EXPECT_EQ(file_->signature, rtl::Msg(u8"по ссылке"));
  EXPECT_EQ(file_->role, SIGN_ROLE_TYPE_TDX);
  ::SysFreeString(text);
}

TEST_F(Dispatch, PutsPropertiesWithTheNamedPropertyPutArgument) {
  args_ = {BstrArg(u"имя.bin")};
  EXPECT_EQ(Call(IdOf(u"FileName"), DISPATCH_PROPERTYPUT, nullptr, nullptr, nullptr,
                 {DISPID_PROPERTYPUT}),
            S_OK);
  EXPECT_EQ(file_->file_name, rtl::Msg(u8"имя.bin"));
  ClearArgs();
  Variant result;
  EXPECT_EQ(Call(208, DISPATCH_PROPERTYGET, &result.value), S_OK);
  ASSERT_EQ(result.value.vt, VT_BSTR);
  EXPECT_EQ(BstrView(result.value.bstrVal), u"имя.bin");
}

TEST_F(Dispatch, WrongArgumentCountIsRefused) {
  args_ = {BoolArg(true)};
  EXPECT_EQ(Call(213, DISPATCH_METHOD, nullptr), DISP_E_BADPARAMCOUNT);
}

TEST_F(Dispatch, UnknownDispidOrWrongKindIsMemberNotFound) {
  EXPECT_EQ(Call(999, DISPATCH_METHOD, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(201, DISPATCH_PROPERTYPUT, nullptr, nullptr, nullptr, {DISPID_PROPERTYPUT}),
            DISP_E_MEMBERNOTFOUND);                                            // DocType has no put
  EXPECT_EQ(Call(209, DISPATCH_PROPERTYGET, nullptr), DISP_E_MEMBERNOTFOUND);  // a method
}

TEST_F(Dispatch, FailingMemberGivesExceptionWithExcepInfoAndKeepsErrorInfo) {
  file_->fail_message = rtl::Msg(u8"Подпись не прошла проверку");
  EXCEPINFO exception{};
  Variant result;
  EXPECT_EQ(Call(209, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &result.value, &exception),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, static_cast<SCODE>(0x8000FFFF));
  EXPECT_EQ(BstrView(exception.bstrDescription), u"Подпись не прошла проверку");
  EXPECT_EQ(BstrView(exception.bstrSource), u"LyrTdxPackage880.Tdx880Package");
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrSource);
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(::GetErrorInfo(0, info.Receive()), S_OK);
  EXPECT_TRUE(info);
}

TEST_F(Dispatch, PassesObjectsAsTheirDeclaredInterface) {
  auto key = MakeObject<CTestKey_class>();
  key->container = rtl::Msg(u8"контейнер");
  VARIANT object;
  ::VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = key->DispatchPointer();
  object.pdispVal->AddRef();
  args_ = {object};
  Variant result;
  EXPECT_EQ(Call(210, DISPATCH_METHOD, &result.value), S_OK);
  EXPECT_EQ(file_->file_name, rtl::Msg(u8"контейнер"));
}

TEST_F(Dispatch, RefusesAnObjectOfAnotherInterface) {
  auto other = MakeObject<CTestFile_class>();
  VARIANT object;
  ::VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = other->DispatchPointer();
  object.pdispVal->AddRef();
  args_ = {object};
  UINT argument_error = 9;
  EXPECT_EQ(Call(210, DISPATCH_METHOD, nullptr, nullptr, &argument_error), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argument_error, 0u);
}

}  // namespace
}  // namespace lyr::automation::test

namespace lyr::automation::test {
namespace {

TEST_F(Dispatch, CarriesEveryWindows1251ByteThroughBstrExactly) {
  std::string bytes;
  for (int i = 1; i < 256; ++i) {
    bytes.push_back(static_cast<char>(i));
  }
  args_ = {I4Arg(SIGN_ROLE_TYPE_ABONENT), BstrArg(rtl::AnsiToUtf16(bytes))};
  Variant result;
  ASSERT_EQ(Call(214, DISPATCH_METHOD, &result.value), S_OK);
  EXPECT_EQ(file_->signature, bytes);
  ClearArgs();
  Variant back;
  ASSERT_EQ(Call(201, DISPATCH_PROPERTYGET, &back.value), S_OK);  // DocType returns it
  ASSERT_EQ(back.value.vt, VT_BSTR);
  EXPECT_EQ(BstrToAnsi(back.value.bstrVal), bytes);
}

TEST(ChildObjects, TakeTheSafeModeTheyAreGiven) {
  auto child = MakeObject<CTestKey_class>();
  CTdx880SafeInterface::PassSafeMode(true, child->DispatchPointer());
  EXPECT_TRUE(child->SafeMode());
  CTdx880SafeInterface::PassSafeMode(false, child->DispatchPointer());
  EXPECT_FALSE(child->SafeMode());
}

}  // namespace
}  // namespace lyr::automation::test

// Enumerations are 32-bit in C++ too, so any value a host passes (7 for DeklKind) is well defined.
static_assert(std::is_same_v<std::underlying_type_t<DEKL_KIND_TYPES>, int32_t>);
static_assert(std::is_same_v<std::underlying_type_t<SIGN_ROLE_TYPES>, int32_t>);
