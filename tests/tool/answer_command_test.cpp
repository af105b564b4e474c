// The tool's answer commands, run as a program: a received declaration package answered with a
// notice of receipt by the tax authority (and refused for a tax payer) and with an error-message
// package, read back through "show".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tool/tool_fixture.h"

namespace lyr::tool {
namespace {

namespace fs = std::filesystem;
using test::Quote;
using test::ToolResult;

class AnswerCommand : public test::ToolTest {
 protected:
  // A saved package of flow 01, transaction 01, from the tax payer 7701234560 to 7701; its path.
  std::string Received() {
    const std::string declaration = WriteFile("NO_NDS_7701_7701_7701234560770101001_20261206_1.xml",
                                              "<?xml version=\"1.0\"?><d/>\n");
    const ToolResult pack =
        Tool("pack --flow 01 --transaction 01 --sender 7701234560 --receiver 7701 --doc 01:xml:" +
             Quote(declaration) + " -o " + Quote(PathOf("in") + "/"));
    EXPECT_EQ(pack.status, 0) << pack.err;
    return pack.out.substr(0, pack.out.size() - 1);
  }

  static constexpr char kTaxPayer[] = " --sender-inn 7701234560 --sender-kpp 770101001";
};

TEST_F(AnswerCommand, TaxAuthorityConfirmsWithANoticeOfTransaction02) {
  const ToolResult receipt = Tool("receipt " + Quote(Received()) + " --by no --id 7701" +
                                  kTaxPayer + " -o " + Quote(PathOf("out")));
  ASSERT_EQ(receipt.status, 0) << receipt.err;
  const std::string notice = receipt.out.substr(0, receipt.out.size() - 1);
  EXPECT_EQ(fs::path(notice).parent_path(), fs::path(PathOf("out")));
  const std::string shown = Tool("show " + Quote(notice)).out;
  EXPECT_NE(shown.find("transaction: 02 "), std::string::npos) << shown;
  EXPECT_NE(shown.find("document 1: IP_NONDS_7701234560770101001_7701234560770101001_7701_"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("type: 09 "), std::string::npos) << shown;
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

TEST_F(AnswerCommand, TaxPayerCannotConfirmADeclaration) {
  const ToolResult receipt =
      Tool("receipt " + Quote(Received()) + " --by ul --id 7702 --inn 7701234560 --kpp 770101001" +
           kTaxPayer + " -o " + Quote(PathOf("out")));
  EXPECT_EQ(receipt.status, 1);
  EXPECT_NE(
      receipt.err.find(std::string("сформировано извещение о получении от [налогоплательщик]")),
      std::string::npos)
      << receipt.err;
  EXPECT_FALSE(fs::exists(PathOf("out")));
}

TEST_F(AnswerCommand, ErrorPackageSwapsTheParticipantsAndCarriesTheDescription) {
  const std::string text = WriteFile("error.xml", "<?xml version=\"1.0\"?><e/>\n");
  const ToolResult answer = Tool("error-package " + Quote(Received()) + " --text " + Quote(text) +
                                 " -o " + Quote(PathOf("out")));
  ASSERT_EQ(answer.status, 0) << answer.err;
  const std::string shown = Tool("show " + answer.out).out;
  EXPECT_NE(shown.find("flow: 07 "), std::string::npos) << shown;
  EXPECT_NE(shown.find("sender: 7701 "), std::string::npos) << shown;
  EXPECT_NE(shown.find("receiver: 7701234560 "), std::string::npos) << shown;
  EXPECT_NE(shown.find("document 1: TR_SOSH.xml\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("document 2: packageDescription.xml\n"), std::string::npos) << shown;
}

struct RefusedAnswer {
  std::string name;
  std::string arguments;  // {package}, {text} and {out} stand for paths
  int status;
  std::string err;  // the start of standard error (UTF-8)
};

class RefusedAnswerCommand : public AnswerCommand,
                             public ::testing::WithParamInterface<RefusedAnswer> {};

// Replaces every "{name}" of text by value.
std::string Filled(std::string text, const std::string& name, const std::string& value) {
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
    text.replace(at, name.size(), value);
  }
  return text;
}

TEST_P(RefusedAnswerCommand, GivesTheStatusAndMessage) {
  std::string arguments = Filled(GetParam().arguments, "{package}", Quote(Received()));
  arguments = Filled(arguments, "{text}", Quote(WriteFile("error.xml", "<e/>")));
  const ToolResult result = Tool(Filled(arguments, "{out}", Quote(PathOf("out"))));
  EXPECT_EQ(result.status, GetParam().status);
  EXPECT_EQ(result.err.rfind(GetParam().err, 0), 0u) << result.err;
  EXPECT_FALSE(fs::exists(PathOf("out")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedAnswerCommand,
    ::testing::Values(
        RefusedAnswer{"ReceiptWithoutBy", "receipt {package} --id 7701 -o {out}", 2,
                      "usage: tdx880 receipt "},
        RefusedAnswer{"ReceiptByAnUnknownKind", "receipt {package} --by xx --id 7701 -o {out}", 1,
                      "--by takes ul, fl, no or sos: xx"},
        RefusedAnswer{"ErrorPackageWithASenderOnly",
                      "error-package {package} --text {text} --sender 7701:2 -o {out}", 2,
                      "usage: tdx880 error-package "},
        RefusedAnswer{
            "ErrorPackageOfAnUnknownSubjectType",
            "error-package {package} --text {text} --sender 7701:7 --receiver 1:1 -o {out}", 1,
            "Неизвестный тип субъекта: [7]"}),
    [](const ::testing::TestParamInfo<RefusedAnswer>& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::tool
