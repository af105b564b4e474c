// Activation through the registry: a real server library registered in a sandbox registry,
// created by ProgID with CoCreateInstance from C++ and from a C host, and the failures on the way.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "lyr/com/com.h"
#include "support/expect_error_info.h"
#include "support/sandbox.h"
#include "test_server.h"

namespace {

using lyr::test::DescribeErrorInfo;
using lyr::test::IAdder;
using lyr::test::kAdderClsid;

// Each test initialises COM on its thread.
class ComActivation : public lyr::test::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
  }
  void TearDown() override {
    CoUninitialize();
    Sandbox::TearDown();
  }
  static HRESULT Register(const char* library = LYR_COM_TEST_SERVER,
                          const CLSID& clsid = kAdderClsid) {
    LYRCOM_CLASS_ENTRY entry{clsid, library, "Apartment", lyr::test::kAdderProgId, {}, 0, 0};
    return LyrComRegisterClasses(&entry, 1);
  }
  // DllCanUnloadNow of the (already loaded) test server.
  static HRESULT CanUnload() {
    void* library = ::dlopen(LYR_COM_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(library, nullptr);
    const auto entry = reinterpret_cast<LPFNCANUNLOADNOW>(::dlsym(library, "DllCanUnloadNow"));
    ::dlclose(library);
    return entry();
  }
  // CoCreateInstance of clsid that must fail with `expected` and no object.
  static void ExpectCreateFails(const CLSID& clsid, HRESULT expected) {
    void* object = &object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
              expected);
    EXPECT_EQ(object, nullptr);
  }
};

TEST_F(ComActivation, CreatesTheServersObjectByProgIdAndLetsItUnload) {
  ASSERT_EQ(Register(), S_OK);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"lyrcomtest.ADDER", &clsid), S_OK);
  IAdder* adder = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, lyr::test::kAdderIid,
                             reinterpret_cast<void**>(&adder)),
            S_OK);
  LONG sum = 0;
  ASSERT_EQ(adder->Add(40, 2, &sum), S_OK);
  EXPECT_EQ(sum, 42);
  // BSTRs cross the boundary through the one allocator, byte for byte.
  BSTR a = SysAllocString(u"Привет, ");
  BSTR b = SysAllocStringByteLen("\x98\x00", 2);
  BSTR joined = nullptr;
  ASSERT_EQ(adder->Concat(a, b, &joined), S_OK);
  EXPECT_EQ(std::u16string(joined, SysStringLen(joined)), u"Привет, \x0098");
  SysFreeString(a);
  SysFreeString(b);
  SysFreeString(joined);
  EXPECT_EQ(CanUnload(), S_FALSE);
  EXPECT_EQ(adder->Release(), 0u);
  EXPECT_EQ(CanUnload(), S_OK);
  // The C host, against the public header alone, does the same through the C vtables.
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand(std::string(LYR_COM_C_HOST) + " create 2>&1", &output), 0)
      << output;
  EXPECT_EQ(output, "c host ok\n");
}

TEST_F(ComActivation, UnknownClassesAndProgIdsAndUninitialisedThreadsFail) {
  ASSERT_EQ(Register(), S_OK);
  ExpectCreateFails(IID_IDispatch, REGDB_E_CLASSNOTREG);
  CLSID clsid = kAdderClsid;
  EXPECT_EQ(CLSIDFromProgID(u"LyrComTest.Subtracter", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(clsid, CLSID_NULL);
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), CO_E_CLASSSTRING);
  CoUninitialize();
  ExpectCreateFails(kAdderClsid, CO_E_NOTINITIALIZED);
  EXPECT_EQ(CLSIDFromProgID(u"LyrComTest.Adder", &clsid), S_OK);  // needs no initialisation
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
}

TEST_F(ComActivation, LibrariesThatCannotMakeTheClassFailWithTheirReason) {
  // A class registered to the server that the server does not make.
  ASSERT_EQ(Register(LYR_COM_TEST_SERVER, IID_IDispatch), S_OK);
  ExpectCreateFails(IID_IDispatch, CLASS_E_CLASSNOTAVAILABLE);
  const std::string missing = PathOf("gone/libnothing.so");
  ASSERT_EQ(Register(missing.c_str()), S_OK);
  ExpectCreateFails(kAdderClsid, CO_E_DLLNOTFOUND);
  EXPECT_TRUE(DescribeErrorInfo().starts_with("cannot load server library " + missing + ": "));
  ASSERT_EQ(Register(LYR_COM_LIBRARY), S_OK);
  ExpectCreateFails(kAdderClsid, CO_E_ERRORINDLL);
  EXPECT_EQ(DescribeErrorInfo(),
            std::string("server library ") + LYR_COM_LIBRARY + " exports no DllGetClassObject");
}

TEST_F(ComActivation, ThreadsCreateObjectsConcurrentlyFromOneLoadedLibrary) {
  ASSERT_EQ(Register(), S_OK);
  constexpr int kThreads = 4;
  std::atomic<int> created{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&created] {
      if (CoInitialize(nullptr) != S_OK) {
        return;
      }
      for (int i = 0; i < 25; ++i) {
        IAdder* adder = nullptr;
        LONG sum = 0;
        if (CoCreateInstance(kAdderClsid, nullptr, CLSCTX_INPROC_SERVER, lyr::test::kAdderIid,
                             reinterpret_cast<void**>(&adder)) == S_OK &&
            adder->Add(i, 1, &sum) == S_OK && sum == i + 1) {
          ++created;
        }
        if (adder != nullptr) {
          adder->Release();
        }
      }
      CoUninitialize();
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(created, kThreads * 25);
  EXPECT_EQ(CanUnload(), S_OK);
}

}  // namespace
