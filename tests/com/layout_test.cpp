// Data layouts of the public types: the 64-bit COM sizes and offsets that hosts rely on.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "lyr/com/com.h"

namespace {

TEST(ComLayout, ScalarTypesHaveTheirFixedWidths) {
  EXPECT_EQ(sizeof(HRESULT), 4u);
  EXPECT_EQ(sizeof(LONG), 4u);
  EXPECT_EQ(sizeof(ULONG), 4u);
  EXPECT_EQ(sizeof(BOOL), 4u);
  EXPECT_EQ(sizeof(SHORT), 2u);
  EXPECT_EQ(sizeof(WORD), 2u);
  EXPECT_EQ(sizeof(BYTE), 1u);
  EXPECT_EQ(sizeof(LONGLONG), 8u);
  EXPECT_EQ(sizeof(VARIANT_BOOL), 2u);
  EXPECT_EQ(sizeof(DISPID), 4u);
  EXPECT_EQ(sizeof(LCID), 4u);
  EXPECT_EQ(sizeof(VARTYPE), 2u);
  EXPECT_EQ(sizeof(DATE), 8u);
  EXPECT_EQ(sizeof(OLECHAR), 2u);
  EXPECT_TRUE((std::is_same_v<OLECHAR, char16_t>));
  EXPECT_TRUE(std::is_signed_v<HRESULT>);
  EXPECT_EQ(VARIANT_TRUE, -1);
  EXPECT_EQ(VARIANT_FALSE, 0);
}

TEST(ComLayout, HresultConstantsHaveTheStandardValues) {
  EXPECT_EQ(static_cast<uint32_t>(E_NOTIMPL), 0x80004001u);
  EXPECT_EQ(static_cast<uint32_t>(E_NOINTERFACE), 0x80004002u);
  EXPECT_EQ(static_cast<uint32_t>(E_POINTER), 0x80004003u);
  EXPECT_EQ(static_cast<uint32_t>(E_FAIL), 0x80004005u);
  EXPECT_EQ(static_cast<uint32_t>(E_UNEXPECTED), 0x8000FFFFu);
  EXPECT_EQ(static_cast<uint32_t>(E_OUTOFMEMORY), 0x8007000Eu);
  EXPECT_EQ(static_cast<uint32_t>(E_INVALIDARG), 0x80070057u);
  EXPECT_EQ(static_cast<uint32_t>(CLASS_E_NOAGGREGATION), 0x80040110u);
  EXPECT_EQ(static_cast<uint32_t>(CLASS_E_CLASSNOTAVAILABLE), 0x80040111u);
  EXPECT_EQ(static_cast<uint32_t>(REGDB_E_CLASSNOTREG), 0x80040154u);
  EXPECT_EQ(static_cast<uint32_t>(CO_E_CLASSSTRING), 0x800401F3u);
  EXPECT_EQ(static_cast<uint32_t>(CO_E_NOTINITIALIZED), 0x800401F0u);
  EXPECT_EQ(static_cast<uint32_t>(RPC_E_CHANGED_MODE), 0x80010106u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_UNKNOWNINTERFACE), 0x80020001u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_MEMBERNOTFOUND), 0x80020003u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_PARAMNOTFOUND), 0x80020004u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_TYPEMISMATCH), 0x80020005u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_UNKNOWNNAME), 0x80020006u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_NONAMEDARGS), 0x80020007u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_BADVARTYPE), 0x80020008u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_EXCEPTION), 0x80020009u);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_OVERFLOW), 0x8002000Au);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_BADINDEX), 0x8002000Bu);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_BADPARAMCOUNT), 0x8002000Eu);
  EXPECT_EQ(static_cast<uint32_t>(DISP_E_PARAMNOTOPTIONAL), 0x8002000Fu);
  EXPECT_EQ(static_cast<uint32_t>(TYPE_E_ELEMENTNOTFOUND), 0x8002802Bu);
  EXPECT_TRUE(FAILED(E_FAIL));
  EXPECT_TRUE(SUCCEEDED(S_FALSE));
}

TEST(ComLayout, GuidIsSixteenBytesInFourFields) {
  EXPECT_EQ(sizeof(GUID), 16u);
  EXPECT_EQ(offsetof(GUID, Data1), 0u);
  EXPECT_EQ(offsetof(GUID, Data2), 4u);
  EXPECT_EQ(offsetof(GUID, Data3), 6u);
  EXPECT_EQ(offsetof(GUID, Data4), 8u);
}

TEST(ComLayout, VariantIsTwentyFourBytesWithTheUnionAtEight) {
  EXPECT_EQ(sizeof(VARIANT), 24u);
  EXPECT_EQ(alignof(VARIANT), 8u);
  EXPECT_EQ(offsetof(VARIANT, vt), 0u);
  EXPECT_EQ(offsetof(VARIANT, wReserved1), 2u);
  EXPECT_EQ(offsetof(VARIANT, wReserved2), 4u);
  EXPECT_EQ(offsetof(VARIANT, wReserved3), 6u);
  EXPECT_EQ(offsetof(VARIANT, lVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, bstrVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, dblVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, pdispVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, brecVal), 8u);
  EXPECT_EQ(sizeof(BRECORD), 16u);
}

TEST(ComLayout, VarTypesHaveTheStandardValues) {
  EXPECT_EQ(VT_EMPTY, 0);
  EXPECT_EQ(VT_NULL, 1);
  EXPECT_EQ(VT_I2, 2);
  EXPECT_EQ(VT_I4, 3);
  EXPECT_EQ(VT_DATE, 7);
  EXPECT_EQ(VT_BSTR, 8);
  EXPECT_EQ(VT_DISPATCH, 9);
  EXPECT_EQ(VT_ERROR, 10);
  EXPECT_EQ(VT_BOOL, 11);
  EXPECT_EQ(VT_VARIANT, 12);
  EXPECT_EQ(VT_UNKNOWN, 13);
  EXPECT_EQ(VT_UI1, 17);
  EXPECT_EQ(VT_INT, 22);
  EXPECT_EQ(VT_UINT, 23);
  EXPECT_EQ(VT_BYREF, 0x4000);
}

TEST(ComLayout, DispatchStructuresHaveTheir64BitLayouts) {
  EXPECT_EQ(sizeof(DISPPARAMS), 24u);
  EXPECT_EQ(offsetof(DISPPARAMS, rgvarg), 0u);
  EXPECT_EQ(offsetof(DISPPARAMS, rgdispidNamedArgs), 8u);
  EXPECT_EQ(offsetof(DISPPARAMS, cArgs), 16u);
  EXPECT_EQ(offsetof(DISPPARAMS, cNamedArgs), 20u);

  EXPECT_EQ(sizeof(EXCEPINFO), 64u);
  EXPECT_EQ(offsetof(EXCEPINFO, wCode), 0u);
  EXPECT_EQ(offsetof(EXCEPINFO, wReserved), 2u);
  EXPECT_EQ(offsetof(EXCEPINFO, bstrSource), 8u);
  EXPECT_EQ(offsetof(EXCEPINFO, bstrDescription), 16u);
  EXPECT_EQ(offsetof(EXCEPINFO, bstrHelpFile), 24u);
  EXPECT_EQ(offsetof(EXCEPINFO, dwHelpContext), 32u);
  EXPECT_EQ(offsetof(EXCEPINFO, pvReserved), 40u);
  EXPECT_EQ(offsetof(EXCEPINFO, pfnDeferredFillIn), 48u);
  EXPECT_EQ(offsetof(EXCEPINFO, scode), 56u);
}

TEST(ComLayout, TypeDescriptionStructuresHaveTheir64BitLayouts) {
  EXPECT_EQ(sizeof(TYPEDESC), 16u);
  EXPECT_EQ(offsetof(TYPEDESC, lptdesc), 0u);
  EXPECT_EQ(offsetof(TYPEDESC, hreftype), 0u);
  EXPECT_EQ(offsetof(TYPEDESC, vt), 8u);

  EXPECT_EQ(sizeof(IDLDESC), 16u);
  EXPECT_EQ(offsetof(IDLDESC, wIDLFlags), 8u);
  EXPECT_EQ(sizeof(PARAMDESC), 16u);
  EXPECT_EQ(offsetof(PARAMDESC, wParamFlags), 8u);

  EXPECT_EQ(sizeof(ELEMDESC), 32u);
  EXPECT_EQ(offsetof(ELEMDESC, tdesc), 0u);
  EXPECT_EQ(offsetof(ELEMDESC, idldesc), 16u);
  EXPECT_EQ(offsetof(ELEMDESC, paramdesc), 16u);

  EXPECT_EQ(sizeof(TYPEATTR), 96u);
  EXPECT_EQ(offsetof(TYPEATTR, guid), 0u);
  EXPECT_EQ(offsetof(TYPEATTR, lcid), 16u);
  EXPECT_EQ(offsetof(TYPEATTR, memidConstructor), 24u);
  EXPECT_EQ(offsetof(TYPEATTR, memidDestructor), 28u);
  EXPECT_EQ(offsetof(TYPEATTR, lpstrSchema), 32u);
  EXPECT_EQ(offsetof(TYPEATTR, cbSizeInstance), 40u);
  EXPECT_EQ(offsetof(TYPEATTR, typekind), 44u);
  EXPECT_EQ(offsetof(TYPEATTR, cFuncs), 48u);
  EXPECT_EQ(offsetof(TYPEATTR, cVars), 50u);
  EXPECT_EQ(offsetof(TYPEATTR, cImplTypes), 52u);
  EXPECT_EQ(offsetof(TYPEATTR, cbSizeVft), 54u);
  EXPECT_EQ(offsetof(TYPEATTR, cbAlignment), 56u);
  EXPECT_EQ(offsetof(TYPEATTR, wTypeFlags), 58u);
  EXPECT_EQ(offsetof(TYPEATTR, wMajorVerNum), 60u);
  EXPECT_EQ(offsetof(TYPEATTR, wMinorVerNum), 62u);
  EXPECT_EQ(offsetof(TYPEATTR, tdescAlias), 64u);
  EXPECT_EQ(offsetof(TYPEATTR, idldescType), 80u);

  EXPECT_EQ(sizeof(FUNCDESC), 88u);
  EXPECT_EQ(offsetof(FUNCDESC, memid), 0u);
  EXPECT_EQ(offsetof(FUNCDESC, lprgscode), 8u);
  EXPECT_EQ(offsetof(FUNCDESC, lprgelemdescParam), 16u);
  EXPECT_EQ(offsetof(FUNCDESC, funckind), 24u);
  EXPECT_EQ(offsetof(FUNCDESC, invkind), 28u);
  EXPECT_EQ(offsetof(FUNCDESC, callconv), 32u);
  EXPECT_EQ(offsetof(FUNCDESC, cParams), 36u);
  EXPECT_EQ(offsetof(FUNCDESC, cParamsOpt), 38u);
  EXPECT_EQ(offsetof(FUNCDESC, oVft), 40u);
  EXPECT_EQ(offsetof(FUNCDESC, cScodes), 42u);
  EXPECT_EQ(offsetof(FUNCDESC, elemdescFunc), 48u);
  EXPECT_EQ(offsetof(FUNCDESC, wFuncFlags), 80u);

  EXPECT_EQ(sizeof(VARDESC), 64u);
  EXPECT_EQ(offsetof(VARDESC, lpstrSchema), 8u);
  EXPECT_EQ(offsetof(VARDESC, oInst), 16u);
  EXPECT_EQ(offsetof(VARDESC, elemdescVar), 24u);
  EXPECT_EQ(offsetof(VARDESC, wVarFlags), 56u);
  EXPECT_EQ(offsetof(VARDESC, varkind), 60u);
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

TEST(ComLayout, DispatchVtableHoldsIUnknownThenIDispatchSlotsInOrder) {
  Dispatch object;
  // The vtable pointer is the first word of the object; slot n is the n-th function pointer.
  using Slot = int64_t (*)(void*);
  Slot* vtable = nullptr;
  std::memcpy(&vtable, static_cast<void*>(&object), sizeof vtable);
  for (int slot = 0; slot < 7; ++slot) {
    EXPECT_EQ(static_cast<int32_t>(vtable[slot](&object)), slot + 1) << "slot " << slot;
  }
}

TEST(ComLayout, StandardInterfaceIdsHaveTheirWellKnownValues) {
  const GUID unknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_EQ(IID_IUnknown, unknown);
  EXPECT_EQ(IID_IDispatch.Data1, 0x00020400u);
  EXPECT_EQ(IID_ITypeInfo.Data1, 0x00020401u);
  EXPECT_EQ(IID_IClassFactory.Data1, 0x00000001u);
  EXPECT_EQ(IID_IErrorInfo.Data1, 0x1CF2B120u);
  EXPECT_EQ(IID_ICreateErrorInfo.Data1, 0x22F03340u);
  EXPECT_EQ(IID_ISupportErrorInfo.Data1, 0xDF0B3D60u);
  EXPECT_EQ(IID_ISupportErrorInfo.Data2, 0x548Fu);
  EXPECT_EQ(IID_NULL, GUID{});
}

}  // namespace
