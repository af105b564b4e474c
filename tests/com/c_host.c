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

static int failures = 0;

#define CHECK(condition)                                      \
  do {                                                        \
    if (!(condition)) {                                       \
      printf("failed: %s (line %d)\n", #condition, __LINE__); \
      ++failures;                                             \
    }                                                         \
  } while (0)

static void CheckStrings(void) {
  BSTR s = SysAllocString(u"host");
  CHECK(s != NULL);
  CHECK(SysStringLen(s) == 4);
  CHECK(SysStringByteLen(s) == 8);
  CHECK(memcmp(s, u"host", 10) == 0);
  SysFreeString(s);
  CHECK(SysStringLen(NULL) == 0);
}

static void CheckGuids(void) {
  OLECHAR text[39];
  GUID guid;
  GUID back;
  CHECK(StringFromGUID2(&IID_IDispatch, text, 39) == 39);
  CHECK(memcmp(text, u"{00020400-0000-0000-C000-000000000046}", sizeof text) == 0);
  CHECK(CoCreateGuid(&guid) == S_OK);
  CHECK(StringFromGUID2(&guid, text, 39) == 39);
  CHECK(CLSIDFromString(text, &back) == S_OK);
  CHECK(IsEqualGUID(&guid, &back));
  CHECK(!IsEqualIID(&IID_IUnknown, &IID_IDispatch));
  CHECK(IIDFromString(u"{not a guid}", &back) == E_INVALIDARG);
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
  CheckStrings();
  CheckGuids();
  if (argc > 1 && strcmp(argv[1], "create") == 0) {
    CheckCreation();
  }
  if (failures != 0) {
    return 1;
  }
  printf("c host ok\n");
  return 0;
}
