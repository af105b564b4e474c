// The set-up the host tests share: the server library loaded as a host loads it and registered
// into the sandbox registry, the thread's apartment, objects created by ProgID, and BSTR arguments
// owned for one call. Public COM headers only.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string_view>

#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "support/sandbox.h"

namespace lyr::automation::host {

// A BSTR owned for the length of one call.
struct Text {
  explicit Text(std::u16string_view text)
      : value(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() { ::SysFreeString(value); }
  BSTR value;
};

// Loads and registers the server, enters the apartment; on tear-down leaves it and checks that
// the server could unload (every object the test made must be released before).
class ServerHost : public lyr::test::Sandbox {
 protected:
  using EntryPoint = HRESULT (*)();

  void SetUp() override {
    Sandbox::SetUp();
    server_ = ::dlopen(LYR_AUTOMATION_SERVER, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(server_, nullptr) << ::dlerror();
    ASSERT_EQ(Entry("DllRegisterServer")(), S_OK);
    ASSERT_TRUE(SUCCEEDED(::CoInitialize(nullptr)));
    ::SetErrorInfo(0, nullptr);
  }
  void TearDown() override {
    ::SetErrorInfo(0, nullptr);
    ::CoUninitialize();
    if (server_ != nullptr) {
      EXPECT_EQ(Entry("DllCanUnloadNow")(), S_OK);
      ::dlclose(server_);
    }
    Sandbox::TearDown();
  }

  [[nodiscard]] EntryPoint Entry(const char* name) const {
    return reinterpret_cast<EntryPoint>(::dlsym(server_, name));
  }

  // Creates the class registered under prog_id through liblyrcom and asks for iid.
  template <typename T>
  T* Create(const char16_t* prog_id, REFIID iid) {
    CLSID clsid{};
    EXPECT_EQ(::CLSIDFromProgID(prog_id, &clsid), S_OK);
    void* object = nullptr;
    EXPECT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, &object), S_OK);
    return static_cast<T*>(object);
  }

  void* server_ = nullptr;
};

}  // namespace lyr::automation::host
