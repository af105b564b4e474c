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

}  // namespace
}  // namespace lyr::automation
