// A tiny in-process server for the activation tests: one class, its factory and the entry points
// liblyrcom calls. It links liblyrcom by its SONAME like any server.
#include <atomic>

#include "test_server.h"

namespace {

std::atomic<long> liveObjects{0};

class Adder final : public lyr::test::IAdder {
 public:
  Adder() { ++liveObjects; }
  ~Adder() { --liveObjects; }
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == lyr::test::kAdderIid ? this : nullptr;
    return *ppv != nullptr ? (AddRef(), S_OK) : E_NOINTERFACE;
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
  HRESULT LockServer(BOOL) override { return E_NOTIMPL; }
};

AdderFactory factory;

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid,
                                                                            REFIID riid,
                                                                            LPVOID* ppv) {
  *ppv = nullptr;
  return rclsid == lyr::test::kAdderClsid ? factory.QueryInterface(riid, ppv)
                                          : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return liveObjects == 0 ? S_OK : S_FALSE;
}
