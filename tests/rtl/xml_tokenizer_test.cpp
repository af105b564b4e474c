// Tests of TXMLTokenizer: token kinds and their order of classification, token bounds, texts.
#include "rtl/xml_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace lyr::rtl {
namespace {

using Kind = TXMLTokenKind;
using Tokens = std::vector<std::pair<Kind, std::string>>;

Tokens TokensOf(const std::string& text) {
  TXMLTokenizer tokenizer(text);
  Tokens tokens;
  while (tokenizer.Kind() != Kind::EndOfData) {
    tokens.emplace_back(tokenizer.Kind(), tokenizer.GetTokenText());
    tokenizer.NextToken();
  }
  return tokens;
}

struct TokenCase {
  std::string name;
  std::string input;
  Tokens expected;
};

class XMLTokenizerTokens : public ::testing::TestWithParam<TokenCase> {};

TEST_P(XMLTokenizerTokens, CutsAndClassifies) {
  EXPECT_EQ(TokensOf(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTokenizerTokens,
    ::testing::Values(
        TokenCase{"Empty", "", {}}, TokenCase{"OnlyBlanks", " \r\n\t ", {}},
        TokenCase{"Declaration",
                  R"(<?xml version="1.0"?>)",
                  {{Kind::Declaration, R"(<?xml version="1.0"?>)"}}},
        TokenCase{"DeclarationInCapitals", "<?XML?>", {{Kind::Declaration, "<?XML?>"}}},
        TokenCase{
            "OtherProcessingInstructionIsStartTag", "<?pi x?>", {{Kind::StartTag, "<?pi x?>"}}},
        TokenCase{"Comment", "<!-- c -->", {{Kind::Comment, "<!-- c -->"}}},
        TokenCase{"CommentEndsAtFirstGreaterThan",
                  "<!-- a > b -->",
                  {{Kind::Comment, "<!-- a >"}, {Kind::Text, "b -->"}}},
        TokenCase{"CommentBeforeEmptyElementTest", "<!-- x/>", {{Kind::Comment, "<!-- x/>"}}},
        TokenCase{"CDataRunsToItsEnd",
                  "<![CDATA[a>b>c]]><x/>",
                  {{Kind::CData, "<![CDATA[a>b>c]]>"}, {Kind::EmptyElementTag, "<x/>"}}},
        TokenCase{"CDataInLowerCase", "<![cdata[x]]>", {{Kind::CData, "<![cdata[x]]>"}}},
        TokenCase{"CDataKeptRaw", "<![CDATA[a\r\n  b]]>", {{Kind::CData, "<![CDATA[a\r\n  b]]>"}}},
        TokenCase{"UnterminatedCData", "<![CDATA[x>y", {{Kind::CData, "<![CDATA[x>y"}}},
        TokenCase{"EmptyElement", "<a b=\"1\"/>", {{Kind::EmptyElementTag, "<a b=\"1\"/>"}}},
        TokenCase{"EndTagEndingInSlashIsEmptyElement", "</a/>", {{Kind::EmptyElementTag, "</a/>"}}},
        TokenCase{"StartTextEnd",
                  "<a>  x  y\t</a>",
                  {{Kind::StartTag, "<a>"}, {Kind::Text, "x y"}, {Kind::EndTag, "</a>"}}},
        TokenCase{"DoctypeIsStartTag",
                  "<!DOCTYPE a>\r\n<a/>",
                  {{Kind::StartTag, "<!DOCTYPE a>"}, {Kind::EmptyElementTag, "<a/>"}}},
        TokenCase{"GreaterThanInAttributeEndsTag",
                  R"(<a b="x>y">)",
                  {{Kind::StartTag, R"(<a b="x>)"}, {Kind::Text, R"(y">)"}}},
        TokenCase{"ByteOrderMarkIsText",
                  "\xEF\xBB\xBF<a/>",
                  {{Kind::Text, "\xEF\xBB\xBF"}, {Kind::EmptyElementTag, "<a/>"}}},
        TokenCase{"UnterminatedTagRunsToEnd", "<a b=", {{Kind::StartTag, "<a b="}}},
        TokenCase{
            "ZeroByteEndsData", std::string("<a/>\0<b/>", 9), {{Kind::EmptyElementTag, "<a/>"}}},
        TokenCase{"ControlBytesAreBlanks", "\x01\x02<a/>\x1F", {{Kind::EmptyElementTag, "<a/>"}}},
        TokenCase{"TagBrokenByCrLf", "<a\r\nb=\"1\">", {{Kind::StartTag, "<ab=\"1\">"}}},
        TokenCase{"TextOverTwoLines",
                  "<a>one\r\n   two</a>",
                  {{Kind::StartTag, "<a>"}, {Kind::Text, "one two"}, {Kind::EndTag, "</a>"}}}),
    [](const auto& info) { return info.param.name; });

TEST(XMLTokenizer, NormalizesTokenText) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb", "ab"},     {"a\n\rb", "ab"},         {"a\nb", "a\nb"},   {"a\rb", "a\rb"},
      {"a\t\tb", "a\t\tb"}, {"a\r\r\n\nb", "a\r\nb"}, {"a     b", "a b"}, {"a \r\n b", "a b"}};
  for (const auto& [raw, expected] : cases) {
    EXPECT_EQ(TXMLTokenizer::NormalizeTokenText(raw), expected) << raw;
  }
}

TEST(XMLTokenizer, CountsLineFeedsBetweenTokens) {
  TXMLTokenizer tokenizer("<a>\n\n<b>\r\n<c>");
  EXPECT_EQ(tokenizer.LineCounter(), 1);
  tokenizer.NextToken();
  EXPECT_EQ(tokenizer.LineCounter(), 3);
  tokenizer.NextToken();
  EXPECT_EQ(tokenizer.LineCounter(), 4);
}

}  // namespace
}  // namespace lyr::rtl
