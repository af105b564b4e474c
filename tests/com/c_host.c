/* A host written in C (C11): includes only the public header and calls liblyrcom through it.
 * Prints "c host ok" and exits 0 when every check passes; prints the failed check otherwise. */
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include "lyr/com/com.h"

/* The C views of the interfaces have the COM slot order. */
_Static_assert(offsetof(IUnknownVtbl, Release) == 2 * sizeof(void*), "IUnknown slots");
_Static_assert(offsetof(IDispatchVtbl, GetTypeInfoCount) == 3 * sizeof(void*), "IDispatch slots");
_Static_assert(offsetof(IDispatchVtbl, Invoke) == 6 * sizeof(void*), "IDispatch slots");
_Static_assert(offsetof(ITypeInfoVtbl, GetTypeAttr) == 3 * sizeof(void*), "ITypeInfo slots");
_Static_assert(offsetof(ITypeInfoVtbl, GetDocumentation) == 12 * sizeof(void*), "ITypeInfo slots");
_Static_assert(offsetof(ITypeInfoVtbl, ReleaseVarDesc) == 21 * sizeof(void*), "ITypeInfo slots");
_Static_assert(offsetof(IClassFactoryVtbl, LockServer) == 4 * sizeof(void*), "IClassFactory slots");
_Static_assert(offsetof(IErrorInfoVtbl, GetHelpContext) == 7 * sizeof(void*), "IErrorInfo slots");
_Static_assert(offsetof(ICreateErrorInfoVtbl, SetHelpContext) == 7 * sizeof(void*),
               "ICreateErrorInfo slots");
_Static_assert(sizeof(VARIANT) == 24, "VARIANT size");

/* Every function of the runtime, with C linkage and its Win32 signature: this only links when
 * liblyrcom exports each of them under its plain name. */
typedef void (*AnyFunction)(void);
#define F(name) ((AnyFunction)(name))
static const AnyFunction kEveryFunction[] = {
    F(CoInitialize),          F(CoInitializeEx),         F(CoUninitialize),
    F(CoCreateInstance),      F(CoGetClassObject),       F(CLSIDFromProgID),
    F(ProgIDFromCLSID),       F(CLSIDFromString),        F(StringFromCLSID),
    F(StringFromIID),         F(StringFromGUID2),        F(IIDFromString),
    F(CoCreateGuid),          F(CoTaskMemAlloc),         F(CoTaskMemRealloc),
    F(CoTaskMemFree),         F(SysAllocString),         F(SysAllocStringLen),
    F(SysAllocStringByteLen), F(SysReAllocString),       F(SysReAllocStringLen),
    F(SysFreeString),         F(SysStringLen),           F(SysStringByteLen),
    F(VariantInit),           F(VariantClear),           F(VariantCopy),
    F(VariantCopyInd),        F(VariantChangeType),      F(VariantChangeTypeEx),
    F(SetErrorInfo),          F(GetErrorInfo),           F(CreateErrorInfo),
    F(LyrComRegisterClasses), F(LyrComUnregisterServer), F(LyrComUnregisterClass),
    F(LyrComQueryClass),      F(LyrComRegistryPath)};

static int failures = 0;

#define CHECK(condition)                                      \
  do {                                                        \
    if (!(condition)) {                                       \
      printf("failed: %s (line %d)\n", #condition, __LINE__); \
      ++failures;                                             \
    }                                                         \
  } while (0)

static void CheckVariants(void) {
  VARIANT v;
  VARIANT text;
  size_t i;
  for (i = 0; i < sizeof kEveryFunction / sizeof kEveryFunction[0]; ++i) {
    CHECK(kEveryFunction[i] != NULL);
  }
  VariantInit(&v);
  VariantInit(&text);
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = VARIANT_TRUE;
  CHECK(VariantChangeType(&text, &v, VARIANT_ALPHABOOL, VT_BSTR) == S_OK);
  CHECK(V_VT(&text) == VT_BSTR && memcmp(V_BSTR(&text), u"True", 10) == 0);
  CHECK(VariantChangeType(&v, &text, 0, VT_I4) == DISP_E_TYPEMISMATCH);
  CHECK(VariantClear(&text) == S_OK);
  CHECK(V_VT(&text) == VT_EMPTY);
}

static void CheckErrorInfo(void) {
  ICreateErrorInfo* create = NULL;
  IErrorInfo* info = NULL;
  IErrorInfo* got = NULL;
  BSTR description = NULL;
  OLECHAR text[] = u"from C";
  CHECK(CreateErrorInfo(&create) == S_OK);
  CHECK(ICreateErrorInfo_SetDescription(create, text) == S_OK);
  CHECK(ICreateErrorInfo_QueryInterface(create, &IID_IErrorInfo, (void**)&info) == S_OK);
  CHECK(SetErrorInfo(0, info) == S_OK);
  CHECK(GetErrorInfo(0, &got) == S_OK && got == info);
  CHECK(IErrorInfo_GetDescription(got, &description) == S_OK);
  CHECK(SysStringLen(description) == 6 && memcmp(description, text, sizeof text) == 0);
  SysFreeString(description);
  CHECK(IErrorInfo_Release(got) == 2); /* the slot's reference, handed over */
  CHECK(IErrorInfo_Release(info) == 1);
  CHECK(ICreateErrorInfo_Release(create) == 0);
  CHECK(GetErrorInfo(0, &got) == S_FALSE && got == NULL);
}

/* The test server's IAdder, as a C host declares it from the server's documentation. */
static const IID kAdderIid = {
    0x6F1B2C3E, 0x4E5F, 0x4A6B, {0x8C, 0x7D, 0x9E, 0x0F, 0x1A, 0x2B, 0x3C, 0x4D}};
typedef struct IAdder IAdder;
typedef struct IAdderVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IAdder* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IAdder* This);
  ULONG(STDMETHODCALLTYPE* Release)(IAdder* This);
  HRESULT(STDMETHODCALLTYPE* Add)(IAdder* This, LONG a, LONG b, LONG* sum);
  HRESULT(STDMETHODCALLTYPE* Concat)(IAdder* This, BSTR a, BSTR b, BSTR* joined);
} IAdderVtbl;
struct IAdder {
  const struct IAdderVtbl* lpVtbl;
};

/* Creates the test server's class by ProgID (the registry named by LYRCOM_REGISTRY). */
static void CheckCreation(void) {
  CLSID clsid;
  IUnknown* unknown = NULL;
  IAdder* adder = NULL;
  IClassFactory* factory = NULL;
  LONG sum = 0;
  CHECK(CoInitialize(NULL) == S_OK);
  CHECK(CLSIDFromProgID(u"LyrComTest.Adder", &clsid) == S_OK);
  CHECK(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown, (void**)&unknown) ==
        S_OK);
  if (unknown == NULL) {
    return;
  }
  CHECK(IUnknown_QueryInterface(unknown, &IID_IClassFactory, (void**)&factory) == E_NOINTERFACE);
  CHECK(factory == NULL);
  CHECK(IUnknown_QueryInterface(unknown, &kAdderIid, (void**)&adder) == S_OK);
  CHECK(adder->lpVtbl->Add(adder, -5, 12, &sum) == S_OK);
  CHECK(sum == 7);
  CHECK(adder->lpVtbl->Release(adder) == 1);
  CHECK(IUnknown_Release(unknown) == 0);
  CHECK(CoCreateInstance(&IID_IDispatch, NULL, CLSCTX_INPROC_SERVER, &IID_IUnknown,
                         (void**)&unknown) == REGDB_E_CLASSNOTREG);
  CoUninitialize();
}

int main(int argc, char** argv) {
  CheckVariants();
  CheckErrorInfo();
  if (argc > 1 && strcmp(argv[1], "create") == 0) {
    CheckCreation();
  }
  if (failures != 0) {
    return 1;
  }
  printf("c host ok\n");
  return 0;
}
