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

// Each test registers the server in its sandbox registry and initialises COM on its thread.
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
  static HRESULT RegisterAdder(const char* library = LYR_COM_TEST_SERVER) {
    LYRCOM_CLASS_ENTRY entry{};
    entry.clsid = lyr::test::kAdderClsid;
    entry.libraryPath = library;
    entry.threadingModel = "Apartment";
    entry.progId = lyr::test::kAdderProgId;
    return LyrComRegisterClasses(&entry, 1);
  }
  // An entry point of the (already loaded) test server.
  template <typename F>
  static F ServerEntry(const char* name) {
    void* library = ::dlopen(LYR_COM_TEST_SERVER, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(library, nullptr);
    void* symbol = library != nullptr ? ::dlsym(library, name) : nullptr;
    if (library != nullptr) {
      ::dlclose(library);
    }
    return reinterpret_cast<F>(symbol);
  }
};

TEST_F(ComActivation, CreatesTheServersObjectByProgId) {
  ASSERT_EQ(RegisterAdder(), S_OK);
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(u"lyrcomtest.ADDER", &clsid), S_OK);
  IAdder* adder = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, lyr::test::kAdderIid,
                             reinterpret_cast<void**>(&adder)),
            S_OK);
  ASSERT_NE(adder, nullptr);
  LONG sum = 0;
  ASSERT_EQ(adder->Add(40, 2, &sum), S_OK);
  EXPECT_EQ(sum, 42);

  // BSTRs cross the boundary through the one allocator, byte for byte.
  BSTR a = SysAllocString(u"Привет, ");
  BSTR b = SysAllocStringByteLen("\x98\x00", 2);
  BSTR joined = nullptr;
  ASSERT_EQ(adder->Concat(a, b, &joined), S_OK);
  EXPECT_EQ(SysStringByteLen(joined), SysStringByteLen(a) + 2);
  EXPECT_EQ(std::u16string(joined, 8), u"Привет, ");
  EXPECT_EQ(joined[8], u'\x0098');
  SysFreeString(a);
  SysFreeString(b);
  SysFreeString(joined);

  const auto canUnload = ServerEntry<LPFNCANUNLOADNOW>("DllCanUnloadNow");
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), S_FALSE);
  EXPECT_EQ(adder->Release(), 0u);
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(ComActivation, UnknownClsidIsNotRegistered) {
  ASSERT_EQ(RegisterAdder(), S_OK);
  void* object = this;
  EXPECT_EQ(CoCreateInstance(IID_IDispatch, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
}

TEST_F(ComActivation, UnknownProgIdIsABadClassString) {
  ASSERT_EQ(RegisterAdder(), S_OK);
  CLSID clsid = lyr::test::kAdderClsid;
  EXPECT_EQ(CLSIDFromProgID(u"LyrComTest.Subtracter", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(clsid, CLSID_NULL);
  EXPECT_EQ(CLSIDFromProgID(u"", &clsid), CO_E_CLASSSTRING);
}

TEST_F(ComActivation, ThreadThatDidNotInitialiseGetsNotInitialized) {
  ASSERT_EQ(RegisterAdder(), S_OK);
  CoUninitialize();
  void* object = this;
  EXPECT_EQ(CoCreateInstance(lyr::test::kAdderClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             &object),
            CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(u"LyrComTest.Adder", &clsid), S_OK);  // needs no initialisation
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
}

TEST_F(ComActivation, ServerAnswersForItsOwnClassesOnly) {
  // A class registered to the server that the server does not make.
  LYRCOM_CLASS_ENTRY entry{};
  entry.clsid = IID_IDispatch;
  entry.libraryPath = LYR_COM_TEST_SERVER;
  entry.threadingModel = "Apartment";
  ASSERT_EQ(LyrComRegisterClasses(&entry, 1), S_OK);
  void* object = this;
  EXPECT_EQ(CoCreateInstance(IID_IDispatch, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
}

TEST_F(ComActivation, MissingLibraryFailsWithItsName) {
  const std::string missing = PathOf("gone/libnothing.so");
  ASSERT_EQ(RegisterAdder(missing.c_str()), S_OK);
  void* object = this;
  EXPECT_EQ(CoCreateInstance(lyr::test::kAdderClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             &object),
            CO_E_DLLNOTFOUND);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(DescribeErrorInfo().rfind("cannot load server library " + missing + ": ", 0), 0u);
}

TEST_F(ComActivation, LibraryWithoutDllGetClassObjectIsAnErrorInTheLibrary) {
  ASSERT_EQ(RegisterAdder(LYR_COM_LIBRARY), S_OK);
  void* object = this;
  EXPECT_EQ(CoCreateInstance(lyr::test::kAdderClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                             &object),
            CO_E_ERRORINDLL);
  EXPECT_EQ(DescribeErrorInfo(),
            std::string("server library ") + LYR_COM_LIBRARY + " exports no DllGetClassObject");
}

TEST_F(ComActivation, CHostCreatesTheObjectThroughTheCInterface) {
  ASSERT_EQ(RegisterAdder(), S_OK);
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand(std::string(LYR_COM_C_HOST) + " create 2>&1", &output), 0)
      << output;
  EXPECT_EQ(output, "c host ok\n");
}

TEST_F(ComActivation, ThreadsCreateObjectsConcurrentlyFromOneLoadedLibrary) {
  ASSERT_EQ(RegisterAdder(), S_OK);
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
        if (CoCreateInstance(lyr::test::kAdderClsid, nullptr, CLSCTX_INPROC_SERVER,
                             lyr::test::kAdderIid, reinterpret_cast<void**>(&adder)) == S_OK &&
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
  EXPECT_EQ(ServerEntry<LPFNCANUNLOADNOW>("DllCanUnloadNow")(), S_OK);
}

}  // namespace
