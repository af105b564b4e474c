// CZeroString and CCryptoProvider.
#include "crypt/crypto_provider.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "crypt/platform/key_container.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

template <typename Body>
std::string MessageOf(Body&& body) {
  try {
    body();
  } catch (const rtl::Exception& error) {
    return error.Message();
  }
  return "(no error)";
}

TEST(ZeroString, IsAbsentUntilOpenedAndAfterClose) {
  CZeroString text;
  EXPECT_FALSE(text.Present());
  EXPECT_EQ(text.Value(), nullptr);
  text.Open("");
  ASSERT_NE(text.Value(), nullptr);
  EXPECT_STREQ(text.Value(), "");
  text.Open("container");
  EXPECT_STREQ(text.Value(), "container");
  text.Close();
  EXPECT_EQ(text.Value(), nullptr);
}

TEST(ZeroString, NullTextIsRefused) {
  CZeroString text;
  EXPECT_EQ(MessageOf([&] { text.Open(nullptr); }),
            "Parameter pszObjId = NULL of CZeroString.Open is invalid");
  EXPECT_FALSE(text.Present());
}

class CryptoProviderTest : public test::Sandbox {
 protected:
  void TearDown() override {
    ::unsetenv("LYR_TDX_GOST_ENGINE");
    Sandbox::TearDown();
  }
};

TEST_F(CryptoProviderTest, VerificationContextHasNoContainer) {
  CCryptoProvider provider;
  provider.AcquireVerifyContext(75, false);
  EXPECT_TRUE(provider.Opened());
  ASSERT_NE(provider.Handle(), nullptr);
  EXPECT_EQ(provider.AcquireFlags(), 0xF0000000U);
  EXPECT_FALSE(provider.Handle()->Container().has_value());
  EXPECT_EQ(provider.Handle()->KeyLocation(), StoreLocation::kCurrentUser);
  EXPECT_EQ(provider.Handle()->ProviderName(), kGostProviderName);
}

TEST_F(CryptoProviderTest, MachineAndSilentFlagsAreAdded) {
  CCryptoProvider provider;
  provider.SetMachineKeySet(true);
  provider.SetSilent(true);
  provider.AcquireVerifyContext(75, false);
  EXPECT_EQ(provider.AcquireFlags(), 0xF0000000U | 0x20U | 0x40U);
  EXPECT_EQ(provider.Handle()->KeyLocation(), StoreLocation::kLocalMachine);
  provider.SetMachineKeySet(false);  // ignored while opened
  EXPECT_TRUE(provider.MachineKeySet());
  provider.Close();
  provider.SetMachineKeySet(false);
  EXPECT_FALSE(provider.MachineKeySet());
  EXPECT_EQ(provider.Handle(), nullptr);
}

TEST_F(CryptoProviderTest, NewKeySetCreatesTheContainerOnce) {
  CCryptoProvider provider;
  provider.AcquireContext(75, "fresh", false, true);
  EXPECT_EQ(provider.AcquireFlags(), 0x08U);
  EXPECT_EQ(provider.Handle()->Container(), "fresh");
  EXPECT_TRUE(KeyContainer::Exists(StoreLocation::kCurrentUser, "fresh"));
  EXPECT_EQ(MessageOf([&] { provider.AcquireContext(75, "fresh", false, true); }),
            "CCryptoProvider.AcquireContext\n\rObject already exists.");
  provider.AcquireContext(75, "fresh", false, false);
  EXPECT_EQ(provider.AcquireFlags(), 0U);
}

struct AcquireFailure {
  const char* name;
  uint32_t type;
  const char* container;
  const char* text;
};

class CryptoProviderFailures : public CryptoProviderTest,
                               public ::testing::WithParamInterface<AcquireFailure> {};

TEST_P(CryptoProviderFailures, RaiseTheAcquireMessageWithThePlatformText) {
  CCryptoProvider provider;
  EXPECT_EQ(MessageOf([&] {
              provider.AcquireContext(GetParam().type, GetParam().container, true, false);
            }),
            std::string("CCryptoProvider.AcquireContext\n\r") + GetParam().text);
  EXPECT_FALSE(provider.Opened());
}

INSTANTIATE_TEST_SUITE_P(Cases, CryptoProviderFailures,
                         ::testing::Values(AcquireFailure{"MissingContainer", 75, "nothing",
                                                          "Keyset does not exist"},
                                           AcquireFailure{"OtherProviderType", 80, nullptr,
                                                          "Provider type not defined."},
                                           AcquireFailure{"EmptyContainerName", 75, "",
                                                          "The Keyset parameter is invalid."}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CryptoProviderTest, OtherProviderNameIsNotDefined) {
  CCryptoProvider provider;
  provider.SetProviderName("Microsoft Base Cryptographic Provider v1.0");
  EXPECT_EQ(MessageOf([&] { provider.AcquireVerifyContext(75, false); }),
            "CCryptoProvider.AcquireContext\n\rThe keyset is not defined.");
}

TEST_F(CryptoProviderTest, MissingEngineFailsTheAcquire) {
  ::setenv("LYR_TDX_GOST_ENGINE", PathOf("missing.so").c_str(), 1);
  CCryptoProvider provider;
  EXPECT_EQ(MessageOf([&] { provider.AcquireVerifyContext(75, false); }),
            "CCryptoProvider.AcquireContext\n\rProvider DLL failed to initialize correctly.");
}

TEST_F(CryptoProviderTest, EnumeratesContainersOfItsKeySet) {
  CCryptoProvider provider;
  std::vector<std::string> names{"stale"};
  provider.EnumerateContainers(names, 75);
  EXPECT_TRUE(names.empty());
  const PrivateKey key = PrivateKey::Generate();
  KeyContainer::Create(StoreLocation::kCurrentUser, "b", key);
  KeyContainer::Create(StoreLocation::kCurrentUser, "a", key);
  KeyContainer::Create(StoreLocation::kLocalMachine, "m", key);
  provider.EnumerateContainers(names, 75);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
  provider.Close();
  provider.SetMachineKeySet(true);
  provider.EnumerateContainers(names, 75);
  EXPECT_EQ(names, (std::vector<std::string>{"m"}));
}

}  // namespace
}  // namespace lyr::crypt
