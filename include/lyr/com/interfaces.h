/* liblyrcom public interfaces: IUnknown, IDispatch, ITypeInfo, IClassFactory and the error-info
 * interfaces, as C++ abstract classes in COM vtable order and as C structs with lpVtbl. */
#ifndef LYR_COM_INTERFACES_H
#define LYR_COM_INTERFACES_H

#include "lyr/com/types.h"

/* Standard interface identifiers, defined in liblyrcom with their well-known values. */
LYRCOM_BEGIN_EXTERN_C
LYRCOM_API extern const IID IID_NULL;
LYRCOM_API extern const CLSID CLSID_NULL;
LYRCOM_API extern const GUID GUID_NULL;
LYRCOM_API extern const IID IID_IUnknown;
LYRCOM_API extern const IID IID_IDispatch;
LYRCOM_API extern const IID IID_ITypeInfo;
LYRCOM_API extern const IID IID_IClassFactory;
LYRCOM_API extern const IID IID_IErrorInfo;
LYRCOM_API extern const IID IID_ICreateErrorInfo;
LYRCOM_API extern const IID IID_ISupportErrorInfo;
LYRCOM_END_EXTERN_C

#ifdef __cplusplus

/* C++: abstract classes whose vtables are the COM vtables (no virtual destructors). */
struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IDispatch : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                  LCID lcid, DISPID* rgDispId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                           DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                           EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};

struct ITypeInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** ppVarDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                                             UINT* pcNames) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames,
                                                  MEMBERID* pMemId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags,
                                           DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                           EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName,
                                                     BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                                     BSTR* pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind,
                                                BSTR* pBstrDllName, BSTR* pBstrName,
                                                WORD* pwOrdinal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind,
                                                    PVOID* ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                   PVOID* ppvObj) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR* pBstrMops) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) = 0;
  virtual void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
  virtual void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;
  virtual void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* pVarDesc) = 0;
};

struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                   void** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

struct IErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetGUID(GUID* pGUID) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetSource(BSTR* pBstrSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDescription(BSTR* pBstrDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpFile(BSTR* pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHelpContext(DWORD* pdwHelpContext) = 0;
};

struct ICreateErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetGUID(REFGUID rguid) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetSource(LPOLESTR szSource) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetDescription(LPOLESTR szDescription) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpFile(LPOLESTR szHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetHelpContext(DWORD dwHelpContext) = 0;
};

struct ISupportErrorInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) = 0;
};

#else /* C */

/* C: each interface is a struct whose first member points at its table of functions. */
typedef struct IUnknownVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IUnknown* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IUnknown* This);
  ULONG(STDMETHODCALLTYPE* Release)(IUnknown* This);
} IUnknownVtbl;
struct IUnknown {
  const struct IUnknownVtbl* lpVtbl;
};
#define IUnknown_QueryInterface(This, riid, ppvObject) \
  ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define IUnknown_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define IUnknown_Release(This) ((This)->lpVtbl->Release((This)))

typedef struct IDispatchVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IDispatch* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IDispatch* This);
  ULONG(STDMETHODCALLTYPE* Release)(IDispatch* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IDispatch* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)
  (IDispatch* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (IDispatch* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (IDispatch* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
} IDispatchVtbl;
struct IDispatch {
  const struct IDispatchVtbl* lpVtbl;
};
#define IDispatch_QueryInterface(This, riid, ppvObject) \
  ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define IDispatch_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define IDispatch_Release(This) ((This)->lpVtbl->Release((This)))
#define IDispatch_GetTypeInfoCount(This, pctinfo) \
  ((This)->lpVtbl->GetTypeInfoCount((This), (pctinfo)))
#define IDispatch_GetTypeInfo(This, iTInfo, lcid, ppTInfo) \
  ((This)->lpVtbl->GetTypeInfo((This), (iTInfo), (lcid), (ppTInfo)))
#define IDispatch_GetIDsOfNames(This, riid, rgszNames, cNames, lcid, rgDispId) \
  ((This)->lpVtbl->GetIDsOfNames((This), (riid), (rgszNames), (cNames), (lcid), (rgDispId)))
#define IDispatch_Invoke(This, dispIdMember, riid, lcid, wFlags, pDispParams, pVarResult,  \
                         pExcepInfo, puArgErr)                                             \
  ((This)->lpVtbl->Invoke((This), (dispIdMember), (riid), (lcid), (wFlags), (pDispParams), \
                          (pVarResult), (pExcepInfo), (puArgErr)))

typedef struct ITypeInfoVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITypeInfo* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITypeInfo* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITypeInfo* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeAttr)(ITypeInfo* This, TYPEATTR** ppTypeAttr);
  HRESULT(STDMETHODCALLTYPE* GetTypeComp)(ITypeInfo* This, ITypeComp** ppTComp);
  HRESULT(STDMETHODCALLTYPE* GetFuncDesc)(ITypeInfo* This, UINT index, FUNCDESC** ppFuncDesc);
  HRESULT(STDMETHODCALLTYPE* GetVarDesc)(ITypeInfo* This, UINT index, VARDESC** ppVarDesc);
  HRESULT(STDMETHODCALLTYPE* GetNames)
  (ITypeInfo* This, MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames);
  HRESULT(STDMETHODCALLTYPE* GetRefTypeOfImplType)(ITypeInfo* This, UINT index, HREFTYPE* pRefType);
  HRESULT(STDMETHODCALLTYPE* GetImplTypeFlags)(ITypeInfo* This, UINT index, INT* pImplTypeFlags);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (ITypeInfo* This, LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ITypeInfo* This, PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* GetDocumentation)
  (ITypeInfo* This, MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
   BSTR* pBstrHelpFile);
  HRESULT(STDMETHODCALLTYPE* GetDllEntry)
  (ITypeInfo* This, MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
   WORD* pwOrdinal);
  HRESULT(STDMETHODCALLTYPE* GetRefTypeInfo)
  (ITypeInfo* This, HREFTYPE hRefType, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* AddressOfMember)
  (ITypeInfo* This, MEMBERID memid, INVOKEKIND invKind, PVOID* ppv);
  HRESULT(STDMETHODCALLTYPE* CreateInstance)
  (ITypeInfo* This, IUnknown* pUnkOuter, REFIID riid, PVOID* ppvObj);
  HRESULT(STDMETHODCALLTYPE* GetMops)(ITypeInfo* This, MEMBERID memid, BSTR* pBstrMops);
  HRESULT(STDMETHODCALLTYPE* GetContainingTypeLib)
  (ITypeInfo* This, ITypeLib** ppTLib, UINT* pIndex);
  void(STDMETHODCALLTYPE* ReleaseTypeAttr)(ITypeInfo* This, TYPEATTR* pTypeAttr);
  void(STDMETHODCALLTYPE* ReleaseFuncDesc)(ITypeInfo* This, FUNCDESC* pFuncDesc);
  void(STDMETHODCALLTYPE* ReleaseVarDesc)(ITypeInfo* This, VARDESC* pVarDesc);
} ITypeInfoVtbl;
struct ITypeInfo {
  const struct ITypeInfoVtbl* lpVtbl;
};
#define ITypeInfo_QueryInterface(This, riid, ppvObject) \
  ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ITypeInfo_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ITypeInfo_Release(This) ((This)->lpVtbl->Release((This)))
#define ITypeInfo_GetTypeAttr(This, ppTypeAttr) ((This)->lpVtbl->GetTypeAttr((This), (ppTypeAttr)))
#define ITypeInfo_GetTypeComp(This, ppTComp) ((This)->lpVtbl->GetTypeComp((This), (ppTComp)))
#define ITypeInfo_GetFuncDesc(This, index, ppFuncDesc) \
  ((This)->lpVtbl->GetFuncDesc((This), (index), (ppFuncDesc)))
#define ITypeInfo_GetVarDesc(This, index, ppVarDesc) \
  ((This)->lpVtbl->GetVarDesc((This), (index), (ppVarDesc)))
#define ITypeInfo_GetNames(This, memid, rgBstrNames, cMaxNames, pcNames) \
  ((This)->lpVtbl->GetNames((This), (memid), (rgBstrNames), (cMaxNames), (pcNames)))
#define ITypeInfo_GetRefTypeOfImplType(This, index, pRefType) \
  ((This)->lpVtbl->GetRefTypeOfImplType((This), (index), (pRefType)))
#define ITypeInfo_GetImplTypeFlags(This, index, pImplTypeFlags) \
  ((This)->lpVtbl->GetImplTypeFlags((This), (index), (pImplTypeFlags)))
#define ITypeInfo_GetIDsOfNames(This, rgszNames, cNames, pMemId) \
  ((This)->lpVtbl->GetIDsOfNames((This), (rgszNames), (cNames), (pMemId)))
#define ITypeInfo_Invoke(This, pvInstance, memid, wFlags, pDispParams, pVarResult, pExcepInfo,  \
                         puArgErr)                                                              \
  ((This)->lpVtbl->Invoke((This), (pvInstance), (memid), (wFlags), (pDispParams), (pVarResult), \
                          (pExcepInfo), (puArgErr)))
#define ITypeInfo_GetDocumentation(This, memid, pBstrName, pBstrDocString, pdwHelpContext, \
                                   pBstrHelpFile)                                          \
  ((This)->lpVtbl->GetDocumentation((This), (memid), (pBstrName), (pBstrDocString),        \
                                    (pdwHelpContext), (pBstrHelpFile)))
#define ITypeInfo_GetDllEntry(This, memid, invKind, pBstrDllName, pBstrName, pwOrdinal) \
  ((This)->lpVtbl->GetDllEntry((This), (memid), (invKind), (pBstrDllName), (pBstrName), \
                               (pwOrdinal)))
#define ITypeInfo_GetRefTypeInfo(This, hRefType, ppTInfo) \
  ((This)->lpVtbl->GetRefTypeInfo((This), (hRefType), (ppTInfo)))
#define ITypeInfo_AddressOfMember(This, memid, invKind, ppv) \
  ((This)->lpVtbl->AddressOfMember((This), (memid), (invKind), (ppv)))
#define ITypeInfo_CreateInstance(This, pUnkOuter, riid, ppvObj) \
  ((This)->lpVtbl->CreateInstance((This), (pUnkOuter), (riid), (ppvObj)))
#define ITypeInfo_GetMops(This, memid, pBstrMops) \
  ((This)->lpVtbl->GetMops((This), (memid), (pBstrMops)))
#define ITypeInfo_GetContainingTypeLib(This, ppTLib, pIndex) \
  ((This)->lpVtbl->GetContainingTypeLib((This), (ppTLib), (pIndex)))
#define ITypeInfo_ReleaseTypeAttr(This, pTypeAttr) \
  ((This)->lpVtbl->ReleaseTypeAttr((This), (pTypeAttr)))
#define ITypeInfo_ReleaseFuncDesc(This, pFuncDesc) \
  ((This)->lpVtbl->ReleaseFuncDesc((This), (pFuncDesc)))
#define ITypeInfo_ReleaseVarDesc(This, pVarDesc) \
  ((This)->lpVtbl->ReleaseVarDesc((This), (pVarDesc)))

typedef struct IClassFactoryVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IClassFactory* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IClassFactory* This);
  ULONG(STDMETHODCALLTYPE* Release)(IClassFactory* This);
  HRESULT(STDMETHODCALLTYPE* CreateInstance)
  (IClassFactory* This, IUnknown* pUnkOuter, REFIID riid, void** ppvObject);
  HRESULT(STDMETHODCALLTYPE* LockServer)(IClassFactory* This, BOOL fLock);
} IClassFactoryVtbl;
struct IClassFactory {
  const struct IClassFactoryVtbl* lpVtbl;
};
#define IClassFactory_QueryInterface(This, riid, ppvObject) \
  ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define IClassFactory_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define IClassFactory_Release(This) ((This)->lpVtbl->Release((This)))
#define IClassFactory_CreateInstance(This, pUnkOuter, riid, ppvObject) \
  ((This)->lpVtbl->CreateInstance((This), (pUnkOuter), (riid), (ppvObject)))
#define IClassFactory_LockServer(This, fLock) ((This)->lpVtbl->LockServer((This), (fLock)))

typedef struct IErrorInfoVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IErrorInfo* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IErrorInfo* This);
  ULONG(STDMETHODCALLTYPE* Release)(IErrorInfo* This);
  HRESULT(STDMETHODCALLTYPE* GetGUID)(IErrorInfo* This, GUID* pGUID);
  HRESULT(STDMETHODCALLTYPE* GetSource)(IErrorInfo* This, BSTR* pBstrSource);
  HRESULT(STDMETHODCALLTYPE* GetDescription)(IErrorInfo* This, BSTR* pBstrDescription);
  HRESULT(STDMETHODCALLTYPE* GetHelpFile)(IErrorInfo* This, BSTR* pBstrHelpFile);
  HRESULT(STDMETHODCALLTYPE* GetHelpContext)(IErrorInfo* This, DWORD* pdwHelpContext);
} IErrorInfoVtbl;
struct IErrorInfo {
  const struct IErrorInfoVtbl* lpVtbl;
};
#define IErrorInfo_QueryInterface(This, riid, ppvObject) \
  ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define IErrorInfo_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define IErrorInfo_Release(This) ((This)->lpVtbl->Release((This)))
#define IErrorInfo_GetGUID(This, pGUID) ((This)->lpVtbl->GetGUID((This), (pGUID)))
#define IErrorInfo_GetSource(This, pBstrSource) ((This)->lpVtbl->GetSource((This), (pBstrSource)))
#define IErrorInfo_GetDescription(This, pBstrDescription) \
  ((This)->lpVtbl->GetDescription((This), (pBstrDescription)))
#define IErrorInfo_GetHelpFile(This, pBstrHelpFile) \
  ((This)->lpVtbl->GetHelpFile((This), (pBstrHelpFile)))
#define IErrorInfo_GetHelpContext(This, pdwHelpContext) \
  ((This)->lpVtbl->GetHelpContext((This), (pdwHelpContext)))

typedef struct ICreateErrorInfoVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ICreateErrorInfo* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ICreateErrorInfo* This);
  ULONG(STDMETHODCALLTYPE* Release)(ICreateErrorInfo* This);
  HRESULT(STDMETHODCALLTYPE* SetGUID)(ICreateErrorInfo* This, REFGUID rguid);
  HRESULT(STDMETHODCALLTYPE* SetSource)(ICreateErrorInfo* This, LPOLESTR szSource);
  HRESULT(STDMETHODCALLTYPE* SetDescription)(ICreateErrorInfo* This, LPOLESTR szDescription);
  HRESULT(STDMETHODCALLTYPE* SetHelpFile)(ICreateErrorInfo* This, LPOLESTR szHelpFile);
  HRESULT(STDMETHODCALLTYPE* SetHelpContext)(ICreateErrorInfo* This, DWORD dwHelpContext);
} ICreateErrorInfoVtbl;
struct ICreateErrorInfo {
  const struct ICreateErrorInfoVtbl* lpVtbl;
};
#define ICreateErrorInfo_QueryInterface(This, riid, ppvObject) \
  ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ICreateErrorInfo_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ICreateErrorInfo_Release(This) ((This)->lpVtbl->Release((This)))
#define ICreateErrorInfo_SetGUID(This, rguid) ((This)->lpVtbl->SetGUID((This), (rguid)))
#define ICreateErrorInfo_SetSource(This, szSource) ((This)->lpVtbl->SetSource((This), (szSource)))
#define ICreateErrorInfo_SetDescription(This, szDescription) \
  ((This)->lpVtbl->SetDescription((This), (szDescription)))
#define ICreateErrorInfo_SetHelpFile(This, szHelpFile) \
  ((This)->lpVtbl->SetHelpFile((This), (szHelpFile)))
#define ICreateErrorInfo_SetHelpContext(This, dwHelpContext) \
  ((This)->lpVtbl->SetHelpContext((This), (dwHelpContext)))

typedef struct ISupportErrorInfoVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)
  (ISupportErrorInfo* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ISupportErrorInfo* This);
  ULONG(STDMETHODCALLTYPE* Release)(ISupportErrorInfo* This);
  HRESULT(STDMETHODCALLTYPE* InterfaceSupportsErrorInfo)(ISupportErrorInfo* This, REFIID riid);
} ISupportErrorInfoVtbl;
struct ISupportErrorInfo {
  const struct ISupportErrorInfoVtbl* lpVtbl;
};
#define ISupportErrorInfo_QueryInterface(This, riid, ppvObject) \
  ((This)->lpVtbl->QueryInterface((This), (riid), (ppvObject)))
#define ISupportErrorInfo_AddRef(This) ((This)->lpVtbl->AddRef((This)))
#define ISupportErrorInfo_Release(This) ((This)->lpVtbl->Release((This)))
#define ISupportErrorInfo_InterfaceSupportsErrorInfo(This, riid) \
  ((This)->lpVtbl->InterfaceSupportsErrorInfo((This), (riid)))

#endif /* __cplusplus */

#endif /* LYR_COM_INTERFACES_H */
