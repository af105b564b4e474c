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

int main(void) {
  CheckStrings();
  CheckGuids();
  if (failures != 0) {
    return 1;
  }
  printf("c host ok\n");
  return 0;
}
