// The crypto error table and last error, loading the GOST engine, CZeroString and CCryptoProvider.
#include "crypt/crypto_provider.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <thread>

#include "crypt/platform/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "crypt/platform/key_container.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

using test::MessageOf;

TEST(CryptErrors, TableHoldsEachCodeOnceAndTheCryptoApiValues) {
  std::set<uint32_t> codes;
  std::set<std::string_view> names;
  for (const CryptErrorInfo& info : CryptErrorTable()) {
    EXPECT_TRUE(codes.insert(info.code).second && names.insert(info.name).second) << info.name;
    EXPECT_FALSE(info.text.empty()) << info.name;
    EXPECT_EQ(FindCryptError(info.code), &info);
  }
}

TEST(CryptErrors, TextsShowHexSignedDecimalTextAndDetail) {
  SetLastCryptError(code::kNteBadSignature, "(bad signature)");
  EXPECT_EQ(LastCryptErrorText(), "0x80090006 (-2146893818): Invalid Signature. (bad signature)");
  EXPECT_EQ(CryptErrorCodeText(259), "0x00000103 (259): No more data is available.");
  EXPECT_EQ(CryptErrorCodeText(0x80001234), "0x80001234 (-2147478988): Unknown error");
  const std::optional<ECryptError> raised =
      test::Raised<ECryptError>([] { RaiseCryptError(code::kCryptEExists, "(x)"); });
  ASSERT_TRUE(raised);
  EXPECT_EQ(raised->Message(),
            "0x80092005 (-2146885627): The object or property already exists. (x)");
  EXPECT_EQ(GetLastCryptError(), code::kCryptEExists);
  uint32_t seen_by_other = 1;
  std::thread([&] { seen_by_other = GetLastCryptError(); }).join();
  EXPECT_EQ(seen_by_other, 0U) << "the last error is kept per thread";
}

TEST(ZeroString, AbsentEmptyAndNullDiffer) {
  CZeroString text;
  EXPECT_EQ(text.Value(), nullptr);
  text.Open("");
  ASSERT_NE(text.Value(), nullptr);
  EXPECT_STREQ(text.Value(), "");
  text.Close();
  EXPECT_FALSE(text.Present());
  EXPECT_EQ(MessageOf([&] { text.Open(nullptr); }),
            "Parameter pszObjId = NULL of CZeroString.Open is invalid");
}

class CryptoProviderTest : public test::Sandbox {
 protected:
  void TearDown() override {
    ::unsetenv("LYR_TDX_GOST_ENGINE");
    Sandbox::TearDown();
  }
  void SetEngine(const std::string& path) { ::setenv("LYR_TDX_GOST_ENGINE", path.c_str(), 1); }
};

TEST_F(CryptoProviderTest, EngineLoadsReloadsAndIsMissedWhenItsFileIsNoEngine) {
  EXPECT_TRUE(GostEngineFile().ends_with("/gost.so")) << GostEngineFile();
  { const CryptoRuntime first, nested; }
  EXPECT_TRUE(IsGostProviderInstalled()) << "reloads after the last runtime went away";
  {
    const CryptoRuntime held;
    SetEngine(PathOf("gone.so"));
    EXPECT_FALSE(IsGostProviderInstalled()) << "another engine is held";
  }
  const std::optional<ECryptError> error =
      test::Raised<ECryptError>([] { const CryptoRuntime runtime; });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->ErrorCode(), code::kNteProviderDllFail);
  EXPECT_NE(error->Message().find("gone.so"), std::string::npos) << error->Message();
  EXPECT_EQ(MessageOf([] { CCryptoProvider().AcquireVerifyContext(75, false); }),
            "CCryptoProvider.AcquireContext\n\rProvider DLL failed to initialize correctly.");
  SetEngine(WriteFile("fake.so", "not a shared object"));
  EXPECT_FALSE(IsGostProviderInstalled());
}

TEST_F(CryptoProviderTest, VerificationContextFlagsKeySetAndANewKeySetCreatedOnce) {
  CCryptoProvider provider;
  provider.AcquireVerifyContext(75, false);
  EXPECT_EQ(provider.AcquireFlags(), 0xF0000000U);
  EXPECT_EQ(provider.Handle()->KeyLocation(), StoreLocation::kCurrentUser);
  provider.Close();
  provider.SetMachineKeySet(true);
  provider.SetSilent(true);
  provider.AcquireVerifyContext(75, false);
  EXPECT_EQ(provider.AcquireFlags(), 0xF0000000U | 0x20U | 0x40U);
  EXPECT_EQ(provider.Handle()->KeyLocation(), StoreLocation::kLocalMachine);
  provider.SetMachineKeySet(false);  // ignored while opened
  EXPECT_TRUE(provider.MachineKeySet());
  provider.Close();
  EXPECT_EQ(provider.Handle(), nullptr);
  provider.SetMachineKeySet(false);
  EXPECT_FALSE(provider.MachineKeySet());
  provider.AcquireContext(75, "fresh", false, true);
  EXPECT_EQ(provider.AcquireFlags(), 0x08U | 0x40U) << "still silent";
  EXPECT_EQ(provider.Handle()->Container(), "fresh");
  EXPECT_TRUE(KeyContainer::Exists(StoreLocation::kCurrentUser, "fresh"));
  EXPECT_EQ(MessageOf([&] { provider.AcquireContext(75, "fresh", false, true); }),
            "CCryptoProvider.AcquireContext\n\rObject already exists.");
  provider.AcquireContext(75, "fresh", false, false);
  EXPECT_EQ(provider.AcquireFlags(), 0x40U);
}

TEST_F(CryptoProviderTest, FailedAcquiresGiveThePlatformText) {
  struct Case {
    uint32_t type;
    const char* container;
    const char* provider_name;
    const char* text;
  };
  for (const Case& c : {Case{75, "nothing", nullptr, "Keyset does not exist"},
                        Case{80, nullptr, nullptr, "Provider type not defined."},
                        Case{75, "", nullptr, "The Keyset parameter is invalid."},
                        Case{75, nullptr, "Microsoft Base Cryptographic Provider v1.0",
                             "The keyset is not defined."}}) {
    CCryptoProvider provider;
    if (c.provider_name != nullptr) {
      provider.SetProviderName(c.provider_name);
    }
    EXPECT_EQ(MessageOf([&] { provider.AcquireContext(c.type, c.container, true, false); }),
              std::string("CCryptoProvider.AcquireContext\n\r") + c.text);
    EXPECT_FALSE(provider.Opened());
  }
}

}  // namespace
}  // namespace lyr::crypt
