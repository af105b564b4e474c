// XML: the tokenizer, CXMLTextReader (hostile input; well-formedness against xmllint),
// CXMLTextWriter (exact output, escaping, refusals; checked by xmllint) and the XML binding.
#include <gtest/gtest.h>

#include <functional>

#include "rtl/xml_class.h"
#include "rtl/xml_collection.h"
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

std::string Repeat(const std::string& text, int count) {
  std::string result;
  for (int i = 0; i < count; ++i) {
    result += text;
  }
  return result;
}

TEST(XMLTokenizer, CutsAndClassifiesTokens) {
  const std::pair<std::string, Tokens> cases[] = {
      {" \r\n\t ", {}},
      {"<?XML?>", {{K::Declaration, "<?XML?>"}}},
      {"<?pi x?>", {{K::StartTag, "<?pi x?>"}}},
      {"<!-- a > b -->", {{K::Comment, "<!-- a >"}, {K::Text, "b -->"}}},
      {"<!-- x/>", {{K::Comment, "<!-- x/>"}}},
      {"<![CDATA[a>b>c]]><x/>", {{K::CData, "<![CDATA[a>b>c]]>"}, {K::EmptyElementTag, "<x/>"}}},
      {"<![CDATA[a\r\n  b]]>", {{K::CData, "<![CDATA[a\r\n  b]]>"}}},
      {"<![CDATA[x>y", {{K::CData, "<![CDATA[x>y"}}},
      {"</a/>", {{K::EmptyElementTag, "</a/>"}}},
      {"<a>  x  y\t</a>", {{K::StartTag, "<a>"}, {K::Text, "x y"}, {K::EndTag, "</a>"}}},
      {"<!DOCTYPE a>\r\n<a/>", {{K::StartTag, "<!DOCTYPE a>"}, {K::EmptyElementTag, "<a/>"}}},
      {R"(<a b="x>y">)", {{K::StartTag, R"(<a b="x>)"}, {K::Text, R"(y">)"}}},
      {"\xEF\xBB\xBF<a/>", {{K::Text, "\xEF\xBB\xBF"}, {K::EmptyElementTag, "<a/>"}}},
      {std::string("<a/>\0<b/>", 9), {{K::EmptyElementTag, "<a/>"}}},
      {"\x01\x02<a/>\x1F", {{K::EmptyElementTag, "<a/>"}}},
      {"<a\r\nb=\"1\">", {{K::StartTag, "<ab=\"1\">"}}}};
  for (const auto& [text, expected] : cases) {
    TXMLTokenizer tokenizer(text);
    Tokens tokens;
    for (; tokenizer.Kind() != K::EndOfData; tokenizer.NextToken()) {
      tokens.emplace_back(tokenizer.Kind(), tokenizer.GetTokenText());
    }
    EXPECT_EQ(tokens, expected) << text;
  }
  const std::pair<std::string, std::string> texts[] = {{"a\n\rb", "ab"},
                                                       {"a\nb", "a\nb"},
                                                       {"a\t\tb", "a\t\tb"},
                                                       {"a\r\r\n\nb", "a\r\nb"},
                                                       {"a \r\n b", "a b"}};
  for (const auto& [raw, expected] : texts) {
    EXPECT_EQ(TXMLTokenizer::NormalizeTokenText(raw), expected) << raw;
  }
  TXMLTokenizer lines("<a>\n\n<b>\r\n<c>");
  lines.NextToken();
  lines.NextToken();
  EXPECT_EQ(lines.LineCounter(), 4);
}

TEST(XMLTextReader, ReadsAttributesAndTextDecodingReferencesItKnows) {
  const std::pair<std::string, std::string> cases[] = {
      // the value of b
      {R"(<a c="1" b="2">)", "2"},
      {R"(<a b="" c=" b='z'">)", "z"},  // an empty value falls back to single quotes
      {R"(<a xb="1" b="2">)", "2"},
      {R"(<a b="1)", ""},
      {R"(<a B="1">)", ""},
      {R"(<a b="&quot;&lt;t&gt;A&amp;B&amp;lt;it&apos;s">)", "\"<t>A&B&lt;it's"},
      {R"(<a b="&#1025;&#32;&#9;&#x401;&#x20AC;">)", "\xA8 \t\xA8\x88"},
      // Kept as written: no windows-1251 byte, zero, beyond Unicode, malformed, unknown, bare.
      {R"(<a b="&#x4E00;&#0;&#x110000;&#xZZ;&#12a;&#;&#x;">)",
       "&#x4E00;&#0;&#x110000;&#xZZ;&#12a;&#;&#x;"},
      {R"(<a b="&nbsp;&copy;a & b &&#65 &lt">)", "&nbsp;&copy;a & b &&#65 &lt"},
  };
  for (const auto& [tag, expected] : cases) {
    CXMLTextReader reader;
    reader.SetXML(tag);
    EXPECT_EQ(reader.ReadAttribute("b"), expected) << tag;
  }
  CXMLTextReader reader;
  reader.SetXML(R"(<a t="tRuE" o="1" f="fals" n="11"/>)");
  EXPECT_TRUE(reader.ReadBoolAttribute("t") && reader.ReadBoolAttribute("o"));
  EXPECT_FALSE(reader.ReadBoolAttribute("f") || reader.ReadBoolAttribute("n") ||
               reader.ReadBoolAttribute("x"));
  reader.SetXML(U8(u8"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a v=\"Ёж\">Тест</a>"));
  reader.FindElement("a");
  EXPECT_EQ(reader.ReadAttribute("v"), Msg(u8"Ёж"));
  EXPECT_EQ(reader.ReadElementValue("a"), Msg(u8"Тест"));
  reader.SetXML("<v/><v>\r\n</v><w/>");
  EXPECT_EQ(reader.ReadElementValue("v"), "");
  EXPECT_EQ(reader.ReadElementValue("v"), "");
  reader.SetXML("<v> &lt;&amp;&gt;&quot;&apos;&#32;x&#13;\ny\r\n    z&#32;\t</v>");
  EXPECT_EQ(reader.ReadElementValue("v"), "<&>\"' x\r\ny z ");
}

TEST(XMLTextReader, MatchesAndNamesTheCurrentTag) {
  CXMLTextReader reader;
  for (const std::string tag :
       {"<a b='1'>", "<a/>", "<a>", "<a\tb='1'>", "<a\nb='1'>", "<![CDATA[<a>]]>"}) {
    reader.SetXML(tag);
    EXPECT_TRUE(reader.IsCurrentTag("a")) << tag;
  }
  for (const std::string tag : {"<ab>", "<A>", "a", "<a"}) {
    reader.SetXML(tag);
    EXPECT_FALSE(reader.IsCurrentTag("a")) << tag;
  }
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
  reader.ReadStartElement("root");  // the byte order mark is skipped
  EXPECT_EQ(reader.GetCurrentElementName(), "a");
}

TEST(XMLTextReader, FailuresGiveExactMessages) {
  const std::tuple<std::string, std::function<void(CXMLTextReader&)>, std::u8string> cases[] = {
      {"<?xml version='1.0'?><b x='1'/>", [](auto& r) { r.ReadStartElement("a"); },
       u8"Не найден ожидаемый узел [a] (вместо найденного <b x='1'/>)"},
      {"<a/>", [](auto& r) { r.ReadStartElement("a"), r.ReadStartElement("b"); },
       u8"Не найден ожидаемый узел [b] (вместо найденного )"},
      {"<a><b/></a>", [](auto& r) { r.FindElement("c"); }, u8"Элемент [c] не найден"},
      {"<a>1</a>", [](auto& r) { (void)r.ReadElementValue("b"); }, u8"Нет элемента с именем [b]"},
      {"<a><![CDATA[x]]></a>", [](auto& r) { (void)r.ReadElementValue("a"); },
       u8"В элементе [a] содержится не только текст"},
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
  const std::string deep = Repeat("<a>", 200'000) + "<b v='1'/>";  // walked without recursion
  reader.SetXML(deep);
  reader.FindElement("b");
  EXPECT_EQ(reader.ReadAttribute("v"), "1");
  const std::string many(1'000'000, '&');  // decoded in one pass
  EXPECT_EQ(CXMLTextReader::DecodeEntities(many), many);
  EXPECT_EQ(CXMLTextReader::DecodeEntities(Repeat("&amp;", 100'000)), std::string(100'000, '&'));
}

// SetDocument refuses what is not one well-formed document, with the message of its defect, and
// xmllint refuses it too; the forms that peers write are accepted by both.
using Xmllint = test::Sandbox;

TEST_F(Xmllint, AgreesOnWhatIsWellFormed) {
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
      {Repeat("<a>", 100'000), bad + u8"вложенность элементов больше 256"},
      {"<r><a></r>", bad + u8"закрывающий тег [r] не соответствует элементу [a]"},
      {"<root a=\"1\" b='2' a=\"3\"/>", bad + u8"атрибут [a] повторяется в элементе [root]"},
      {"<root/></root>", bad + u8"закрывающий тег [root] без открывающего"},
      {"<a/>\n<b/>", bad + u8"данные вне корневого элемента (строка 2)"},
      {"text<a/>", bad + u8"данные вне корневого элемента (строка 1)"},
      {declaration + "<!-- nothing -->", bad + u8"нет корневого элемента"},
      {"<root>\n<a b=\"1", markup + u8"2"},
      {"<root><!-- x</root>", markup + u8"1"},
      {"<root a=1/>", markup + u8"1"},
      {"<root a='1'b='2'/>", markup + u8"1"}};
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

const std::string kDeclaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";

// Runs writer operations: "<name" starts an element, "@name=value" adds an attribute, "#name=value"
// writes a text element, ">" ends an element, "?" starts and "." ends the document.
std::string Play(CXMLTextWriter& writer, const std::vector<std::string>& operations) {
  for (const std::string& op : operations) {
    const std::string rest = op.substr(1);
    const size_t equals = rest.find('=');
    const std::string name = rest.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : rest.substr(equals + 1);
    if (op[0] == '<') {
      writer.StartElement(name);
    } else if (op[0] == '@') {
      writer.AddAttribute(name, value);
    } else if (op[0] == '#') {
      writer.WriteElement(name, value);
    } else if (op[0] == '>') {
      writer.EndElement();
    } else {
      op[0] == '.' ? writer.EndDocument() : writer.StartDocument();
    }
  }
  return writer.GetXML();
}

TEST(XMLTextWriter, WritesAttributesInCallOrderAndIndentsByDepth) {
  CXMLTextWriter writer;
  EXPECT_EQ(
      Play(writer, {"?", "<a", "@b=2", "@a=1", "<b", "<c", "@x=1", ">", "#d=v", ">", "#t=x", "."}),
      kDeclaration +
          "\r\n<a b=\"2\" a=\"1\">\r\n\t<b>\r\n\t\t<c x=\"1\"/>\r\n\t\t<d>v</d>"
          "\r\n\t</b>\r\n\t<t>x</t>\r\n</a>\r\n");
  CXMLTextWriter utf16;
  EXPECT_EQ(Play(utf16, {"<a", R"(#=x EnCoDiNg="Utf-16" y)", ">"}),
            "<a>x encoding=\"windows-1251\" y</a>");
}

TEST(XMLTextWriter, EscapesTextAndAttributes) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // value, text, attribute
      {"A&B<c>d\"e'f&lt;\xC0", "A&amp;B&lt;c&gt;d\"e'f&amp;lt;\xC0",
       "A&amp;B&lt;c&gt;d&quot;e&apos;f&amp;lt;\xC0"},
      {"a\tb\nc\r\nd", "a\tb\nc&#13;\nd", "a&#9;b&#10;c&#13;&#10;d"},
      {"a   b", "a &#32; b", "a &#32; b"},
      {" a\t", "&#32;a&#9;", " a&#9;"},
  };
  for (const auto& [value, text, attribute] : cases) {
    EXPECT_EQ(EscapeXMLText(value), text) << value;
    EXPECT_EQ(EscapeXMLAttribute(value), attribute) << value;
  }
}

TEST(XMLTextWriter, RefusesWhatWouldBeMalformed) {
  const auto code = [](int c, const char* name) {
    return Msg(u8"Символ с кодом ") + std::to_string(c) + Msg(u8" недопустим в XML: [") + name +
           "]";
  };
  const std::u8string name = u8"Недопустимое имя XML: [";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"<e", std::string("@attr=a\0b", 9), ">"}, code(0, "attr")},
      {{"<e", "#t=\x98"}, code(152, "t")},
      {{"<1a", ">"}, Msg(name + u8"1a]")},
      {{"<e", "@a\"=1", ">"}, Msg(name + u8"a\"]")},
      {{"<e", "@a=", ">"}, Msg(u8"Попытка записи пустого значения в атрибут [a]")},
      {{"<e", "@a=1", "@a=2", ">"}, Msg(u8"Атрибут [a] уже есть в элементе [e]")},
      {{">"}, Msg(u8"Нет открытого элемента XML для закрытия")},
      {{"#=x"}, Msg(u8"Текст вне корневого элемента XML недопустим")},
      {{"?", "<a", ">", "<b", ">"}, Msg(u8"Второй корневой элемент XML: [b]")},
      {{"<a", "#=x", "?"}, Msg(u8"Объявление XML допустимо только в начале документа")}};
  for (const auto& [operations, message] : cases) {
    CXMLTextWriter writer;
    ExpectRaises([&] { Play(writer, operations); }, message);
  }
  // A refused start tag keeps failing until the writer is reset.
  CXMLTextWriter writer;
  writer.StartElement("root");
  writer.StartElement("bad name");
  ExpectRaises([&] { writer.EndElement(); }, Msg(name + u8"bad name]"));
  ExpectRaises([&] { writer.EndDocument(); }, Msg(name + u8"bad name]"));
  writer.Reset();
  writer.StartElement("ok");
  writer.AddAttribute("v", "text");  // a literal is text, not true
  writer.EndElement();
  EXPECT_EQ(writer.GetXML(), "<ok v=\"text\"/>");
}

// Every character windows-1251 has reads back unchanged from attributes and text; xmllint accepts
// the output and decodes its Cyrillic names.
TEST_F(Xmllint, AcceptsWriterOutputThatReadsBackEveryAllowedByte) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) {
    if (byte >= 0x20 ? byte != 0x98 : (byte == '\t' || byte == '\n' || byte == '\r')) {
      all += static_cast<char>(byte);
    }
  }
  const std::string spaced = "  lead" + all + "  \r\n  trail  ";
  CXMLTextWriter writer;
  const std::string xml =
      Play(writer, {"?", "<" + Msg(u8"ТрансИнф"), "@" + Msg(u8"версияФормата=ТДХ:1.0"),
                    "@all=" + spaced, "#" + Msg(u8"текст=") + spaced, "<E-mail.x_y", "."});
  CXMLTextReader reader;
  reader.SetXML(xml);
  reader.FindElement(Msg(u8"ТрансИнф"));
  EXPECT_EQ(reader.ReadAttribute("all"), spaced);
  reader.ReadStartElement(Msg(u8"ТрансИнф"));
  EXPECT_EQ(reader.ReadElementValue(Msg(u8"текст")), spaced);
  std::string utf8;
  ASSERT_EQ(
      test::RunCommand("xmllint --encode UTF-8 '" + WriteFile("doc.xml", xml) + "' 2>&1", &utf8), 0)
      << utf8;
  EXPECT_NE(utf8.find(U8(u8R"(<ТрансИнф версияФормата="ТДХ:1.0")")), std::string::npos) << utf8;
  EXPECT_NE(utf8.find(U8(u8"<текст>")), std::string::npos) << utf8;
}

// <item v="..."/>, and <root> holding a run of them, the same run wrapped in <items>, and <after/>.
class Item final : public CXMLClass {
 public:
  std::string value;

 protected:
  void WriteTo(CXMLTextWriter& writer) override {
    writer.StartElement("item");
    writer.AddAttribute("v", value);
    writer.EndElement();
  }
  void ReadFrom(CXMLTextReader& reader) override {
    value = reader.ReadAttribute("v");
    reader.ReadStartElement("item");
  }
};

class ItemList : public CTypedCollection<Item, CXMLCollection> {
 public:
  [[nodiscard]] std::string GetItemTag() const override { return "item"; }
};

class WrappedItemList final : public ItemList {
 public:
  [[nodiscard]] std::string GetCollectionTag() const override { return "items"; }
};

class Root final : public CXMLClass {
 public:
  ItemList items;
  WrappedItemList wrapped;
  bool after = false;

 protected:
  void WriteTo(CXMLTextWriter& writer) override {
    writer.StartDocument();
    writer.StartElement("root");
    items.WriteTo(writer);
    wrapped.WriteTo(writer);
    writer.WriteElement("after", "");
    writer.EndDocument();
  }
  void ReadFrom(CXMLTextReader& reader) override {
    reader.ReadStartElement("root");
    items.ReadFrom(reader);
    wrapped.ReadFrom(reader);
    after = reader.GetCurrentElementName() == "after";
  }
};

TEST(XMLCollection, WritesItemsWithAndWithoutWrapperAndReadsThemBack) {
  Root root;
  root.items.Add().value = "1";
  root.items.Add().value = "2";
  root.wrapped.Add().value = "x";
  const std::string text = root.GetXML();
  EXPECT_EQ(text, kDeclaration +
                      "\r\n<root>\r\n\t<item v=\"1\"/>\r\n\t<item v=\"2\"/>\r\n\t<items>\r\n\t\t"
                      "<item v=\"x\"/>\r\n\t</items>\r\n\t<after/>\r\n</root>\r\n");
  Root read;
  read.SetXML(text);
  read.Read();
  ASSERT_EQ(read.items.Count(), 2);
  ASSERT_EQ(read.wrapped.Count(), 1);
  EXPECT_EQ(read.items.Items(0).value + read.items.Items(1).value + read.wrapped.Items(0).value,
            "12x");
  EXPECT_TRUE(read.after);
  read.SetXML("<root><x/></root>");
  ExpectRaises([&] { read.Read(); }, u8"Не найден ожидаемый узел [items] (вместо найденного <x/>)");
  root.items.Add();  // an empty value
  ExpectRaises([&] { (void)root.GetXML(); }, u8"Попытка записи пустого значения в атрибут [v]");
  read.SetErrorHandler(nullptr);  // a cleared handler returns
  read.SetXML("<other/>");
  read.Read();
  EXPECT_EQ(read.items.Count(), 0);
}

}  // namespace
}  // namespace lyr::rtl
