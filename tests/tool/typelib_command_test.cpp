// The tool's typelib command: the type library as a host lists it through ITypeInfo.
#include <gtest/gtest.h>

#include <string>

#include "support/sandbox.h"

namespace lyr::tool {
namespace {

class TypelibCommand : public test::Sandbox {
 protected:
  int Run(const std::string& arguments, std::string* output) {
    return test::RunCommand(std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>&1", output);
  }
};

TEST_F(TypelibCommand, ListsAllTwentyTypeDescriptionsWithTheirDispids) {
  std::string output;
  ASSERT_EQ(Run("typelib", &output), 0) << output;
  EXPECT_EQ(output.rfind("LyrTdxPackage880 1.2 {AA0FF614-3F4E-40BB-85B0-F20E1D00C088} "
                         "\"LyrTdxPackage880 [KORAL]\", 20 type descriptions\n",
                         0),
            0u)
      << output;
  EXPECT_NE(output.find("\n1. ITdx880Package {C6D9A689-9648-4A74-85F2-46A9B178BEA7} dual "
                        "interface, 42 members\n  201  method  New(wsThreadTypeCode, "
                        "wsTransactTypeCode)\n"),
            std::string::npos);
  EXPECT_NE(output.find("  225  get     IsReaded\n  232  put     FileName\n  234  method  "
                        "GetMainFile()\n"),
            std::string::npos);
  EXPECT_NE(output.find("\n5. SIGN_ROLE_TYPES {53F3F751-85EF-468A-917E-BB94E0FAA820} "
                        "enumeration\n  SIGN_ROLE_TYPE_UNKNOWN = 0\n"),
            std::string::npos);
  EXPECT_NE(output.find("\n15. Tdx880Manager {07F3DBA0-549F-4D11-9E3B-C0F68E515DF0} creatable "
                        "class, default interface ITdx880Manager\n"),
            std::string::npos);
  EXPECT_NE(output.find("\n17. ITdx880TrDekl {DFE098A8-B00B-45F4-84A3-5025C6C6D1AA} dual "
                        "interface, 16 members\n  201  get     XML\n  201  put     XML\n  301  get "
                        "    FormName\n"),
            std::string::npos);
  EXPECT_NE(output.find("\n20. ITdx880Error "), std::string::npos);
  EXPECT_EQ(output.find("\n21. "), std::string::npos);
}

TEST_F(TypelibCommand, TakesNoArguments) {
  std::string output;
  EXPECT_EQ(Run("typelib all", &output), 2);
  EXPECT_EQ(output, "usage: tdx880 typelib\n");
}

}  // namespace
}  // namespace lyr::tool
