// Activation: CoGetClassObject/CoCreateInstance through the class registry, and ProgID look-ups.
#include <algorithm>
#include <memory>
#include <new>
#include <optional>

#include "apartment.h"
#include "class_registry.h"
#include "error_info.h"
#include "lyr/com/com.h"
#include "server_library.h"
#include "utf.h"

namespace {

using lyr::com::ClassEntry;
using lyr::com::RegistryError;

// The classes of the user's and the machine registry, read again only when a file changed.
std::shared_ptr<const std::vector<ClassEntry>> Registry() {
  return lyr::com::ClassesInForce();
}

std::optional<ClassEntry> FindClass(REFCLSID clsid) {
  const auto registry = Registry();  // kept alive for the loop
  for (const ClassEntry& entry : *registry) {
    if (IsEqualGUID(entry.clsid, clsid)) {
      return entry;
    }
  }
  return std::nullopt;
}

}  // namespace

extern "C" {

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID /*pvReserved*/, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) {
    return E_INVALIDARG;
  }
  *ppv = nullptr;
  if (dwClsContext == 0) {
    return E_INVALIDARG;
  }
  if (!lyr::com::IsThreadInitialized()) {
    return CO_E_NOTINITIALIZED;
  }
  // Only in-process servers exist here; a mask without them finds no class.
  if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) {
    return REGDB_E_CLASSNOTREG;
  }
  return lyr::com::Guarded([&] {
    const std::optional<ClassEntry> entry = FindClass(rclsid);
    if (!entry) {
      return REGDB_E_CLASSNOTREG;
    }
    const LPFNGETCLASSOBJECT getClassObject = lyr::com::ClassObjectEntry(entry->libraryPath);
    const HRESULT hr = getClassObject(rclsid, riid, ppv);
    if (FAILED(hr)) {
      *ppv = nullptr;
    }
    return hr;
  });
}

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
  if (ppv == nullptr) {
    return E_INVALIDARG;
  }
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) {
    return hr;
  }
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) {
    *ppv = nullptr;
  }
  return hr;
}

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) {
    return E_INVALIDARG;
  }
  *lpclsid = CLSID_NULL;
  return lyr::com::Guarded([&] {
    const std::string progId = lyr::com::Utf16ToUtf8(lpszProgID);
    if (progId.empty()) {
      return CO_E_CLASSSTRING;
    }
    const auto registry = Registry();  // kept alive for the loop
    for (const ClassEntry& entry : *registry) {
      if (lyr::com::SameProgId(entry.progId, progId)) {
        *lpclsid = entry.clsid;
        return S_OK;
      }
    }
    return CO_E_CLASSSTRING;
  });
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (lplpszProgID == nullptr) {
    return E_INVALIDARG;
  }
  *lplpszProgID = nullptr;
  return lyr::com::Guarded([&] {
    const std::optional<ClassEntry> entry = FindClass(clsid);
    if (!entry || entry->progId.empty()) {
      return REGDB_E_CLASSNOTREG;
    }
    const std::u16string text = lyr::com::Utf8ToUtf16(entry->progId);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
    if (copy == nullptr) {
      return E_OUTOFMEMORY;
    }
    std::copy(text.c_str(), text.c_str() + text.size() + 1, copy);
    *lplpszProgID = copy;
    return S_OK;
  });
}

}  // extern "C"
