// Fixture of the tool's tests: runs the real tool in a sandbox home whose stores and containers
// the test prepares through the library, as another program would.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "support/pki.h"

namespace lyr::tool::test {

struct ToolResult {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

inline std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

class ToolTest : public lyr::test::PkiSandbox {
 protected:
  // Runs "tdx880 <arguments>" (a shell text: quote paths) and collects both outputs.
  ToolResult Tool(const std::string& arguments) const {
    ToolResult result;
    const std::string err = PathOf("tool.err");
    result.status = lyr::test::RunCommand(
        std::string(LYR_TDX880_TOOL) + " " + arguments + " 2>'" + err + "'", &result.out);
    result.err = lyr::test::ReadAll(err);
    return result;
  }
};

}  // namespace lyr::tool::test
