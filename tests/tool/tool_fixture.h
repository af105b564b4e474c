// The tool's tests run the built tdx880 in a PkiSandbox home the test prepares
// through the library.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "package/tdx880_doc.h"
#include "support/pki.h"

namespace lyr::tool::test {

struct ToolResult {
  int status = -1;
  std::string out, err;
};

inline std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

inline std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

inline int Occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

class ToolTest : public lyr::test::PkiSandbox {
 protected:
  // "tdx880 <arguments>" (shell text: quote paths) run in the sandbox folder.
  ToolResult Tool(const std::string& arguments) const {
    ToolResult result;
    result.status = lyr::test::RunCommand("cd " + Quote(Home()) + " && " + LYR_TDX880_TOOL + " " +
                                              arguments + " 2>" + Quote(PathOf("tool.err")),
                                          &result.out);
    result.err = lyr::test::ReadAll(PathOf("tool.err"));
    return result;
  }

  // An unsigned package of flow 01, transaction 01 from 7701234560 to 7701 made
  // by the library.
  std::string SavePackage(const std::string& name) const {
    package::CTdx880Doc package;
    package.New("01", "01");
    package.SetSenderIdentifier("7701234560");
    package.SetReceiverIdentifier("7701");
    package.AddFile("01", "xml", "declaration.xml", "<?xml version=\"1.0\"?><d/>\n");
    package.AddFile("02", "xml", "TR_DEKL.xml", "<?xml version=\"1.0\"?><t/>\n");
    package.SaveAs(PathOf(name));
    return PathOf(name);
  }
};

}  // namespace lyr::tool::test
