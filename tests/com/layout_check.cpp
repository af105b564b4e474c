// Data layouts of the public types: the 64-bit COM sizes, offsets and constants that hosts rely
// on, checked when this unit compiles (it holds no test).

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "lyr/com/com.h"

// Scalar types have their fixed widths.
static_assert(sizeof(HRESULT) == 4u);
static_assert(sizeof(LONG) == 4u);
static_assert(sizeof(ULONG) == 4u);
static_assert(sizeof(BOOL) == 4u);
static_assert(sizeof(SHORT) == 2u);
static_assert(sizeof(WORD) == 2u);
static_assert(sizeof(BYTE) == 1u);
static_assert(sizeof(LONGLONG) == 8u);
static_assert(sizeof(VARIANT_BOOL) == 2u);
static_assert(sizeof(DISPID) == 4u);
static_assert(sizeof(LCID) == 4u);
static_assert(sizeof(VARTYPE) == 2u);
static_assert(sizeof(DATE) == 8u);
static_assert(sizeof(OLECHAR) == 2u);
static_assert((std::is_same_v<OLECHAR, char16_t>));
static_assert(std::is_signed_v<HRESULT>);
static_assert(VARIANT_TRUE == -1);
static_assert(VARIANT_FALSE == 0);

// Hresult constants have the standard values.
static_assert(static_cast<uint32_t>(E_NOTIMPL) == 0x80004001u);
static_assert(static_cast<uint32_t>(E_NOINTERFACE) == 0x80004002u);
static_assert(static_cast<uint32_t>(E_POINTER) == 0x80004003u);
static_assert(static_cast<uint32_t>(E_FAIL) == 0x80004005u);
static_assert(static_cast<uint32_t>(E_UNEXPECTED) == 0x8000FFFFu);
static_assert(static_cast<uint32_t>(E_OUTOFMEMORY) == 0x8007000Eu);
static_assert(static_cast<uint32_t>(E_INVALIDARG) == 0x80070057u);
static_assert(static_cast<uint32_t>(CLASS_E_NOAGGREGATION) == 0x80040110u);
static_assert(static_cast<uint32_t>(CLASS_E_CLASSNOTAVAILABLE) == 0x80040111u);
static_assert(static_cast<uint32_t>(REGDB_E_CLASSNOTREG) == 0x80040154u);
static_assert(static_cast<uint32_t>(CO_E_CLASSSTRING) == 0x800401F3u);
static_assert(static_cast<uint32_t>(CO_E_NOTINITIALIZED) == 0x800401F0u);
static_assert(static_cast<uint32_t>(RPC_E_CHANGED_MODE) == 0x80010106u);
static_assert(static_cast<uint32_t>(DISP_E_UNKNOWNINTERFACE) == 0x80020001u);
static_assert(static_cast<uint32_t>(DISP_E_MEMBERNOTFOUND) == 0x80020003u);
static_assert(static_cast<uint32_t>(DISP_E_PARAMNOTFOUND) == 0x80020004u);
static_assert(static_cast<uint32_t>(DISP_E_TYPEMISMATCH) == 0x80020005u);
static_assert(static_cast<uint32_t>(DISP_E_UNKNOWNNAME) == 0x80020006u);
static_assert(static_cast<uint32_t>(DISP_E_NONAMEDARGS) == 0x80020007u);
static_assert(static_cast<uint32_t>(DISP_E_BADVARTYPE) == 0x80020008u);
static_assert(static_cast<uint32_t>(DISP_E_EXCEPTION) == 0x80020009u);
static_assert(static_cast<uint32_t>(DISP_E_OVERFLOW) == 0x8002000Au);
static_assert(static_cast<uint32_t>(DISP_E_BADINDEX) == 0x8002000Bu);
static_assert(static_cast<uint32_t>(DISP_E_BADPARAMCOUNT) == 0x8002000Eu);
static_assert(static_cast<uint32_t>(DISP_E_PARAMNOTOPTIONAL) == 0x8002000Fu);
static_assert(static_cast<uint32_t>(TYPE_E_ELEMENTNOTFOUND) == 0x8002802Bu);
static_assert(FAILED(E_FAIL));
static_assert(SUCCEEDED(S_FALSE));

// Guid is sixteen bytes in four fields.
static_assert(sizeof(GUID) == 16u);
static_assert(offsetof(GUID, Data1) == 0u);
static_assert(offsetof(GUID, Data2) == 4u);
static_assert(offsetof(GUID, Data3) == 6u);
static_assert(offsetof(GUID, Data4) == 8u);

// Variant is twenty four bytes with the union at eight.
static_assert(sizeof(VARIANT) == 24u);
static_assert(alignof(VARIANT) == 8u);
static_assert(offsetof(VARIANT, vt) == 0u);
static_assert(offsetof(VARIANT, wReserved1) == 2u);
static_assert(offsetof(VARIANT, wReserved2) == 4u);
static_assert(offsetof(VARIANT, wReserved3) == 6u);
static_assert(offsetof(VARIANT, lVal) == 8u);
static_assert(offsetof(VARIANT, bstrVal) == 8u);
static_assert(offsetof(VARIANT, dblVal) == 8u);
static_assert(offsetof(VARIANT, pdispVal) == 8u);
static_assert(offsetof(VARIANT, brecVal) == 8u);
static_assert(sizeof(BRECORD) == 16u);

// Var types have the standard values.
static_assert(VT_EMPTY == 0);
static_assert(VT_NULL == 1);
static_assert(VT_I2 == 2);
static_assert(VT_I4 == 3);
static_assert(VT_DATE == 7);
static_assert(VT_BSTR == 8);
static_assert(VT_DISPATCH == 9);
static_assert(VT_ERROR == 10);
static_assert(VT_BOOL == 11);
static_assert(VT_VARIANT == 12);
static_assert(VT_UNKNOWN == 13);
static_assert(VT_UI1 == 17);
static_assert(VT_INT == 22);
static_assert(VT_UINT == 23);
static_assert(VT_BYREF == 0x4000);

// Dispatch structures have their64 bit layouts.
static_assert(sizeof(DISPPARAMS) == 24u);
static_assert(offsetof(DISPPARAMS, rgvarg) == 0u);
static_assert(offsetof(DISPPARAMS, rgdispidNamedArgs) == 8u);
static_assert(offsetof(DISPPARAMS, cArgs) == 16u);
static_assert(offsetof(DISPPARAMS, cNamedArgs) == 20u);

static_assert(sizeof(EXCEPINFO) == 64u);
static_assert(offsetof(EXCEPINFO, wCode) == 0u);
static_assert(offsetof(EXCEPINFO, wReserved) == 2u);
static_assert(offsetof(EXCEPINFO, bstrSource) == 8u);
static_assert(offsetof(EXCEPINFO, bstrDescription) == 16u);
static_assert(offsetof(EXCEPINFO, bstrHelpFile) == 24u);
static_assert(offsetof(EXCEPINFO, dwHelpContext) == 32u);
static_assert(offsetof(EXCEPINFO, pvReserved) == 40u);
static_assert(offsetof(EXCEPINFO, pfnDeferredFillIn) == 48u);
static_assert(offsetof(EXCEPINFO, scode) == 56u);

// Type description structures have their64 bit layouts.
static_assert(sizeof(TYPEDESC) == 16u);
static_assert(offsetof(TYPEDESC, lptdesc) == 0u);
static_assert(offsetof(TYPEDESC, hreftype) == 0u);
static_assert(offsetof(TYPEDESC, vt) == 8u);

static_assert(sizeof(IDLDESC) == 16u);
static_assert(offsetof(IDLDESC, wIDLFlags) == 8u);
static_assert(sizeof(PARAMDESC) == 16u);
static_assert(offsetof(PARAMDESC, wParamFlags) == 8u);

static_assert(sizeof(ELEMDESC) == 32u);
static_assert(offsetof(ELEMDESC, tdesc) == 0u);
static_assert(offsetof(ELEMDESC, idldesc) == 16u);
static_assert(offsetof(ELEMDESC, paramdesc) == 16u);

static_assert(sizeof(TYPEATTR) == 96u);
static_assert(offsetof(TYPEATTR, guid) == 0u);
static_assert(offsetof(TYPEATTR, lcid) == 16u);
static_assert(offsetof(TYPEATTR, memidConstructor) == 24u);
static_assert(offsetof(TYPEATTR, memidDestructor) == 28u);
static_assert(offsetof(TYPEATTR, lpstrSchema) == 32u);
static_assert(offsetof(TYPEATTR, cbSizeInstance) == 40u);
static_assert(offsetof(TYPEATTR, typekind) == 44u);
static_assert(offsetof(TYPEATTR, cFuncs) == 48u);
static_assert(offsetof(TYPEATTR, cVars) == 50u);
static_assert(offsetof(TYPEATTR, cImplTypes) == 52u);
static_assert(offsetof(TYPEATTR, cbSizeVft) == 54u);
static_assert(offsetof(TYPEATTR, cbAlignment) == 56u);
static_assert(offsetof(TYPEATTR, wTypeFlags) == 58u);
static_assert(offsetof(TYPEATTR, wMajorVerNum) == 60u);
static_assert(offsetof(TYPEATTR, wMinorVerNum) == 62u);
static_assert(offsetof(TYPEATTR, tdescAlias) == 64u);
static_assert(offsetof(TYPEATTR, idldescType) == 80u);

static_assert(sizeof(FUNCDESC) == 88u);
static_assert(offsetof(FUNCDESC, memid) == 0u);
static_assert(offsetof(FUNCDESC, lprgscode) == 8u);
static_assert(offsetof(FUNCDESC, lprgelemdescParam) == 16u);
static_assert(offsetof(FUNCDESC, funckind) == 24u);
static_assert(offsetof(FUNCDESC, invkind) == 28u);
static_assert(offsetof(FUNCDESC, callconv) == 32u);
static_assert(offsetof(FUNCDESC, cParams) == 36u);
static_assert(offsetof(FUNCDESC, cParamsOpt) == 38u);
static_assert(offsetof(FUNCDESC, oVft) == 40u);
static_assert(offsetof(FUNCDESC, cScodes) == 42u);
static_assert(offsetof(FUNCDESC, elemdescFunc) == 48u);
static_assert(offsetof(FUNCDESC, wFuncFlags) == 80u);

static_assert(sizeof(VARDESC) == 64u);
static_assert(offsetof(VARDESC, lpstrSchema) == 8u);
static_assert(offsetof(VARDESC, oInst) == 16u);
static_assert(offsetof(VARDESC, elemdescVar) == 24u);
static_assert(offsetof(VARDESC, wVarFlags) == 56u);
static_assert(offsetof(VARDESC, varkind) == 60u);
