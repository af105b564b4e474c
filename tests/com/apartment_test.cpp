// CoInitialize(Ex)/CoUninitialize: per-thread counts and threading models.
#include <gtest/gtest.h>

#include <thread>

#include "lyr/com/com.h"

namespace {

TEST(Apartment, RepeatCallGivesFalseAndEachCallIsBalanced) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
  CoUninitialize();
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);  // fully uninitialised again
  CoUninitialize();
}

TEST(Apartment, EachThreadInitialisesItself) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  HRESULT other = E_FAIL;
  std::thread([&] {
    other = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
  }).join();
  EXPECT_EQ(other, S_OK);
  CoUninitialize();
}

TEST(Apartment, UnknownFlagsAreRefused) {
  EXPECT_EQ(CoInitializeEx(nullptr, 0x100), E_INVALIDARG);
}

TEST(Apartment, LastUninitializeReleasesTheThreadsErrorObject) {
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  ICreateErrorInfo* create = nullptr;
  ASSERT_EQ(CreateErrorInfo(&create), S_OK);
  IErrorInfo* info = nullptr;
  create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
  create->Release();
  SetErrorInfo(0, info);
  CoUninitialize();
  EXPECT_EQ(info->Release(), 0u);  // the slot no longer held it
  IErrorInfo* got = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &got), S_FALSE);
}

TEST(Apartment, UnbalancedUninitializeIsHarmless) {
  CoUninitialize();
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

}  // namespace
