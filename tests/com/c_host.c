/* A host written in C (C11) against the public header alone (creating a server's object from C is
 * the automation tests' C host). Prints "c host ok" when every check passes, else the failed ones.
 */
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

/* True when text holds exactly the characters of expected (an array with its final NUL). */
#define SAME(text, expected) \
  (SysStringByteLen(text) + 2 == sizeof(expected) && memcmp(text, expected, sizeof(expected)) == 0)

/* Every member of an error object, set and read through the C vtables. */
static void CheckErrorInfo(void) {
  ICreateErrorInfo* create = NULL;
  IErrorInfo* info = NULL;
  IErrorInfo* got = NULL;
  BSTR texts[3] = {NULL, NULL, NULL};
  OLECHAR description[] = u"Передан пустой аргумент: Name";
  OLECHAR source[] = u"Lyr.Manager";
  OLECHAR help[] = u"help.txt";
  DWORD context = 0;
  GUID guid = {0, 0, 0, {0}};
  CHECK(CreateErrorInfo(&create) == S_OK);
  CHECK(ICreateErrorInfo_SetDescription(create, description) == S_OK);
  CHECK(ICreateErrorInfo_SetSource(create, source) == S_OK);
  CHECK(ICreateErrorInfo_SetHelpFile(create, help) == S_OK);
  CHECK(ICreateErrorInfo_SetHelpContext(create, 17) == S_OK);
  CHECK(ICreateErrorInfo_SetGUID(create, &IID_IDispatch) == S_OK);
  CHECK(ICreateErrorInfo_QueryInterface(create, &IID_IErrorInfo, (void**)&info) == S_OK);
  CHECK(SetErrorInfo(0, info) == S_OK);
  CHECK(GetErrorInfo(0, &got) == S_OK && got == info);
  CHECK(IErrorInfo_GetDescription(got, &texts[0]) == S_OK && SAME(texts[0], description));
  CHECK(IErrorInfo_GetSource(got, &texts[1]) == S_OK && SAME(texts[1], source));
  CHECK(IErrorInfo_GetHelpFile(got, &texts[2]) == S_OK && SAME(texts[2], help));
  CHECK(IErrorInfo_GetHelpContext(got, &context) == S_OK && context == 17);
  CHECK(IErrorInfo_GetGUID(got, &guid) == S_OK && IsEqualGUID(&guid, &IID_IDispatch));
  SysFreeString(texts[0]);
  SysFreeString(texts[1]);
  SysFreeString(texts[2]);
  CHECK(IErrorInfo_Release(got) == 2); /* the slot's reference, handed over */
  CHECK(IErrorInfo_Release(info) == 1);
  CHECK(ICreateErrorInfo_Release(create) == 0);
  CHECK(GetErrorInfo(0, &got) == S_FALSE && got == NULL);
}

int main(void) {
  size_t i;
  for (i = 0; i < sizeof kEveryFunction / sizeof kEveryFunction[0]; ++i) {
    CHECK(kEveryFunction[i] != NULL);
  }
  CheckErrorInfo();
  if (failures == 0) {
    printf("c host ok\n");
  }
  return failures != 0;
}
