/* A host in C on the public headers: registers the server argv[1], drives the Manager through its
 * C vtable and IDispatch; prints a line per check and exits 0 only when every check held. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "lyr/tdx880/LyrTdxPackage880.h"

static int failures = 0;

static void Check(int condition, const char* what) {
  printf("%s %s\n", condition ? "ok" : "FAILED", what);
  if (!condition) {
    ++failures;
  }
}

static int SameText(BSTR text, const OLECHAR* expected) {
  UINT length = 0;
  while (expected[length] != 0) {
    ++length;
  }
  return SysStringLen(text) == length && memcmp(text, expected, length * sizeof(OLECHAR)) == 0;
}

int main(int argc, char** argv) {
  void* server = argc == 2 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : NULL;
  if (server == NULL) {
    fprintf(stderr, "usage: c_host SERVER (%s)\n", argc == 2 ? dlerror() : "");
    return 2;
  }
  HRESULT (*register_server)(void) = NULL;
  *(void**)(&register_server) = dlsym(server, "DllRegisterServer"); /* the POSIX idiom */
  Check(register_server != NULL && register_server() == S_OK, "DllRegisterServer");
  Check(SUCCEEDED(CoInitialize(NULL)), "CoInitialize");

  CLSID clsid;
  Check(CLSIDFromProgID(u"LyrTdxPackage880.Tdx880Manager", &clsid) == S_OK, "CLSIDFromProgID");
  Check(IsEqualCLSID(&clsid, &CLSID_Tdx880Manager), "CLSID of the Manager");
  ITdx880Manager* manager = NULL;
  Check(CoCreateInstance(&clsid, NULL, CLSCTX_INPROC_SERVER, &IID_ITdx880Manager,
                         (void**)&manager) == S_OK &&
            manager != NULL,
        "CoCreateInstance");
  if (manager == NULL) {
    return 1;
  }

  BSTR value = SysAllocString(u"/tmp/Папка");
  Check(ITdx880Manager_put_TmpDir(manager, value) == S_OK, "put_TmpDir");
  SysFreeString(value);
  value = NULL;
  Check(ITdx880Manager_get_TmpDir(manager, &value) == S_OK && SameText(value, u"/tmp/Папка"),
        "get_TmpDir returns the text put");
  SysFreeString(value);

  ITdx880Safe* safe = NULL;
  Check(ITdx880Manager_QueryInterface(manager, &IID_ITdx880Safe, (void**)&safe) == S_OK,
        "QueryInterface ITdx880Safe");
  VARIANT_BOOL mode = VARIANT_TRUE;
  Check(ITdx880Safe_get_SafeMode(safe, &mode) == S_OK && mode == VARIANT_FALSE,
        "SafeMode starts false");
  ITdx880Error* error = NULL;
  LONG code = 5;
  Check(ITdx880Safe_get_LastError(safe, &error) == S_OK && error != NULL, "LastError");
  Check(ITdx880Error_get_Code(error, &code) == S_OK && code == 0, "LastError Code 0");
  ITdx880Error_Release(error);
  ITdx880Safe_Release(safe);

  IDispatch* dispatch = NULL;
  Check(ITdx880Manager_QueryInterface(manager, &IID_IDispatch, (void**)&dispatch) == S_OK,
        "QueryInterface IDispatch");
  LPOLESTR names[1] = {(LPOLESTR)u"TMPDIR"};
  DISPID id = 0;
  Check(IDispatch_GetIDsOfNames(dispatch, &IID_NULL, names, 1, 0x0409, &id) == S_OK && id == 210,
        "GetIDsOfNames TmpDir");
  DISPPARAMS none = {NULL, NULL, 0, 0};
  VARIANT result;
  VariantInit(&result);
  Check(IDispatch_Invoke(dispatch, id, &IID_NULL, 0x0409, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                         &none, &result, NULL, NULL) == S_OK &&
            result.vt == VT_BSTR && SameText(result.bstrVal, u"/tmp/Папка"),
        "Invoke TmpDir");
  VariantClear(&result);
  IDispatch_Release(dispatch);

  ITdx880Manager_Release(manager);
  HRESULT (*can_unload)(void) = NULL;
  *(void**)(&can_unload) = dlsym(server, "DllCanUnloadNow");
  Check(can_unload != NULL && can_unload() == S_OK, "DllCanUnloadNow after the last release");
  CoUninitialize();
  dlclose(server);
  return failures == 0 ? 0 : 1;
}
