// The tool's register / unregister commands, run as a program against the built server and a
// sandbox class registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/sandbox.h"

namespace lyr::tool {
namespace {

class RegisterCommand : public test::Sandbox {
 protected:
  int Run(const std::string& arguments, std::string* output) {
    return test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>&1", output);
  }
  std::string Registry() const { return test::ReadAll(std::getenv("LYRCOM_REGISTRY")); }
};

TEST_F(RegisterCommand, RegistersTheCreatableClassesAndUnregistersThem) {
  std::string output;
  ASSERT_EQ(Run("register", &output), 0) << output;
  EXPECT_EQ(output.rfind("Registered ", 0), 0u) << output;
  EXPECT_NE(
      output.find("libLyrTdxPackage880.so.1 in " + std::string(std::getenv("LYRCOM_REGISTRY"))),
      std::string::npos)
      << output;
  EXPECT_NE(Registry().find("LyrTdxPackage880.Tdx880Manager"), std::string::npos);
  EXPECT_NE(Registry().find("LyrTdxPackage880.Tdx880Package"), std::string::npos);
  EXPECT_NE(Registry().find("LyrTdxPackage880.Tdx880Crypt"), std::string::npos);

  std::string second;
  ASSERT_EQ(Run("unregister", &second), 0) << second;
  EXPECT_EQ(second.rfind("Unregistered ", 0), 0u) << second;
  EXPECT_EQ(Registry().find("LyrTdxPackage880."), std::string::npos);
}

TEST_F(RegisterCommand, MachineRegistrationWritesTheMachineFileOnly) {
  const std::string machine = std::getenv("LYRCOM_MACHINE_REGISTRY");
  std::string output;
  ASSERT_EQ(Run("register --machine", &output), 0) << output;
  EXPECT_NE(output.find(" in " + machine + "\n"), std::string::npos) << output;
  EXPECT_NE(test::ReadAll(machine).find("LyrTdxPackage880.Tdx880Manager"), std::string::npos);
  EXPECT_EQ(Registry(), "");
  ASSERT_EQ(Run("unregister --machine", &output), 0) << output;
  EXPECT_EQ(test::ReadAll(machine).find("LyrTdxPackage880."), std::string::npos);
}

TEST_F(RegisterCommand, NamesAServerThatDoesNotLoad) {
  std::string output;
  EXPECT_EQ(Run("register --server " + PathOf("missing.so"), &output), 1);
  EXPECT_EQ(output.rfind("tdx880: cannot load the server " + PathOf("missing.so") + ": ", 0), 0u)
      << output;
}

TEST_F(RegisterCommand, RefusesUnknownArguments) {
  std::string output;
  EXPECT_EQ(Run("register now", &output), 2);
  EXPECT_EQ(output, "usage: tdx880 register|unregister [--machine] [--server FILE]\n");
}

}  // namespace
}  // namespace lyr::tool
