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

VARIANT Arg(VARTYPE vt, LONG value, std::u16string_view text = u"") {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = vt;
  if (vt == VT_BSTR) {
    v.bstrVal = AllocBstr(text);
  } else {
    v.lVal = value;  // VT_I4, and VT_BOOL in its low half
  }
  return v;
}

VARIANT ObjectArg(CTdx880SafeAutoIntfObjectBase<ITdx880Key>& object) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = object.DispatchPointer();
  v.pdispVal->AddRef();
  return v;
}

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ::SetErrorInfo(0, nullptr);
    ASSERT_EQ(file_->QueryInterface(IID_IDispatch, dispatch_.ReceiveVoid()), S_OK);
  }
  void TearDown() override {
    ::VariantClear(&result_);
    ::SetErrorInfo(0, nullptr);
  }

  // Invokes with args (in the host's reverse order), which it then clears; result_ takes the value.
  HRESULT Call(DISPID id, WORD flags, std::vector<VARIANT> args, UINT* argument_error = nullptr,
               EXCEPINFO* exception = nullptr) {
    DISPID put = DISPID_PROPERTYPUT;
    const bool is_put = flags == DISPATCH_PROPERTYPUT;
    DISPPARAMS params{args.data(), is_put ? &put : nullptr, static_cast<UINT>(args.size()),
                      is_put ? 1u : 0u};
    ::VariantClear(&result_);
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0x0409, flags, &params,
                                         is_put ? nullptr : &result_, exception, argument_error);
    for (VARIANT& v : args) {
      ::VariantClear(&v);
    }
    return hr;
  }

  ComPtr<CComObject<CTestFile_class>> file_ = MakeObject<CTestFile_class>();
  ComPtr<IDispatch> dispatch_;
  VARIANT result_{};
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

TEST_F(Dispatch, PassesArgumentsInDeclarationOrderCoercedOrByReference) {
  // AddSign(wsSignatureContent, enRole) from the reversed list; every windows-1251 byte arrives.
  std::string bytes;
  for (int i = 1; i < 256; ++i) {
    bytes.push_back(static_cast<char>(i));
  }
  EXPECT_EQ(Call(214, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                 {Arg(VT_I4, SIGN_ROLE_TYPE_SOS), Arg(VT_BSTR, 0, rtl::AnsiToUtf16(bytes))}),
            S_OK);
  EXPECT_EQ(result_.vt, VT_BOOL);
  EXPECT_EQ(result_.boolVal, VARIANT_TRUE);
  EXPECT_EQ(file_->signature, bytes);
  EXPECT_EQ(file_->role, SIGN_ROLE_TYPE_SOS);
  ASSERT_EQ(Call(201, DISPATCH_PROPERTYGET, {}), S_OK);  // DocType returns it
  ASSERT_EQ(result_.vt, VT_BSTR);
  EXPECT_EQ(BstrToAnsi(result_.bstrVal), bytes);
  // CheckSignEx(bDownloadContent, bCheckCRL): "0" becomes false and 1 true.
  EXPECT_EQ(Call(213, DISPATCH_METHOD, {Arg(VT_BSTR, 0, u"0"), Arg(VT_I4, 1)}), S_OK);
  EXPECT_EQ(result_.boolVal, VARIANT_TRUE);
  // By reference.
  BSTR text = AllocBstr(u"по ссылке");
  LONG role = SIGN_ROLE_TYPE_TDX;
  VARIANT by_ref[2];
  ::VariantInit(&by_ref[0]);
  ::VariantInit(&by_ref[1]);
  by_ref[0].vt = VT_I4 | VT_BYREF;
  by_ref[0].plVal = &role;
  by_ref[1].vt = VT_BSTR | VT_BYREF;
  by_ref[1].pbstrVal = &text;
  EXPECT_EQ(Call(214, DISPATCH_METHOD, {by_ref[0], by_ref[1]}), S_OK);
  EXPECT_EQ(file_->signature, rtl::Msg(u8"по ссылке"));
  EXPECT_EQ(file_->role, SIGN_ROLE_TYPE_TDX);
  ::SysFreeString(text);
  // An object as its declared interface: Sign(pKey) names the file after the key's container.
  auto key = MakeObject<CTestKey_class>();
  key->container = rtl::Msg(u8"контейнер");
  EXPECT_EQ(Call(210, DISPATCH_METHOD, {ObjectArg(*key.Get())}), S_OK);
  EXPECT_EQ(file_->file_name, rtl::Msg(u8"контейнер"));
  // A property put with the named DISPID_PROPERTYPUT argument, read back by its get.
  EXPECT_EQ(Call(208, DISPATCH_PROPERTYPUT, {Arg(VT_BSTR, 0, u"имя.bin")}), S_OK);
  EXPECT_EQ(file_->file_name, rtl::Msg(u8"имя.bin"));
  ASSERT_EQ(Call(208, DISPATCH_PROPERTYGET, {}), S_OK);
  EXPECT_EQ(BstrView(result_.bstrVal), u"имя.bin");
}

TEST_F(Dispatch, RefusesWrongArgumentsAndMembersWithTheirDispatchErrors) {
  UINT argument_error = 99;
  EXPECT_EQ(Call(214, DISPATCH_METHOD,
                 {Arg(VT_BSTR, 0, u"not a number"), Arg(VT_BSTR, 0, u"content")}, &argument_error),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argument_error, 0u);
  auto other = MakeObject<CTestFile_class>();  // an object of another interface
  VARIANT object;
  ::VariantInit(&object);
  object.vt = VT_DISPATCH;
  object.pdispVal = other->DispatchPointer();
  object.pdispVal->AddRef();
  argument_error = 9;
  EXPECT_EQ(Call(210, DISPATCH_METHOD, {object}, &argument_error), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argument_error, 0u);
  EXPECT_EQ(Call(213, DISPATCH_METHOD, {Arg(VT_BOOL, VARIANT_TRUE)}), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(999, DISPATCH_METHOD, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(201, DISPATCH_PROPERTYPUT, {Arg(VT_BSTR, 0, u"x")}),
            DISP_E_MEMBERNOTFOUND);                                       // DocType has no put
  EXPECT_EQ(Call(209, DISPATCH_PROPERTYGET, {}), DISP_E_MEMBERNOTFOUND);  // a method
}

TEST_F(Dispatch, FailingMemberGivesExceptionWithExcepInfoAndKeepsErrorInfo) {
  file_->fail_message = rtl::Msg(u8"Подпись не прошла проверку");
  EXCEPINFO exception{};
  EXPECT_EQ(Call(209, DISPATCH_METHOD | DISPATCH_PROPERTYGET, {}, nullptr, &exception),
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

}  // namespace
}  // namespace lyr::automation::test

// Enumerations are 32-bit in C++ too, so any value a host passes (7 for DeklKind) is well defined.
static_assert(std::is_same_v<std::underlying_type_t<DEKL_KIND_TYPES>, int32_t>);
static_assert(std::is_same_v<std::underlying_type_t<SIGN_ROLE_TYPES>, int32_t>);
