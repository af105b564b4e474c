// Data layouts of the public types: the 64-bit COM sizes and offsets that hosts rely on, checked
// when this unit compiles (it holds no test).
#include <cstddef>
#include <type_traits>

#include "lyr/com/com.h"

#define LYR_AT(type, field, offset) (offsetof(type, field) == (offset))

static_assert(sizeof(HRESULT) == 4 && sizeof(LONG) == 4 && sizeof(ULONG) == 4 &&
              sizeof(BOOL) == 4 && sizeof(SHORT) == 2 && sizeof(WORD) == 2 && sizeof(BYTE) == 1 &&
              sizeof(LONGLONG) == 8 && sizeof(VARIANT_BOOL) == 2 && sizeof(DISPID) == 4 &&
              sizeof(LCID) == 4 && sizeof(VARTYPE) == 2 && sizeof(DATE) == 8 &&
              std::is_same_v<OLECHAR, char16_t> && std::is_signed_v<HRESULT> &&
              VARIANT_TRUE == -1 && VARIANT_FALSE == 0);

static_assert(sizeof(GUID) == 16 && LYR_AT(GUID, Data1, 0) && LYR_AT(GUID, Data2, 4) &&
              LYR_AT(GUID, Data3, 6) && LYR_AT(GUID, Data4, 8));
static_assert(sizeof(VARIANT) == 24 && alignof(VARIANT) == 8 && LYR_AT(VARIANT, vt, 0) &&
              LYR_AT(VARIANT, wReserved1, 2) && LYR_AT(VARIANT, wReserved2, 4) &&
              LYR_AT(VARIANT, wReserved3, 6) && LYR_AT(VARIANT, lVal, 8) &&
              LYR_AT(VARIANT, bstrVal, 8) && LYR_AT(VARIANT, dblVal, 8) &&
              LYR_AT(VARIANT, pdispVal, 8) && LYR_AT(VARIANT, brecVal, 8) && sizeof(BRECORD) == 16);
static_assert(sizeof(DISPPARAMS) == 24 && LYR_AT(DISPPARAMS, rgvarg, 0) &&
              LYR_AT(DISPPARAMS, rgdispidNamedArgs, 8) && LYR_AT(DISPPARAMS, cArgs, 16) &&
              LYR_AT(DISPPARAMS, cNamedArgs, 20));
static_assert(sizeof(EXCEPINFO) == 64 && LYR_AT(EXCEPINFO, wCode, 0) &&
              LYR_AT(EXCEPINFO, wReserved, 2) && LYR_AT(EXCEPINFO, bstrSource, 8) &&
              LYR_AT(EXCEPINFO, bstrDescription, 16) && LYR_AT(EXCEPINFO, bstrHelpFile, 24) &&
              LYR_AT(EXCEPINFO, dwHelpContext, 32) && LYR_AT(EXCEPINFO, pvReserved, 40) &&
              LYR_AT(EXCEPINFO, pfnDeferredFillIn, 48) && LYR_AT(EXCEPINFO, scode, 56));
static_assert(sizeof(TYPEDESC) == 16 && LYR_AT(TYPEDESC, lptdesc, 0) &&
              LYR_AT(TYPEDESC, hreftype, 0) && LYR_AT(TYPEDESC, vt, 8) && sizeof(IDLDESC) == 16 &&
              LYR_AT(IDLDESC, wIDLFlags, 8) && sizeof(PARAMDESC) == 16 &&
              LYR_AT(PARAMDESC, wParamFlags, 8) && sizeof(ELEMDESC) == 32 &&
              LYR_AT(ELEMDESC, tdesc, 0) && LYR_AT(ELEMDESC, idldesc, 16) &&
              LYR_AT(ELEMDESC, paramdesc, 16));
static_assert(sizeof(TYPEATTR) == 96 && LYR_AT(TYPEATTR, guid, 0) && LYR_AT(TYPEATTR, lcid, 16) &&
              LYR_AT(TYPEATTR, memidConstructor, 24) && LYR_AT(TYPEATTR, memidDestructor, 28) &&
              LYR_AT(TYPEATTR, lpstrSchema, 32) && LYR_AT(TYPEATTR, cbSizeInstance, 40) &&
              LYR_AT(TYPEATTR, typekind, 44) && LYR_AT(TYPEATTR, cFuncs, 48) &&
              LYR_AT(TYPEATTR, cVars, 50) && LYR_AT(TYPEATTR, cImplTypes, 52) &&
              LYR_AT(TYPEATTR, cbSizeVft, 54) && LYR_AT(TYPEATTR, cbAlignment, 56) &&
              LYR_AT(TYPEATTR, wTypeFlags, 58) && LYR_AT(TYPEATTR, wMajorVerNum, 60) &&
              LYR_AT(TYPEATTR, wMinorVerNum, 62) && LYR_AT(TYPEATTR, tdescAlias, 64) &&
              LYR_AT(TYPEATTR, idldescType, 80));
static_assert(sizeof(FUNCDESC) == 88 && LYR_AT(FUNCDESC, memid, 0) &&
              LYR_AT(FUNCDESC, lprgscode, 8) && LYR_AT(FUNCDESC, lprgelemdescParam, 16) &&
              LYR_AT(FUNCDESC, funckind, 24) && LYR_AT(FUNCDESC, invkind, 28) &&
              LYR_AT(FUNCDESC, callconv, 32) && LYR_AT(FUNCDESC, cParams, 36) &&
              LYR_AT(FUNCDESC, cParamsOpt, 38) && LYR_AT(FUNCDESC, oVft, 40) &&
              LYR_AT(FUNCDESC, cScodes, 42) && LYR_AT(FUNCDESC, elemdescFunc, 48) &&
              LYR_AT(FUNCDESC, wFuncFlags, 80));
static_assert(sizeof(VARDESC) == 64 && LYR_AT(VARDESC, lpstrSchema, 8) &&
              LYR_AT(VARDESC, oInst, 16) && LYR_AT(VARDESC, elemdescVar, 24) &&
              LYR_AT(VARDESC, wVarFlags, 56) && LYR_AT(VARDESC, varkind, 60));
