// Fixture of the tool's tests: runs the real tool in a sandbox home whose stores, containers and
// packages the test prepares through the library, as another program would.
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
  std::string out;  // standard output
  std::string err;  // standard error
};

inline std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

inline std::string Quote(const std::filesystem::path& path) {
  return "'" + path.string() + "'";
}

// How many times needle occurs in text.
inline int Occurrences(const std::string& text, const std::string& needle) {
  int count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

class ToolTest : public lyr::test::PkiSandbox {
 protected:
  // Runs "tdx880 <arguments>" (a shell text: quote paths) in the sandbox folder and collects both
  // outputs.
  ToolResult Tool(const std::string& arguments) const {
    ToolResult result;
    const std::string err = PathOf("tool.err");
    result.status =
        lyr::test::RunCommand("cd " + Quote(Home()) + " && " + std::string(LYR_TDX880_TOOL) + " " +
                                  arguments + " 2>'" + err + "'",
                              &result.out);
    result.err = lyr::test::ReadAll(err);
    return result;
  }

  // Saves an unsigned package of flow 01, transaction 01 from 7701234560 to 7701 with a
  // declaration and its description, made by the library; returns its path.
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
