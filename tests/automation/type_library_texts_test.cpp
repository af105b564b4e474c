// The checked-in interface header and IDL are exactly what the type library table gives, so the
// texts hosts read cannot drift from the server.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "automation/type_library.h"
#include "automation/type_library_writer.h"

namespace lyr::automation {
namespace {

std::string ReadSource(const std::string& relative) {
  std::ifstream file(std::string(LYR_SOURCE_DIR) + "/" + relative, std::ios::binary);
  EXPECT_TRUE(file.good()) << relative;
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(TypeLibraryTexts, CheckedInHeaderIsTheGeneratedOne) {
  EXPECT_EQ(ReadSource("include/lyr/tdx880/LyrTdxPackage880.h"),
            InterfaceHeaderText(LyrTdxPackage880Library()))
      << "run: cmake --build build --target lyr_update_typelib_sources";
}

TEST(TypeLibraryTexts, CheckedInIdlIsTheGeneratedOne) {
  EXPECT_EQ(ReadSource("include/lyr/tdx880/LyrTdxPackage880.idl"),
            IdlText(LyrTdxPackage880Library()))
      << "run: cmake --build build --target lyr_update_typelib_sources";
}

TEST(TypeLibraryTexts, IdlDeclaresPropertyAccessorsWithTheirDispids) {
  const std::string idl = IdlText(LyrTdxPackage880Library());
  EXPECT_NE(idl.find("[propput, id(0x000000E8)]\n    HRESULT FileName([in] BSTR Value);"),
            std::string::npos);
  EXPECT_NE(idl.find("[propget, id(0x000000C9)]\n    HRESULT Indentifier([out, retval] BSTR* "
                     "Value);"),
            std::string::npos);
  EXPECT_NE(idl.find("helpstring(\"LyrTdxPackage880 [KORAL]\")"), std::string::npos);
  EXPECT_NE(idl.find("interface ITdx880TrDekl: ITdx880SpecDoc"), std::string::npos);
}

TEST(TypeLibraryTexts, HeaderDeclaresSlotsInTableOrder) {
  const std::string header = InterfaceHeaderText(LyrTdxPackage880Library());
  const auto is_readed = header.find("get_IsReaded(VARIANT_BOOL* Value) = 0;");
  const auto file_name_put = header.find("put_FileName(BSTR Value) = 0;");
  const auto main_file = header.find("GetMainFile(ITdx880File** pFile) = 0;");
  ASSERT_NE(is_readed, std::string::npos);
  EXPECT_LT(is_readed, file_name_put);
  EXPECT_LT(file_name_put, main_file);
}

}  // namespace
}  // namespace lyr::automation
