// The exported entry points of libLyrTdxPackage880.so: class objects, unloading, registration.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "automation/class_factory.h"
#include "automation/com_ptr.h"
#include "automation/server_lock.h"
#include "automation/type_library.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "rtl/trace.h"

#define LYR_EXPORT extern "C" __attribute__((visibility("default")))

LYR_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
LYR_EXPORT HRESULT DllCanUnloadNow(void);
LYR_EXPORT HRESULT DllRegisterServer(void);
LYR_EXPORT HRESULT DllUnregisterServer(void);

namespace lyr::automation {
namespace {

// The real file of this library (dladdr on one of its own functions), absolute.
std::string LibraryFile() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) == 0 ||
      info.dli_fname == nullptr) {
    rtl::Raise("Cannot find the library's own file");
  }
  char resolved[PATH_MAX];
  if (::realpath(info.dli_fname, resolved) == nullptr) {
    rtl::RaiseLastOSError();
  }
  return resolved;
}

// The registry's explanation of a failed call (liblyrcom sets the thread's error object).
[[noreturn]] void RaiseRegistryError(HRESULT hr) {
  std::string message = rtl::Format("Class registry error 0x%x", static_cast<int32_t>(hr));
  ComPtr<IErrorInfo> info;
  if (::GetErrorInfo(0, info.Receive()) == S_OK && info) {
    BSTR description = nullptr;
    if (SUCCEEDED(info->GetDescription(&description)) && description != nullptr) {
      message +=
          ": " + rtl::Utf16ToAnsi(std::u16string_view(description, ::SysStringLen(description)));
    }
    ::SysFreeString(description);
  }
  rtl::Raise(message);
}

void Register() {
  const std::string file = LibraryFile();
  const TypeLibrary& library = LyrTdxPackage880Library();
  std::vector<std::string> prog_ids;
  for (const CreatableClass& creatable : CreatableClasses()) {
    prog_ids.push_back(rtl::Utf16ToAnsi(creatable.prog_id));  // ASCII
  }
  std::vector<LYRCOM_CLASS_ENTRY> entries;
  for (std::size_t i = 0; i < CreatableClasses().size(); ++i) {
    LYRCOM_CLASS_ENTRY entry{};
    entry.clsid = *CreatableClasses()[i].clsid;
    entry.libraryPath = file.c_str();
    entry.threadingModel = "Apartment";
    entry.progId = prog_ids[i].c_str();
    entry.typeLibId = library.libid;
    entry.typeLibMajor = library.major_version;
    entry.typeLibMinor = library.minor_version;
    entries.push_back(entry);
  }
  const HRESULT hr = ::LyrComRegisterClasses(entries.data(), static_cast<UINT>(entries.size()));
  if (FAILED(hr)) {
    RaiseRegistryError(hr);
  }
}

void Unregister() {
  const HRESULT hr = ::LyrComUnregisterServer(LibraryFile().c_str());
  if (FAILED(hr)) {
    RaiseRegistryError(hr);
  }
}

std::string CurrentMessage() noexcept {
  try {
    throw;
  } catch (const rtl::Exception& error) {
    return error.Message();
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace
}  // namespace lyr::automation

HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) {
    return E_POINTER;
  }
  *ppv = nullptr;
  IClassFactory* factory = lyr::automation::ClassFactoryOf(rclsid);
  if (factory == nullptr) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return factory->QueryInterface(riid, ppv);
}

HRESULT DllCanUnloadNow(void) {
  return lyr::automation::CanUnloadServer() ? S_OK : S_FALSE;
}

HRESULT DllRegisterServer(void) {
  lyr::rtl::TraceLine("DllRegisterServer.begin");
  HRESULT result = S_OK;
  try {
    lyr::automation::Register();
  } catch (...) {
    lyr::rtl::TraceLine(lyr::automation::CurrentMessage());
    result = E_FAIL;
  }
  lyr::rtl::TraceLine("DllRegisterServer.end");
  return result;
}

HRESULT DllUnregisterServer(void) {
  try {
    lyr::automation::Unregister();
  } catch (...) {
    lyr::rtl::TraceLine(lyr::automation::CurrentMessage());
    return E_FAIL;
  }
  return S_OK;
}
