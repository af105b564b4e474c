// A tiny in-process server for the activation tests: one class, a multi-instance class factory,
// and the four entry points. It links liblyrcom by its SONAME like any server.
#include <dlfcn.h>

#include <atomic>
#include <cstring>
#include <new>

#include "test_server.h"

namespace {

using lyr::test::IAdder;

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

class Adder final : public IAdder {
 public:
  Adder() { ++liveObjects; }
  ~Adder() { --liveObjects; }
  Adder(const Adder&) = delete;
  Adder& operator=(const Adder&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) {
      return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == lyr::test::kAdderIid) {
      *ppv = static_cast<IAdder*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete this;
    }
    return left;
  }
  HRESULT Add(LONG a, LONG b, LONG* sum) override {
    if (sum == nullptr) {
      return E_POINTER;
    }
    *sum = a + b;
    return S_OK;
  }
  HRESULT Concat(BSTR a, BSTR b, BSTR* joined) override {
    if (joined == nullptr) {
      return E_POINTER;
    }
    const UINT la = SysStringByteLen(a);
    const UINT lb = SysStringByteLen(b);
    *joined = SysAllocStringByteLen(nullptr, la + lb);
    if (*joined == nullptr) {
      return E_OUTOFMEMORY;
    }
    std::memcpy(*joined, a, la);
    std::memcpy(reinterpret_cast<char*>(*joined) + la, b, lb);
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
};

class AdderFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) {
      return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // The factory lives as long as the library.
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) {
      return E_POINTER;
    }
    *ppv = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    auto* adder = new (std::nothrow) Adder();
    if (adder == nullptr) {
      return E_OUTOFMEMORY;
    }
    const HRESULT hr = adder->QueryInterface(riid, ppv);
    adder->Release();
    return hr;
  }
  HRESULT LockServer(BOOL lock) override {
    serverLocks += lock ? 1 : -1;
    return S_OK;
  }
};

AdderFactory factory;

// This library's own file, found through one of its symbols.
const char* OwnPath() {
  Dl_info info{};
  ::dladdr(reinterpret_cast<void*>(&OwnPath), &info);
  return info.dli_fname;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid,
                                                                 LPVOID* ppv) {
  if (ppv == nullptr) {
    return E_POINTER;
  }
  *ppv = nullptr;
  if (!IsEqualGUID(rclsid, lyr::test::kAdderClsid)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return factory.QueryInterface(riid, ppv);
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
  LYRCOM_CLASS_ENTRY entry{};
  entry.clsid = lyr::test::kAdderClsid;
  entry.libraryPath = OwnPath();
  entry.threadingModel = "Apartment";
  entry.progId = lyr::test::kAdderProgId;
  entry.typeLibId = lyr::test::kAdderTypeLib;
  entry.typeLibMajor = 1;
  entry.typeLibMinor = 2;
  return SUCCEEDED(LyrComRegisterClasses(&entry, 1)) ? S_OK : E_FAIL;
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
  return SUCCEEDED(LyrComUnregisterServer(OwnPath())) ? S_OK : E_FAIL;
}

}  // extern "C"
