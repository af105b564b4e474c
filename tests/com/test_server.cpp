// A tiny in-process server for the activation tests: one class, a multi-instance class factory,
// and the entry points liblyrcom calls. It links liblyrcom by its SONAME like any server.
#include <atomic>
#include <cstring>

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
    *ppv = riid == IID_IUnknown || riid == lyr::test::kAdderIid ? this : nullptr;
    if (*ppv == nullptr) {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
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
    *sum = a + b;
    return S_OK;
  }
  HRESULT Concat(BSTR a, BSTR b, BSTR* joined) override {
    const UINT la = SysStringByteLen(a);
    const UINT lb = SysStringByteLen(b);
    *joined = SysAllocStringByteLen(nullptr, la + lb);
    std::memcpy(*joined, a, la);
    std::memcpy(reinterpret_cast<char*>(*joined) + la, b, lb);
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
};

// The factory lives as long as the library.
class AdderFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == IID_IClassFactory ? this : nullptr;
    return *ppv != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    auto* adder = new Adder();
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

}  // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid,
                                                                 LPVOID* ppv) {
  *ppv = nullptr;
  if (!IsEqualGUID(rclsid, lyr::test::kAdderClsid)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return factory.QueryInterface(riid, ppv);
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

}  // extern "C"
