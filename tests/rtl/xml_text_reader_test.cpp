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

TEST(XMLTextReader, ReadsAttributeValuesDecodingReferencesItKnows) {
  const struct {
    std::string tag, attribute, expected;
  } cases[] = {
      {R"(<a b="1" c="2">)", "c", "2"},
      {R"(<a b='x y'>)", "b", "x y"},
      {R"(<a b="1">)", "c", ""},
      {R"(<a b="" c=" b='z'">)", "b", "z"},  // an empty value falls back to single quotes
      {R"(<a xb="1" b="2">)", "b", "2"},
      {R"(<a b="1)", "b", ""},
      {R"(<a B="1">)", "b", ""},
      {R"(<a b="&quot;x&quot;">)", "b", "\"x\""},
      {R"(<a b="&lt;t&gt;">)", "b", "<t>"},
      {R"(<a b="A&amp;B.xml">)", "b", "A&B.xml"},
      {R"(<a b="&amp;lt;">)", "b", "&lt;"},
      {R"(<a b="it&apos;s">)", "b", "it's"},
      {R"(<a b="&#1025;&#32;&#9;">)", "b", "\xA8 \t"},
      {R"(<a b="&#x401;&#x20AC;">)", "b", "\xA8\x88"},
      {R"(<a b="&#x4E00;">)", "b", "&#x4E00;"},  // no windows-1251 byte
      {R"(<a b="&#0;">)", "b", "&#0;"},
      {R"(<a b="&#x110000;">)", "b", "&#x110000;"},
      {R"(<a b="&#xZZ;&#12a;&#;&#x;">)", "b", "&#xZZ;&#12a;&#;&#x;"},
      {R"(<a b="&nbsp;&copy;">)", "b", "&nbsp;&copy;"},
      {R"(<a b="a & b &">)", "b", "a & b &"},
      {R"(<a b="&#65 &lt">)", "b", "&#65 &lt"},
      {R"(<a b="x    y">)", "b", "x y"},
      {"<a\r\n b=\"1\">", "b", "1"},
  };
  for (const auto& c : cases) {
    CXMLTextReader reader;
    reader.SetXML(c.tag);
    EXPECT_EQ(reader.ReadAttribute(c.attribute), c.expected) << c.tag;
  }
  for (const auto& [tag, expected] :
       std::initializer_list<std::pair<std::string, bool>>{{R"(<a v="tRuE"/>)", true},
                                                           {R"(<a v="1"/>)", true},
                                                           {R"(<a v="yes"/>)", false},
                                                           {R"(<a v="11"/>)", false},
                                                           {R"(<a/>)", false}}) {
    CXMLTextReader reader;
    reader.SetXML(tag);
    EXPECT_EQ(reader.ReadBoolAttribute("v"), expected) << tag;
  }
}

TEST(XMLTextReader, MatchesAndNamesTheCurrentTag) {
  const struct {
    std::string token, element;
    bool expected;
  } tags[] = {
      {"<a b='1'>", "a", true},
      {"<a/>", "a", true},
      {"<a>", "a", true},
      {"<a\tb='1'>", "a", true},
      {"<a\nb='1'>", "a", true},
      {"<a\r\nb='1'>", "a", false},
      {"<ab>", "a", false},
      {"<a>", "ab", false},
      {"<A>", "a", false},
      {"</a>", "a", false},
      {"a", "a", false},
      {"<a", "a", false},
      {"<![CDATA[<a>]]>", "a", true},
      {"<\xE4\xEE\xEA>", "\xE4\xEE\xEA", true},
  };
  for (const auto& c : tags) {
    CXMLTextReader reader;
    reader.SetXML(c.token);
    EXPECT_EQ(reader.IsCurrentTag(c.element), c.expected) << c.token << " " << c.element;
  }
  const std::pair<std::string, std::string> names[] = {
      {"<a>", "a"},
      {"<a/>", "a"},
      {"<a b='x/y'>", "a"},
      {"<a b='1'/>", "a"},
      {"</a>", ""},
      {"text", ""},
      {"<a", ""},
      {"<a\tb='1'>", "a\tb='1'"},
      {"<?xml version='1.0'?>", "?xml"},
      {"", ""},
  };
  for (const auto& [token, expected] : names) {
    CXMLTextReader reader;
    reader.SetXML(token);
    EXPECT_EQ(reader.GetCurrentElementName(), expected) << token;
  }
}

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

TEST(XMLTextReader, ReadsElementText) {
  const std::pair<std::string, std::string> cases[] = {
      {"<v>abc</v>", "abc"},
      {"<v>  a b \t</v>", "a b"},
      {"<v>line one\r\n     line two</v>", "line one line two"},
      {"<v>&lt;&amp;&gt;&quot;&apos;</v>", "<&>\"'"},
      {"<v/>", ""},
      {"<v></v>", ""},
      {"<v>&#32;x&#13;\ny&#32;</v>", " x\r\ny "},
  };
  for (const auto& [document, expected] : cases) {
    CXMLTextReader reader;
    reader.SetXML(document);
    EXPECT_EQ(reader.ReadElementValue("v"), expected) << document;
  }
}

TEST(XMLTextReader, FailuresGiveExactMessages) {
  const std::string not_text = Msg(u8"В элементе [a] содержится не только текст");
  const struct {
    std::string document;
    std::function<void(CXMLTextReader&)> operation;
    std::string message;
  } cases[] = {
      {"<?xml version='1.0'?><b x='1'/>", [](auto& r) { r.ReadStartElement("a"); },
       Msg(u8"Не найден ожидаемый узел [a] (вместо найденного <b x='1'/>)")},
      {"<!DOCTYPE root>\r\n<root/>", [](auto& r) { r.ReadStartElement("root"); },
       Msg(u8"Не найден ожидаемый узел [root] (вместо найденного <!DOCTYPE root>)")},
      {"<a/>",
       [](auto& r) {
         r.ReadStartElement("a");
         r.ReadStartElement("b");
       },
       Msg(u8"Не найден ожидаемый узел [b] (вместо найденного )")},
      {"<a><b/></a>", [](auto& r) { r.FindElement("c"); }, Msg(u8"Элемент [c] не найден")},
      {"", [](auto& r) { r.FindElement("c"); }, Msg(u8"Элемент [c] не найден")},
      {"<a>1</a>", [](auto& r) { (void)r.ReadElementValue("b"); },
       Msg(u8"Нет элемента с именем [b]")},
      {"<a><b/></a>", [](auto& r) { (void)r.ReadElementValue("a"); }, not_text},
      {"<a><!-- c --></a>", [](auto& r) { (void)r.ReadElementValue("a"); }, not_text},
      {"<a><![CDATA[x]]></a>", [](auto& r) { (void)r.ReadElementValue("a"); }, not_text},
      {"<a>text",
       [](auto& r) {
         (void)r.ReadElementValue("a");
         (void)r.ReadElementValue("a");
       },
       Msg(u8"Нет элемента с именем [a]")},
      {"<\xE0/>", [](auto& r) { r.ReadStartElement(Msg(u8"ТрансИнф")); },
       Msg(u8"Не найден ожидаемый узел [ТрансИнф] (вместо найденного <а/>)")},
  };
  for (const auto& c : cases) {
    CXMLTextReader reader;
    reader.SetXML(c.document);
    ExpectRaises([&] { c.operation(reader); }, c.message);
  }
}

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
