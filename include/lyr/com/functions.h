/* liblyrcom public functions: the ole32/oleaut32 functions under their Win32 names and signatures,
 * and the class-registry functions that in-process servers call to register themselves. */
#ifndef LYR_COM_FUNCTIONS_H
#define LYR_COM_FUNCTIONS_H

#include <string.h>

#include "lyr/com/interfaces.h"
#include "lyr/com/types.h"

LYRCOM_BEGIN_EXTERN_C

/* ---- Apartments ------------------------------------------------------------------------------ */
/* Initialises COM on the calling thread. S_OK the first time, S_FALSE for a repeat call with the
 * same model (each successful call needs one CoUninitialize), RPC_E_CHANGED_MODE for another model,
 * E_INVALIDARG for unknown flags. CoInitialize(p) is CoInitializeEx(p, COINIT_APARTMENTTHREADED).
 */
LYRCOM_API HRESULT WINAPI CoInitialize(LPVOID pvReserved);
LYRCOM_API HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
/* Balances one successful CoInitialize(Ex); the last one also releases the thread's error object.
 */
LYRCOM_API void WINAPI CoUninitialize(void);

/* ---- Activation --------------------------------------------------------------------------------
 */
/* Finds the class in the class registry, loads its library once per process and asks its
 * DllGetClassObject for riid. Only CLSCTX_INPROC_SERVER (alone or in a wider mask) is served.
 * CO_E_NOTINITIALIZED when the calling thread has not called CoInitialize(Ex); REGDB_E_CLASSNOTREG
 * for a class not in the registry; REGDB_E_READREGDB for an unreadable or malformed registry file;
 * CO_E_DLLNOTFOUND / CO_E_ERRORINDLL when the library does not load or lacks DllGetClassObject.
 * *ppv is NULL on every failure. */
LYRCOM_API HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved,
                                           REFIID riid, LPVOID* ppv);
/* CoGetClassObject for IClassFactory, then IClassFactory::CreateInstance(pUnkOuter, riid, ppv). */
LYRCOM_API HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                           REFIID riid, LPVOID* ppv);
/* ProgID -> CLSID through the class registry; ProgIDs compare ASCII case-insensitively.
 * CO_E_CLASSSTRING when no class has this ProgID. */
LYRCOM_API HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
/* CLSID -> ProgID (allocated with CoTaskMemAlloc); REGDB_E_CLASSNOTREG when none is recorded. */
LYRCOM_API HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

/* ---- GUIDs --------------------------------------------------------------------------------------
 */
/* "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits of either case) -> GUID; any other text is
 * taken as a ProgID. CO_E_CLASSSTRING when it is neither. A NULL string gives CLSID_NULL. */
LYRCOM_API HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
/* The braced form only; E_INVALIDARG for anything else. A NULL string gives IID_NULL. */
LYRCOM_API HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
/* The braced upper-case form, allocated with CoTaskMemAlloc. */
LYRCOM_API HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
LYRCOM_API HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
/* Writes the braced form (38 characters and a NUL) into lpsz; returns 39, or 0 when cchMax < 39. */
LYRCOM_API int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
/* A random (version 4) GUID from the operating system's random source. */
LYRCOM_API HRESULT WINAPI CoCreateGuid(GUID* pguid);

/* ---- Task memory
 * --------------------------------------------------------------------------------- */
LYRCOM_API LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
LYRCOM_API LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
LYRCOM_API void WINAPI CoTaskMemFree(LPVOID pv);

/* ---- BSTR ---------------------------------------------------------------------------------------
 */
/* Copies a NUL-terminated string; NULL gives NULL. */
LYRCOM_API BSTR WINAPI SysAllocString(const OLECHAR* psz);
/* ui characters from strIn (zero-filled when strIn is NULL); embedded NULs are kept. */
LYRCOM_API BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);
/* len bytes from psz (zero-filled when psz is NULL), which may be odd; a 16-bit NUL follows. */
LYRCOM_API BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len);
/* Replaces *pbstr with a copy of psz (psz may point into *pbstr); TRUE on success. */
LYRCOM_API INT WINAPI SysReAllocString(BSTR* pbstr, const OLECHAR* psz);
LYRCOM_API INT WINAPI SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len);
/* Frees a BSTR made by liblyrcom; NULL is ignored. */
LYRCOM_API void WINAPI SysFreeString(BSTR bstrString);
/* Length in characters (the byte length halved) and in bytes; 0 for NULL. */
LYRCOM_API UINT WINAPI SysStringLen(BSTR pbstr);
LYRCOM_API UINT WINAPI SysStringByteLen(BSTR bstr);

/* ---- VARIANT
 * ------------------------------------------------------------------------------------- */
LYRCOM_API void WINAPI VariantInit(VARIANTARG* pvarg);
/* Frees what the variant owns (BSTR, interface reference) and leaves VT_EMPTY.
 * DISP_E_BADVARTYPE (variant untouched) for types liblyrcom does not hold (arrays, records). */
LYRCOM_API HRESULT WINAPI VariantClear(VARIANTARG* pvarg);
/* Clears the destination, then deep-copies: BSTRs duplicated, interfaces AddRef'd, VT_BYREF
 * pointers copied as they are. */
LYRCOM_API HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
/* As VariantCopy, but a VT_BYREF source is copied as the value it refers to. */
LYRCOM_API HRESULT WINAPI VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc);
/* Converts to vt (the destination may be the source). Mismatched types give DISP_E_TYPEMISMATCH,
 * values out of the target's range DISP_E_OVERFLOW, unknown types DISP_E_BADVARTYPE. Flags:
 * VARIANT_ALPHABOOL / VARIANT_LOCALBOOL (booleans as "True"/"False"), VARIANT_NOVALUEPROP. */
LYRCOM_API HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                            USHORT wFlags, VARTYPE vt);
LYRCOM_API HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                              LCID lcid, USHORT wFlags, VARTYPE vt);

/* ---- Error information
 * ---------------------------------------------------------------------------- */
/* Replaces the calling thread's error object (NULL clears it); dwReserved must be 0. */
LYRCOM_API HRESULT WINAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
/* Hands the thread's error object to the caller and clears the slot: S_OK with the object, or
 * S_FALSE with NULL when there is none. */
LYRCOM_API HRESULT WINAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);
/* A new, empty error object implementing ICreateErrorInfo and IErrorInfo. */
LYRCOM_API HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo);

/* ---- Class registry (see docs/com-registry.md) ------------------------------------------------
 */
/* One creatable class of an in-process server. Strings are UTF-8 and must not contain tabs, line
 * breaks or NULs; progId may be NULL or empty for a class without one. */
typedef struct tagLYRCOM_CLASS_ENTRY {
  CLSID clsid;
  const char* libraryPath;    /* absolute path of the server library */
  const char* threadingModel; /* "Apartment" (also accepted: "Free", "Both", "Neutral") */
  const char* progId; /* letters, digits, '.' and '_', 1..39 characters, not a digit first */
  GUID typeLibId;     /* GUID_NULL when the class has no type library */
  WORD typeLibMajor;
  WORD typeLibMinor;
} LYRCOM_CLASS_ENTRY;

/* Adds or replaces the given classes in one atomic write of the registry file. An entry with the
 * same CLSID is replaced; another class that held one of the ProgIDs loses it. Entries of other
 * servers stay as they are. E_INVALIDARG for an invalid entry, REGDB_E_READREGDB when the existing
 * file cannot be read or is malformed (it is then left untouched), REGDB_E_WRITEREGDB when the new
 * file cannot be written. On failure the thread's error object describes the cause. */
LYRCOM_API HRESULT WINAPI LyrComRegisterClasses(const LYRCOM_CLASS_ENTRY* entries, UINT count);
/* Removes every class whose library is libraryPath, in one atomic write; S_FALSE when there was
 * none. Errors as LyrComRegisterClasses. */
LYRCOM_API HRESULT WINAPI LyrComUnregisterServer(const char* libraryPath);
/* Removes one class; S_FALSE when it was not registered. */
LYRCOM_API HRESULT WINAPI LyrComUnregisterClass(REFCLSID rclsid);
/* Looks one class up among the classes in force (the user's, then the machine's); S_OK and *entry
 * filled (strings point into buffer, which holds cbBuffer bytes), REGDB_E_CLASSNOTREG,
 * REGDB_E_READREGDB, or E_OUTOFMEMORY when the buffer is too small. */
LYRCOM_API HRESULT WINAPI LyrComQueryClass(REFCLSID rclsid, LYRCOM_CLASS_ENTRY* entry, char* buffer,
                                           UINT cbBuffer);
/* The registry file in use: $LYRCOM_REGISTRY, else
 * ${XDG_CONFIG_HOME:-$HOME/.config}/lyrcom/registry. Returns the length written (without the NUL),
 * or 0 when the buffer is too small or no location can be determined. */
LYRCOM_API UINT WINAPI LyrComRegistryPath(char* buffer, UINT cbBuffer);
/* The machine-wide registry file: $LYRCOM_MACHINE_REGISTRY, else /etc/lyrcom/registry. Look-ups
 * read the user's registry first and then this one: a class (or ProgID) in the user's file hides
 * the machine's. The registration functions above write the machine file when $LYRCOM_REGISTRY
 * names it. Returns the length written (without the NUL), or 0 when the buffer is too small. */
LYRCOM_API UINT WINAPI LyrComMachineRegistryPath(char* buffer, UINT cbBuffer);

LYRCOM_END_EXTERN_C

/* ---- GUID comparison
 * ------------------------------------------------------------------------------ */
#ifdef __cplusplus
inline bool IsEqualGUID(REFGUID a, REFGUID b) {
  return ::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(REFGUID a, REFGUID b) {
  return IsEqualGUID(a, b);
}
inline bool operator!=(REFGUID a, REFGUID b) {
  return !IsEqualGUID(a, b);
}
#else
static inline int IsEqualGUID(REFGUID a, REFGUID b) {
  return memcmp(a, b, sizeof(GUID)) == 0;
}
#endif
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

#endif /* LYR_COM_FUNCTIONS_H */
