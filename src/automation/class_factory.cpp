// Class factories and the table of creatable classes.
#include "automation/class_factory.h"

#include <array>
#include <new>
#include <utility>

#include "automation/com_ptr.h"
#include "automation/server_lock.h"
#include "automation/tdx880_crypt_class.h"
#include "automation/tdx880_manager_class.h"
#include "automation/tdx880_package_class.h"
#include "rtl/errors.h"
#include "rtl/format.h"
#include "rtl/text.h"

namespace lyr::automation {
namespace {

template <typename Class>
IUnknown* CreateObject() {
  auto object = MakeObject<Class>();
  object->Initialize();
  return static_cast<typename Class::DispatchInterface*>(object.Detach());
}

const auto kClasses = std::to_array<CreatableClass>({
    {&CLSID_Tdx880Package, kPackageProgId, &CreateObject<CTdx880Package_class>},
    {&CLSID_Tdx880Crypt, kCryptProgId, &CreateObject<CTdx880Crypt_class>},
    {&CLSID_Tdx880Manager, kManagerProgId, &CreateObject<CTdx880Manager_class>},
});

class CClassFactory final : public IClassFactory {
 public:
  explicit CClassFactory(const CreatableClass& creatable) : class_(creatable) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The factories live as long as the library.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    try {
      ComPtr<IUnknown> created(class_.create());
      return created->QueryInterface(iid, object);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    automation::LockServer(lock != FALSE);
    return S_OK;
  }

 private:
  const CreatableClass& class_;
};

template <std::size_t... Index>
std::array<CClassFactory, sizeof...(Index)> MakeFactories(std::index_sequence<Index...>) {
  return {CClassFactory(kClasses[Index])...};
}

// Made when the library is loaded, one per class (in the order of kClasses).
std::array<CClassFactory, kClasses.size()> factories =
    MakeFactories(std::make_index_sequence<kClasses.size()>());

}  // namespace

std::span<const CreatableClass> CreatableClasses() {
  return kClasses;
}

IClassFactory* ClassFactoryOf(REFCLSID clsid) noexcept {
  for (std::size_t i = 0; i < kClasses.size(); ++i) {
    if (*kClasses[i].clsid == clsid) {
      return &factories[i];
    }
  }
  return nullptr;
}

void* CreateByClassFactory(REFCLSID clsid, REFIID iid) {
  IClassFactory* factory = ClassFactoryOf(clsid);
  void* object = nullptr;
  const HRESULT hr = factory == nullptr ? CLASS_E_CLASSNOTAVAILABLE
                                        : factory->CreateInstance(nullptr, iid, &object);
  if (FAILED(hr)) {
    OLECHAR text[39] = {};
    ::StringFromGUID2(clsid, text, 39);
    rtl::Raise(rtl::Format("Cannot create an object of class %s: 0x%.8x", rtl::Utf16ToAnsi(text),
                           static_cast<uint32_t>(hr)));
  }
  return object;
}

}  // namespace lyr::automation
