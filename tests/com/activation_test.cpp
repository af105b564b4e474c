// Activation through the registry: a real server library registered in a sandbox registry,
// created by ProgID with CoCreateInstance, and the failures on the way.
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
    const auto entry = reinterpret_cast<LPFNCANUNLOADNOW>(::dlsym(library, "DllCanUnloadNow"));
    ::dlclose(library);
    return entry();
  }
  static HRESULT Create(const CLSID& clsid, IAdder** adder) {
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, lyr::test::kAdderIid,
                            reinterpret_cast<void**>(adder));
  }
  // CoCreateInstance of clsid that must fail with `expected` and no object.
  static void ExpectCreateFails(const CLSID& clsid, HRESULT expected) {
    IAdder* adder = reinterpret_cast<IAdder*>(&adder);
    EXPECT_EQ(Create(clsid, &adder), expected);
    EXPECT_EQ(adder, nullptr);
  }
};

TEST_F(ComActivation, CreatesTheServersObjectByProgIdAndLetsItUnload) {
  ASSERT_EQ(Register(), S_OK);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"lyrcomtest.ADDER", &clsid), S_OK);
  IAdder* adder = nullptr;
  ASSERT_EQ(Create(clsid, &adder), S_OK);
  LONG sum = 0;
  ASSERT_EQ(adder->Add(40, 2, &sum), S_OK);
  EXPECT_EQ(sum, 42);
  EXPECT_EQ(CanUnload(), S_FALSE);
  EXPECT_EQ(adder->Release(), 0u);
  EXPECT_EQ(CanUnload(), S_OK);
}

TEST_F(ComActivation, FailuresGiveTheirCodesAndReasons) {
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
  ASSERT_EQ(Register(LYR_COM_TEST_SERVER, IID_IDispatch), S_OK);  // a class it does not make
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
  std::atomic<int> created{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&created] {
      ASSERT_EQ(CoInitialize(nullptr), S_OK);
      for (int i = 0; i < 25; ++i) {
        IAdder* adder = nullptr;
        LONG sum = 0;
        if (Create(kAdderClsid, &adder) == S_OK && adder->Add(i, 1, &sum) == S_OK && sum == i + 1) {
          created += adder->Release() == 0 ? 1 : 0;
        }
      }
      CoUninitialize();
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(created, 100);
  EXPECT_EQ(CanUnload(), S_OK);
}

}  // namespace
