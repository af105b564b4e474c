// The XML tokenizer and CXMLTextReader: tokens, attributes, element values, messages, hostile
// input, and the well-formedness check of SetDocument against xmllint.
#include <gtest/gtest.h>

#include <functional>

#include "rtl/xml_text_reader.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

using test::ExpectRaises;
using K = TXMLTokenKind;
using Tokens = std::vector<std::pair<K, std::string>>;

std::string U8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

std::string Nested(int depth) {
  std::string document;
  for (int i = 0; i < depth; ++i) {
    document += "<a>";
  }
  return document;
}

TEST(XMLTokenizer, CutsAndClassifiesTokens) {
  const std::pair<std::string, Tokens> cases[] = {
      {"", {}},
      {" \r\n\t ", {}},
      {R"(<?xml version="1.0"?>)", {{K::Declaration, R"(<?xml version="1.0"?>)"}}},
      {"<?XML?>", {{K::Declaration, "<?XML?>"}}},
      {"<?pi x?>", {{K::StartTag, "<?pi x?>"}}},
      {"<!-- c -->", {{K::Comment, "<!-- c -->"}}},
      {"<!-- a > b -->", {{K::Comment, "<!-- a >"}, {K::Text, "b -->"}}},
      {"<!-- x/>", {{K::Comment, "<!-- x/>"}}},
      {"<![CDATA[a>b>c]]><x/>", {{K::CData, "<![CDATA[a>b>c]]>"}, {K::EmptyElementTag, "<x/>"}}},
      {"<![cdata[x]]>", {{K::CData, "<![cdata[x]]>"}}},
      {"<![CDATA[a\r\n  b]]>", {{K::CData, "<![CDATA[a\r\n  b]]>"}}},
      {"<![CDATA[x>y", {{K::CData, "<![CDATA[x>y"}}},
      {"<a b=\"1\"/>", {{K::EmptyElementTag, "<a b=\"1\"/>"}}},
      {"</a/>", {{K::EmptyElementTag, "</a/>"}}},
      {"<a>  x  y\t</a>", {{K::StartTag, "<a>"}, {K::Text, "x y"}, {K::EndTag, "</a>"}}},
      {"<!DOCTYPE a>\r\n<a/>", {{K::StartTag, "<!DOCTYPE a>"}, {K::EmptyElementTag, "<a/>"}}},
      {R"(<a b="x>y">)", {{K::StartTag, R"(<a b="x>)"}, {K::Text, R"(y">)"}}},
      {"\xEF\xBB\xBF<a/>", {{K::Text, "\xEF\xBB\xBF"}, {K::EmptyElementTag, "<a/>"}}},
      {"<a b=", {{K::StartTag, "<a b="}}},
      {std::string("<a/>\0<b/>", 9), {{K::EmptyElementTag, "<a/>"}}},
      {"\x01\x02<a/>\x1F", {{K::EmptyElementTag, "<a/>"}}},
      {"<a\r\nb=\"1\">", {{K::StartTag, "<ab=\"1\">"}}},
      {"<a>one\r\n   two</a>", {{K::StartTag, "<a>"}, {K::Text, "one two"}, {K::EndTag, "</a>"}}}};
  for (const auto& [text, expected] : cases) {
    TXMLTokenizer tokenizer(text);
    Tokens tokens;
    for (; tokenizer.Kind() != K::EndOfData; tokenizer.NextToken()) {
      tokens.emplace_back(tokenizer.Kind(), tokenizer.GetTokenText());
    }
    EXPECT_EQ(tokens, expected) << text;
  }
  const std::pair<std::string, std::string> texts[] = {
      {"a\r\nb", "ab"},     {"a\n\rb", "ab"},         {"a\nb", "a\nb"},   {"a\rb", "a\rb"},
      {"a\t\tb", "a\t\tb"}, {"a\r\r\n\nb", "a\r\nb"}, {"a     b", "a b"}, {"a \r\n b", "a b"}};
  for (const auto& [raw, expected] : texts) {
    EXPECT_EQ(TXMLTokenizer::NormalizeTokenText(raw), expected) << raw;
  }
  TXMLTokenizer lines("<a>\n\n<b>\r\n<c>");
  EXPECT_EQ(lines.LineCounter(), 1);
  lines.NextToken();
  EXPECT_EQ(lines.LineCounter(), 3);
  lines.NextToken();
  EXPECT_EQ(lines.LineCounter(), 4);
}

TEST(XMLTextReader, ReadsAttributesDecodingReferencesItKnows) {
  const std::pair<std::string, std::string> cases[] = {
      // the value of b
      {R"(<a c="1" b="2">)", "2"},
      {R"(<a b='x y'>)", "x y"},
      {R"(<a c="1">)", ""},
      {R"(<a b="" c=" b='z'">)", "z"},  // an empty value falls back to single quotes
      {R"(<a xb="1" b="2">)", "2"},
      {R"(<a b="1)", ""},
      {R"(<a B="1">)", ""},
      {R"(<a b="&quot;x&quot;">)", "\"x\""},
      {R"(<a b="&lt;t&gt;">)", "<t>"},
      {R"(<a b="A&amp;B.xml">)", "A&B.xml"},
      {R"(<a b="&amp;lt;">)", "&lt;"},
      {R"(<a b="it&apos;s">)", "it's"},
      {R"(<a b="&#1025;&#32;&#9;">)", "\xA8 \t"},
      {R"(<a b="&#x401;&#x20AC;">)", "\xA8\x88"},
      {R"(<a b="&#x4E00;">)", "&#x4E00;"},  // no windows-1251 byte
      {R"(<a b="&#0;">)", "&#0;"},
      {R"(<a b="&#x110000;">)", "&#x110000;"},
      {R"(<a b="&#xZZ;&#12a;&#;&#x;">)", "&#xZZ;&#12a;&#;&#x;"},
      {R"(<a b="&nbsp;&copy;">)", "&nbsp;&copy;"},
      {R"(<a b="a & b &">)", "a & b &"},
      {R"(<a b="&#65 &lt">)", "&#65 &lt"},
      {R"(<a b="x    y">)", "x y"},
      {"<a\r\n b=\"1\">", "1"}};
  for (const auto& [tag, expected] : cases) {
    CXMLTextReader reader;
    reader.SetXML(tag);
    EXPECT_EQ(reader.ReadAttribute("b"), expected) << tag;
  }
  CXMLTextReader reader;
  for (const std::string tag : {R"(<a v="tRuE"/>)", R"(<a v="1"/>)"}) {
    reader.SetXML(tag);
    EXPECT_TRUE(reader.ReadBoolAttribute("v")) << tag;
  }
  for (const std::string tag : {R"(<a v="yes"/>)", R"(<a v="11"/>)", "<a/>"}) {
    reader.SetXML(tag);
    EXPECT_FALSE(reader.ReadBoolAttribute("v")) << tag;
  }
  reader.SetXML(U8(u8"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a v=\"Ёж\">Тест</a>"));
  reader.FindElement("a");
  EXPECT_EQ(reader.ReadAttribute("v"), Msg(u8"Ёж"));
  EXPECT_EQ(reader.ReadElementValue("a"), Msg(u8"Тест"));
}

TEST(XMLTextReader, MatchesAndNamesTheCurrentTag) {
  CXMLTextReader reader;
  for (const std::string tag :
       {"<a b='1'>", "<a/>", "<a>", "<a\tb='1'>", "<a\nb='1'>", "<![CDATA[<a>]]>"}) {
    reader.SetXML(tag);
    EXPECT_TRUE(reader.IsCurrentTag("a")) << tag;
  }
  for (const std::string tag : {"<a\r\nb='1'>", "<ab>", "<A>", "</a>", "a", "<a"}) {
    reader.SetXML(tag);
    EXPECT_FALSE(reader.IsCurrentTag("a")) << tag;
  }
  reader.SetXML("<a>");
  EXPECT_FALSE(reader.IsCurrentTag("ab"));
  reader.SetXML("<\xE4\xEE\xEA>");
  EXPECT_TRUE(reader.IsCurrentTag("\xE4\xEE\xEA"));
  const std::pair<std::string, std::string> names[] = {
      {"<a>", "a"}, {"<a/>", "a"}, {"<a b='x/y'>", "a"},       {"<a b='1'/>", "a"},
      {"</a>", ""}, {"text", ""},  {"<a\tb='1'>", "a\tb='1'"}, {"<?xml version='1.0'?>", "?xml"},
      {"<a", ""},   {"", ""}};
  for (const auto& [token, expected] : names) {
    reader.SetXML(token);
    EXPECT_EQ(reader.GetCurrentElementName(), expected) << token;
  }
  reader.SetXML("<?xml version='1.0'?>\r\n<!-- c -->\r\n<root>text<child/></root>");
  reader.ReadStartElement("root");
  EXPECT_EQ(reader.GetCurrentElementName(), "child");
  reader.SetXML("\xEF\xBB\xBF<root><a/></root>");
  EXPECT_EQ(reader.CurrentKind(), K::Text);
  reader.ReadStartElement("root");  // the byte order mark is skipped
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
      {"<v>&#32;x&#13;\ny&#32;</v>", " x\r\ny "}};
  for (const auto& [document, expected] : cases) {
    CXMLTextReader reader;
    reader.SetXML(document);
    EXPECT_EQ(reader.ReadElementValue("v"), expected) << document;
  }
}

TEST(XMLTextReader, FailuresGiveExactMessages) {
  const std::u8string not_text = u8"В элементе [a] содержится не только текст";
  const auto value = [](std::string name) {
    return [name](CXMLTextReader& r) { (void)r.ReadElementValue(name); };
  };
  const std::tuple<std::string, std::function<void(CXMLTextReader&)>, std::u8string> cases[] = {
      {"<?xml version='1.0'?><b x='1'/>", [](auto& r) { r.ReadStartElement("a"); },
       u8"Не найден ожидаемый узел [a] (вместо найденного <b x='1'/>)"},
      {"<!DOCTYPE root>\r\n<root/>", [](auto& r) { r.ReadStartElement("root"); },
       u8"Не найден ожидаемый узел [root] (вместо найденного <!DOCTYPE root>)"},
      {"<a/>", [](auto& r) { r.ReadStartElement("a"), r.ReadStartElement("b"); },
       u8"Не найден ожидаемый узел [b] (вместо найденного )"},
      {"<a><b/></a>", [](auto& r) { r.FindElement("c"); }, u8"Элемент [c] не найден"},
      {"", [](auto& r) { r.FindElement("c"); }, u8"Элемент [c] не найден"},
      {"<a>1</a>", value("b"), u8"Нет элемента с именем [b]"},
      {"<a><b/></a>", value("a"), not_text},
      {"<a><!-- c --></a>", value("a"), not_text},
      {"<a><![CDATA[x]]></a>", value("a"), not_text},
      {"<a>text", [&](auto& r) { value("a")(r), value("a")(r); }, u8"Нет элемента с именем [a]"},
      {"<\xE0/>", [](auto& r) { r.ReadStartElement(Msg(u8"ТрансИнф")); },
       u8"Не найден ожидаемый узел [ТрансИнф] (вместо найденного <а/>)"}};
  for (const auto& [document, operation, message] : cases) {
    CXMLTextReader reader;
    reader.SetXML(document);
    ExpectRaises([&] { operation(reader); }, message);
  }
}

TEST(XMLTextReaderHostile, UnterminatedHugeAndDeepDocuments) {
  CXMLTextReader reader;
  reader.SetXML("<root a=\"1");
  EXPECT_EQ(reader.ReadAttribute("a"), "");
  reader.ReadStartElement("root");
  EXPECT_EQ(reader.CurrentKind(), K::EndOfData);
  ExpectRaises([&] { reader.FindElement("x"); }, u8"Элемент [x] не найден");
  const std::string value(8'000'000, 'v');
  reader.SetXML("<a big=\"" + value + "\" small=\"s\"/>");
  EXPECT_EQ(reader.ReadAttribute("small"), "s");
  EXPECT_EQ(reader.ReadAttribute("big"), value);
  const std::string deep = Nested(200'000) + "<b v='1'/>";  // walked without recursion
  reader.SetXML(deep);
  reader.FindElement("b");
  EXPECT_EQ(reader.ReadAttribute("v"), "1");
  reader.SetXML(deep);
  ExpectRaises([&] { reader.FindElement("c"); }, u8"Элемент [c] не найден");
  const std::string many(1'000'000, '&');  // decoded in one pass
  EXPECT_EQ(CXMLTextReader::DecodeEntities(many), many);
  std::string refs;
  for (int i = 0; i < 100'000; ++i) {
    refs += "&amp;";
  }
  EXPECT_EQ(CXMLTextReader::DecodeEntities(refs), std::string(100'000, '&'));
}

// SetDocument refuses what is not one well-formed document, with the message of its defect, and
// xmllint refuses it too; the forms that peers write are accepted by both.
using XMLWellFormed = test::Sandbox;

TEST_F(XMLWellFormed, AgreesWithXmllint) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n";
  const std::u8string bad = u8"Неверный формат XML: ";
  const std::u8string markup = bad + u8"ошибка разметки в строке ";
  const std::pair<std::string, std::u8string> cases[] = {
      // "" for a document both accept
      {declaration + Msg(u8"<!-- о пакете -->\r\n<?app x?>\r\n<Пакет Имя=\"Ёж\" b='2'>\r\n<a/>"
                         u8"<![CDATA[<x>]]>текст</Пакет>\r\n<!-- конец -->\r\n"),
       u8""},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" +
           U8(u8"<Пакет a=\"б\"></Пакет >"),
       u8""},
      {declaration + "<root><a>1</a>", bad + u8"документ закончился внутри элемента [root]"},
      {Nested(100'000), bad + u8"вложенность элементов больше 256"},
      {"<r>" + Nested(20) + "</r>", bad + u8"закрывающий тег [r] не соответствует элементу [a]"},
      {"<root a=\"1\" b='2' a=\"3\"/>", bad + u8"атрибут [a] повторяется в элементе [root]"},
      {"<root/></root>", bad + u8"закрывающий тег [root] без открывающего"},
      {"<a/>\n<b/>", bad + u8"данные вне корневого элемента (строка 2)"},
      {"text<a/>", bad + u8"данные вне корневого элемента (строка 1)"},
      {declaration + "<!-- nothing -->", bad + u8"нет корневого элемента"},
      {"", bad + u8"нет корневого элемента"},
      {"<root>\n<a b=\"1", markup + u8"2"},
      {"<root><!-- x</root>", markup + u8"1"},
      {"<root a=1/>", markup + u8"1"},
      {"<root a='1'b='2'/>", markup + u8"1"},
      {"<root a='<'/>", markup + u8"1"}};
  for (const auto& [document, message] : cases) {
    SCOPED_TRACE(document.substr(0, 80));
    CXMLTextReader reader;
    const std::string error = test::MessageOf([&] { reader.SetDocument(document); });
    EXPECT_EQ(error, Msg(message));
    if (!error.empty()) {
      EXPECT_EQ(reader.CurrentKind(), K::EndOfData) << "a refused text is not kept";
    }
    const std::string path = WriteFile("document.xml", document);
    std::string output;
    const int status = test::RunCommand("xmllint --noout '" + path + "' 2>&1", &output);
    EXPECT_EQ(status == 0, message.empty()) << "xmllint: " << output;
  }
}

}  // namespace
}  // namespace lyr::rtl
