// The tool's "inn" command, run as a program: verdict, exit status and usage.
#include <gtest/gtest.h>

#include <string>

#include "support/sandbox.h"

namespace lyr::tool {
namespace {

class InnCommand : public test::Sandbox {
 protected:
  int Run(const std::string& arguments, std::string* output) {
    return test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>&1", output);
  }
};

TEST_F(InnCommand, ValidTenDigitNumberExitsZero) {
  std::string output;
  EXPECT_EQ(Run("inn 7707083893", &output), 0);
  EXPECT_EQ(output, "7707083893: valid taxpayer number\n");
}

TEST_F(InnCommand, ValidTwelveDigitNumberExitsZero) {
  std::string output;
  EXPECT_EQ(Run("inn 500100732259", &output), 0);
  EXPECT_EQ(output, "500100732259: valid taxpayer number\n");
}

TEST_F(InnCommand, WrongCheckDigitExitsOne) {
  std::string output;
  EXPECT_EQ(Run("inn 7707083894", &output), 1);
  EXPECT_EQ(output,
            "7707083894: not a valid taxpayer number (10 or 12 digits whose check digits hold are "
            "expected)\n");
}

TEST_F(InnCommand, ElevenDigitsAndLettersExitOne) {
  std::string output;
  EXPECT_EQ(Run("inn 77070838930", &output), 1);
  EXPECT_EQ(Run("inn 77070838A3", &output), 1);
  EXPECT_EQ(Run("inn ''", &output), 1);
}

TEST_F(InnCommand, CyrillicArgumentIsShownAsGiven) {
  std::string output;
  EXPECT_EQ(Run("inn 'ИНН'", &output), 1);
  EXPECT_EQ(output.rfind("ИНН: not a valid", 0), 0u) << output;
}

TEST_F(InnCommand, MissingOrExtraArgumentIsUsageError) {
  std::string output;
  EXPECT_EQ(Run("inn", &output), 2);
  EXPECT_EQ(output, "usage: tdx880 inn NUMBER\n");
  EXPECT_EQ(Run("inn 7707083893 500100732259", &output), 2);
}

TEST_F(InnCommand, ListedInHelp) {
  std::string output;
  EXPECT_EQ(Run("--help", &output), 0);
  EXPECT_NE(output.find("  inn NUMBER\n"), std::string::npos) << output;
}

}  // namespace
}  // namespace lyr::tool
