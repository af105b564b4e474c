// Tests of CXMLTextReader: cursor operations, attributes, element values, entities, messages,
// the UTF-8 first-line rule and hostile input.
#include "rtl/xml_text_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

using lyr::test::ExpectRaises;

std::string U8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

TEST(XMLTextReader, ConvertsFromUtf8WhenFirstLineSaysSo) {
  CXMLTextReader reader;
  reader.SetXML(U8(u8"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a v=\"Ёж\">Тест</a>"));
  reader.FindElement("a");
  EXPECT_EQ(reader.ReadAttribute("v"), Msg(u8"Ёж"));
  EXPECT_EQ(reader.ReadElementValue("a"), Msg(u8"Тест"));
}

struct AttributeCase {
  std::string name;
  std::string tag;
  std::string attribute;
  std::string expected;
};

class XMLTextReaderAttribute : public ::testing::TestWithParam<AttributeCase> {};

TEST_P(XMLTextReaderAttribute, ReadsValue) {
  CXMLTextReader reader;
  reader.SetXML(GetParam().tag);
  EXPECT_EQ(reader.ReadAttribute(GetParam().attribute), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTextReaderAttribute,
    ::testing::Values(
        AttributeCase{"DoubleQuoted", R"(<a b="1" c="2">)", "c", "2"},
        AttributeCase{"SingleQuoted", R"(<a b='x y'>)", "b", "x y"},
        AttributeCase{"Missing", R"(<a b="1">)", "c", ""},
        AttributeCase{"EmptyFallsBackToSingleQuote", R"(<a b="" c=" b='z'">)", "b", "z"},
        AttributeCase{"NameMustFollowSpace", R"(<a xb="1" b="2">)", "b", "2"},
        AttributeCase{"NoClosingQuote", R"(<a b="1)", "b", ""},
        AttributeCase{"CaseSensitive", R"(<a B="1">)", "b", ""},
        AttributeCase{"QuotesAroundText", R"(<a b="&quot;x&quot;">)", "b", "\"x\""},
        AttributeCase{"LessAndGreater", R"(<a b="&lt;t&gt;">)", "b", "<t>"},
        AttributeCase{"AmpersandDecoded", R"(<a b="A&amp;B.xml">)", "b", "A&B.xml"},
        AttributeCase{"AmpersandBeforeEntityName", R"(<a b="&amp;lt;">)", "b", "&lt;"},
        AttributeCase{"Apostrophe", R"(<a b="it&apos;s">)", "b", "it's"},
        AttributeCase{"DecimalReference", R"(<a b="&#1025;&#32;&#9;">)", "b", "\xA8 \t"},
        AttributeCase{"HexadecimalReference", R"(<a b="&#x401;&#x20AC;">)", "b", "\xA8\x88"},
        AttributeCase{"ReferenceWithoutWindows1251Byte", R"(<a b="&#x4E00;">)", "b", "&#x4E00;"},
        AttributeCase{"ReferenceToNul", R"(<a b="&#0;">)", "b", "&#0;"},
        AttributeCase{"ReferenceTooLarge", R"(<a b="&#x110000;">)", "b", "&#x110000;"},
        AttributeCase{"MalformedReference", R"(<a b="&#xZZ;&#12a;&#;&#x;">)", "b",
                      "&#xZZ;&#12a;&#;&#x;"},
        AttributeCase{"UnknownEntityStays", R"(<a b="&nbsp;&copy;">)", "b", "&nbsp;&copy;"},
        AttributeCase{"LoneAmpersandStays", R"(<a b="a & b &">)", "b", "a & b &"},
        AttributeCase{"UnterminatedReferenceStays", R"(<a b="&#65 &lt">)", "b", "&#65 &lt"},
        AttributeCase{"SpacesCollapsed", R"(<a b="x    y">)", "b", "x y"},
        AttributeCase{"AttributeOnNextLine", "<a\r\n b=\"1\">", "b", "1"}),
    [](const auto& info) { return info.param.name; });

struct BoolCase {
  std::string name;
  std::string tag;
  bool expected;
};

class XMLTextReaderBoolAttribute : public ::testing::TestWithParam<BoolCase> {};

TEST_P(XMLTextReaderBoolAttribute, ReadsTrueOrOne) {
  CXMLTextReader reader;
  reader.SetXML(GetParam().tag);
  EXPECT_EQ(reader.ReadBoolAttribute("v"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, XMLTextReaderBoolAttribute,
                         ::testing::Values(BoolCase{"True", R"(<a v="true"/>)", true},
                                           BoolCase{"Capitals", R"(<a v="TRUE"/>)", true},
                                           BoolCase{"Mixed", R"(<a v="tRuE"/>)", true},
                                           BoolCase{"One", R"(<a v="1"/>)", true},
                                           BoolCase{"False", R"(<a v="false"/>)", false},
                                           BoolCase{"Yes", R"(<a v="yes"/>)", false},
                                           BoolCase{"Zero", R"(<a v="0"/>)", false},
                                           BoolCase{"Eleven", R"(<a v="11"/>)", false},
                                           BoolCase{"Missing", R"(<a/>)", false}),
                         [](const auto& info) { return info.param.name; });

struct TagCase {
  std::string name;
  std::string token;
  std::string element;
  bool expected;
};

class XMLTextReaderIsCurrentTag : public ::testing::TestWithParam<TagCase> {};

TEST_P(XMLTextReaderIsCurrentTag, MatchesPatterns) {
  CXMLTextReader reader;
  reader.SetXML(GetParam().token);
  EXPECT_EQ(reader.IsCurrentTag(GetParam().element), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTextReaderIsCurrentTag,
    ::testing::Values(TagCase{"FollowedBySpace", "<a b='1'>", "a", true},
                      TagCase{"FollowedBySlash", "<a/>", "a", true},
                      TagCase{"FollowedByGreaterThan", "<a>", "a", true},
                      TagCase{"FollowedByTab", "<a\tb='1'>", "a", true},
                      TagCase{"FollowedByLineFeed", "<a\nb='1'>", "a", true},
                      TagCase{"BrokenByCrLf", "<a\r\nb='1'>", "a", false},
                      TagCase{"LongerName", "<ab>", "a", false},
                      TagCase{"Prefix", "<a>", "ab", false},
                      TagCase{"OtherCase", "<A>", "a", false},
                      TagCase{"EndTag", "</a>", "a", false}, TagCase{"Text", "a", "a", false},
                      TagCase{"Unterminated", "<a", "a", false},
                      TagCase{"CDataContent", "<![CDATA[<a>]]>", "a", true},
                      TagCase{"Cyrillic", "<\xE4\xEE\xEA>", "\xE4\xEE\xEA", true}),
    [](const auto& info) { return info.param.name; });

struct NameCase {
  std::string name;
  std::string token;
  std::string expected;
};

class XMLTextReaderElementName : public ::testing::TestWithParam<NameCase> {};

TEST_P(XMLTextReaderElementName, TakesNameOfCurrentTag) {
  CXMLTextReader reader;
  reader.SetXML(GetParam().token);
  EXPECT_EQ(reader.GetCurrentElementName(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTextReaderElementName,
    ::testing::Values(NameCase{"StartTag", "<a>", "a"}, NameCase{"EmptyElement", "<a/>", "a"},
                      NameCase{"WithAttributes", "<a b='1'>", "a"},
                      NameCase{"SlashInAttribute", "<a b='x/y'>", "a"},
                      NameCase{"EmptyElementWithAttributes", "<a b='1'/>", "a"},
                      NameCase{"EndTag", "</a>", ""}, NameCase{"Text", "text", ""},
                      NameCase{"Unterminated", "<a", ""},
                      NameCase{"TabAfterName", "<a\tb='1'>", "a\tb='1'"},
                      NameCase{"Declaration", "<?xml version='1.0'?>", "?xml"},
                      NameCase{"Empty", "", ""}),
    [](const auto& info) { return info.param.name; });

TEST(XMLTextReader, ReadStartElementMovesToNextStartTag) {
  CXMLTextReader reader;
  reader.SetXML("<?xml version='1.0'?>\r\n<!-- c -->\r\n<root>text<child/></root>");
  reader.ReadStartElement("root");
  EXPECT_EQ(reader.GetCurrentElementName(), "child");
}

TEST(XMLTextReader, ByteOrderMarkIsSkippedByReadStartElement) {
  CXMLTextReader reader;
  reader.SetXML("\xEF\xBB\xBF<root><a/></root>");
  EXPECT_EQ(reader.CurrentKind(), TXMLTokenKind::Text);
  reader.ReadStartElement("root");
  EXPECT_EQ(reader.GetCurrentElementName(), "a");
}

struct ValueCase {
  std::string name;
  std::string document;
  std::string expected;
};

class XMLTextReaderElementValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(XMLTextReaderElementValue, ReadsText) {
  CXMLTextReader reader;
  reader.SetXML(GetParam().document);
  EXPECT_EQ(reader.ReadElementValue("v"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTextReaderElementValue,
    ::testing::Values(
        ValueCase{"Text", "<v>abc</v>", "abc"}, ValueCase{"Trimmed", "<v>  a b \t</v>", "a b"},
        ValueCase{"TwoLines", "<v>line one\r\n     line two</v>", "line one line two"},
        ValueCase{"Entities", "<v>&lt;&amp;&gt;&quot;&apos;</v>", "<&>\"'"},
        ValueCase{"EmptyElementTag", "<v/>", ""}, ValueCase{"StartAndEndTag", "<v></v>", ""},
        ValueCase{"CharacterReferences", "<v>&#32;x&#13;\ny&#32;</v>", " x\r\ny "}),
    [](const auto& info) { return info.param.name; });

struct FailureCase {
  std::string name;
  std::string document;
  std::function<void(CXMLTextReader&)> operation;
  std::string message;
};

class XMLTextReaderFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(XMLTextReaderFailure, GivesExactMessage) {
  CXMLTextReader reader;
  reader.SetXML(GetParam().document);
  ExpectRaises([&] { GetParam().operation(reader); }, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTextReaderFailure,
    ::testing::Values(
        FailureCase{"UnexpectedStartTag", "<?xml version='1.0'?><b x='1'/>",
                    [](auto& r) { r.ReadStartElement("a"); },
                    Msg(u8"Не найден ожидаемый узел [a] (вместо найденного <b x='1'/>)")},
        FailureCase{"DoctypeFailsReadStartElement", "<!DOCTYPE root>\r\n<root/>",
                    [](auto& r) { r.ReadStartElement("root"); },
                    Msg(u8"Не найден ожидаемый узел [root] (вместо найденного <!DOCTYPE root>)")},
        FailureCase{"ReadStartElementAtEnd", "<a/>",
                    [](auto& r) {
                      r.ReadStartElement("a");
                      r.ReadStartElement("b");
                    },
                    Msg(u8"Не найден ожидаемый узел [b] (вместо найденного )")},
        FailureCase{"FindElementMissing", "<a><b/></a>", [](auto& r) { r.FindElement("c"); },
                    Msg(u8"Элемент [c] не найден")},
        FailureCase{"FindElementInEmptyDocument", "", [](auto& r) { r.FindElement("c"); },
                    Msg(u8"Элемент [c] не найден")},
        FailureCase{"ValueOfOtherElement", "<a>1</a>",
                    [](auto& r) { (void)r.ReadElementValue("b"); },
                    Msg(u8"Нет элемента с именем [b]")},
        FailureCase{"ValueWithChildElement", "<a><b/></a>",
                    [](auto& r) { (void)r.ReadElementValue("a"); },
                    Msg(u8"В элементе [a] содержится не только текст")},
        FailureCase{"ValueWithComment", "<a><!-- c --></a>",
                    [](auto& r) { (void)r.ReadElementValue("a"); },
                    Msg(u8"В элементе [a] содержится не только текст")},
        FailureCase{"ValueWithCData", "<a><![CDATA[x]]></a>",
                    [](auto& r) { (void)r.ReadElementValue("a"); },
                    Msg(u8"В элементе [a] содержится не только текст")},
        FailureCase{"ValueOfUnterminatedElement", "<a>text",
                    [](auto& r) {
                      (void)r.ReadElementValue("a");
                      (void)r.ReadElementValue("a");
                    },
                    Msg(u8"Нет элемента с именем [a]")},
        FailureCase{"CyrillicNames", "<\xE0/>",
                    [](auto& r) { r.ReadStartElement(Msg(u8"ТрансИнф")); },
                    Msg(u8"Не найден ожидаемый узел [ТрансИнф] (вместо найденного <а/>)")}),
    [](const auto& info) { return info.param.name; });

TEST(XMLTextReaderHostile, UnterminatedTagsEndTheDocument) {
  CXMLTextReader reader;
  reader.SetXML("<root a=\"1");
  EXPECT_EQ(reader.ReadAttribute("a"), "");
  reader.ReadStartElement("root");
  EXPECT_EQ(reader.CurrentKind(), TXMLTokenKind::EndOfData);
  ExpectRaises([&] { reader.FindElement("x"); }, Msg(u8"Элемент [x] не найден"));
}

TEST(XMLTextReaderHostile, HugeAttributeIsReadWhole) {
  const std::string value(8'000'000, 'v');
  CXMLTextReader reader;
  reader.SetXML("<a big=\"" + value + "\" small=\"s\"/>");
  EXPECT_EQ(reader.ReadAttribute("small"), "s");
  EXPECT_EQ(reader.ReadAttribute("big"), value);
}

TEST(XMLTextReaderHostile, DeepNestingIsWalkedWithoutRecursion) {
  std::string document;
  for (int i = 0; i < 200'000; ++i) {
    document += "<a>";
  }
  document += "<b v='1'/>";
  CXMLTextReader reader;
  reader.SetXML(document);
  reader.FindElement("b");
  EXPECT_EQ(reader.ReadAttribute("v"), "1");
  reader.SetXML(document);
  ExpectRaises([&] { reader.FindElement("c"); }, Msg(u8"Элемент [c] не найден"));
}

TEST(XMLTextReaderHostile, ManyAmpersandsDecodeInOnePass) {
  const std::string many(1'000'000, '&');
  EXPECT_EQ(CXMLTextReader::DecodeEntities(many), many);
  std::string refs;
  for (int i = 0; i < 100'000; ++i) {
    refs += "&amp;";
  }
  EXPECT_EQ(CXMLTextReader::DecodeEntities(refs), std::string(100'000, '&'));
}

}  // namespace
}  // namespace lyr::rtl
