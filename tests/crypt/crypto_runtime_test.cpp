// Loading the GOST engine and the provider test.
#include <gtest/gtest.h>

#include <cstdlib>

#include "crypt/crypt_error.h"
#include "crypt/platform/crypto_runtime.h"
#include "support/sandbox.h"

namespace lyr::crypt {
namespace {

class GostProvider : public test::Sandbox {
 protected:
  void TearDown() override {
    ::unsetenv("LYR_TDX_GOST_ENGINE");
    Sandbox::TearDown();
  }
};

TEST_F(GostProvider, IsInstalledWithTheDebianEngine) {
  EXPECT_TRUE(IsGostProviderInstalled());
  const CryptoRuntime runtime;
  const CryptoRuntime nested;
}

TEST_F(GostProvider, DefaultEngineFileIsInOpenSslsEnginesFolder) {
  EXPECT_TRUE(GostEngineFile().ends_with("/gost.so")) << GostEngineFile();
}

TEST_F(GostProvider, MissingEngineFileMeansNoProvider) {
  ::setenv("LYR_TDX_GOST_ENGINE", PathOf("no-such-engine.so").c_str(), 1);
  EXPECT_FALSE(IsGostProviderInstalled());
  try {
    const CryptoRuntime runtime;
    FAIL() << "the runtime started without an engine";
  } catch (const ECryptError& error) {
    EXPECT_EQ(error.ErrorCode(), code::kNteProviderDllFail);
    EXPECT_NE(error.Message().find("no-such-engine.so"), std::string::npos) << error.Message();
  }
}

TEST_F(GostProvider, FileThatIsNoEngineMeansNoProvider) {
  ::setenv("LYR_TDX_GOST_ENGINE", WriteFile("fake.so", "not a shared object").c_str(), 1);
  EXPECT_FALSE(IsGostProviderInstalled());
}

TEST_F(GostProvider, MissingEngineWhileAnotherIsHeldStillMeansNoProvider) {
  const CryptoRuntime runtime;
  ::setenv("LYR_TDX_GOST_ENGINE", PathOf("gone.so").c_str(), 1);
  EXPECT_FALSE(IsGostProviderInstalled());
}

TEST_F(GostProvider, EngineReloadsAfterTheLastRuntimeWentAway) {
  { const CryptoRuntime first; }
  { const CryptoRuntime second; }
  EXPECT_TRUE(IsGostProviderInstalled());
}

}  // namespace
}  // namespace lyr::crypt
