// The automation tests' helpers, public COM headers only: BSTRs, references, VARIANTs, late-bound
// calls, SafeMode and LastError; in the host binaries the server loaded as a host loads it.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "lyr/com/com.h"
#include "lyr/tdx880/LyrTdxPackage880.h"
#include "support/expect_error_info.h"
#include "support/sandbox.h"

namespace lyr::automation::host {

using test::Shown;
using test::TakeBstr;
constexpr HRESULT kUnexpected = static_cast<HRESULT>(0x8000FFFF);

// A BSTR owned for the length of one call.
struct Text {
  explicit Text(std::u16string_view text)
      : value(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() { ::SysFreeString(value); }
  operator BSTR() const { return value; }  // NOLINT: passed as an argument
  BSTR value;
};

// One reference of an interface.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref&&) = delete;
  ~Ref() { Reset(); }
  void Reset() {
    if (p_ != nullptr) {
      p_->Release();
      p_ = nullptr;
    }
  }
  T** Out() { return &p_; }
  void** OutVoid() { return reinterpret_cast<void**>(&p_); }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// A VARIANT owned by the host.
struct Var {
  Var() { ::VariantInit(&v); }
  explicit Var(std::u16string_view text) : Var() {
    v.vt = VT_BSTR;
    v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  explicit Var(LONG number) : Var() {
    v.vt = VT_I4;
    v.lVal = number;
  }
  explicit Var(IDispatch* object) : Var() {
    v.vt = VT_DISPATCH;
    v.pdispVal = object;
    if (object != nullptr) {
      object->AddRef();
    }
  }
  Var(const Var& other) : Var() { ::VariantCopy(&v, &other.v); }
  Var& operator=(const Var&) = delete;
  ~Var() { ::VariantClear(&v); }

  [[nodiscard]] bool Bool() const { return v.vt == VT_BOOL && v.boolVal == VARIANT_TRUE; }
  [[nodiscard]] LONG Long() const { return v.vt == VT_I4 ? v.lVal : -1; }
  [[nodiscard]] std::u16string Str() const {
    return v.vt == VT_BSTR ? std::u16string(v.bstrVal, ::SysStringLen(v.bstrVal)) : u"";
  }
  [[nodiscard]] IDispatch* Object() const { return v.vt == VT_DISPATCH ? v.pdispVal : nullptr; }

  VARIANT v;
};

inline DISPID DispIdOf(IDispatch* object, const char16_t* name) {
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  DISPID id = 0;
  EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, 0x0409, &id), S_OK) << Shown(name);
  return id;
}

// Invoke with the arguments in the host's reverse order (a put names DISPID_PROPERTYPUT).
inline HRESULT Invoke(IDispatch* object, DISPID id, WORD flags, const std::vector<Var>& args,
                      Var* result = nullptr, EXCEPINFO* exception = nullptr,
                      UINT* argument_error = nullptr) {
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) {
    reversed.push_back(it->v);
  }
  DISPID put = DISPID_PROPERTYPUT;
  const bool is_put = flags == DISPATCH_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), is_put ? &put : nullptr, static_cast<UINT>(reversed.size()),
                    is_put ? 1u : 0u};
  return object->Invoke(id, IID_NULL, 0x0409, flags, &params,
                        result == nullptr ? nullptr : &result->v, exception, argument_error);
}

// A member called by name (GetIDsOfNames, then Invoke) that must succeed.
inline Var Call(IDispatch* object, const char16_t* name, const std::vector<Var>& args = {},
                WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  Var result;
  if (object == nullptr) {
    ADD_FAILURE() << "no object for " << Shown(name);
    return result;
  }
  EXCEPINFO exception{};
  EXPECT_EQ(Invoke(object, DispIdOf(object, name), flags, args, &result, &exception), S_OK)
      << Shown(name) << ": " << Shown(TakeBstr(exception.bstrDescription));
  ::SysFreeString(exception.bstrSource);
  return result;
}

// A member called by name that must fail: DISP_E_EXCEPTION, E_UNEXPECTED and this description.
inline void ExpectException(IDispatch* object, const char16_t* name, const std::vector<Var>& args,
                            std::u16string_view description,
                            WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  Var result;
  EXCEPINFO exception{};
  EXPECT_EQ(Invoke(object, DispIdOf(object, name), flags, args, &result, &exception),
            DISP_E_EXCEPTION)
      << Shown(name);
  EXPECT_EQ(exception.scode, kUnexpected);
  EXPECT_EQ(TakeBstr(exception.bstrDescription), description) << Shown(name);
  ::SysFreeString(exception.bstrSource);
}

inline void Put(IDispatch* object, const char16_t* name, const Var& value) {
  Call(object, name, {value}, DISPATCH_PROPERTYPUT);
}
inline void Put(IDispatch* object, const char16_t* name, std::u16string_view value) {
  Put(object, name, Var(value));
}

// SafeMode and LastError ("code: message") through ITdx880Safe reached by QueryInterface.
inline Ref<ITdx880Safe> SafeOf(IUnknown* object) {
  Ref<ITdx880Safe> safe;
  EXPECT_EQ(object->QueryInterface(IID_ITdx880Safe, safe.OutVoid()), S_OK);
  return safe;
}
inline void SetSafeMode(IUnknown* object, bool on) {
  EXPECT_EQ(SafeOf(object)->put_SafeMode(on ? VARIANT_TRUE : VARIANT_FALSE), S_OK);
}
inline bool SafeModeOf(IUnknown* object) {
  VARIANT_BOOL mode = VARIANT_FALSE;
  EXPECT_EQ(SafeOf(object)->get_SafeMode(&mode), S_OK);
  return mode == VARIANT_TRUE;
}
inline std::u16string LastErrorOf(IUnknown* object) {
  Ref<ITdx880Error> error;
  EXPECT_EQ(SafeOf(object)->get_LastError(error.Out()), S_OK);
  LONG code = 0;
  BSTR message = nullptr;
  EXPECT_EQ(error->get_Code(&code), S_OK);
  EXPECT_EQ(error->get_Message(&message), S_OK);
  const std::string number = std::to_string(code);
  return std::u16string(number.begin(), number.end()) + u": " + TakeBstr(message);
}

#ifdef LYR_AUTOMATION_SERVER
// Loads and registers the server; on tear-down checks it can unload (all objects released).
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
  void Create(const char16_t* prog_id, REFIID iid, Ref<T>& object) {
    CLSID clsid{};
    EXPECT_EQ(::CLSIDFromProgID(prog_id, &clsid), S_OK);
    EXPECT_EQ(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.OutVoid()),
              S_OK);
  }

  // The tdx880 tool run as another program would run it (keys, certificates, packages).
  static int Tool(const std::string& arguments, std::string* out = nullptr) {
    return lyr::test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments, out);
  }
  static std::string Quote(const std::string& path) { return "'" + path + "'"; }

  void* server_ = nullptr;
};
#endif

}  // namespace lyr::automation::host
