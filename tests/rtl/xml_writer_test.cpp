// CXMLTextWriter (exact output, escaping, refusals, checked by xmllint) and the XML binding of
// CXMLClass and CXMLCollection.
#include <gtest/gtest.h>

#include "rtl/xml_class.h"
#include "rtl/xml_collection.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

using test::ExpectRaises;

const std::string kDeclaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";

std::string U8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

// Runs writer operations written as text: "<name" starts an element, "@name=value" adds an
// attribute, "#name=value" writes a text element, ">" ends an element, "?" starts the document,
// "." ends it.
std::string Play(CXMLTextWriter& writer, const std::vector<std::string>& operations) {
  for (const std::string& op : operations) {
    const std::string rest = op.substr(1);
    const size_t equals = rest.find('=');
    const std::string name = rest.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : rest.substr(equals + 1);
    switch (op[0]) {
      case '<':
        writer.StartElement(name);
        break;
      case '@':
        writer.AddAttribute(name, value);
        break;
      case '#':
        writer.WriteElement(name, value);
        break;
      case '>':
        writer.EndElement();
        break;
      case '.':
        writer.EndDocument();
        break;
      default:
        writer.StartDocument();
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
  for (const char* value :
       {R"(encoding="utf-16")", R"(ENCODING="UTF-16")", R"(EnCoDiNg="Utf-16")"}) {
    CXMLTextWriter utf16;
    EXPECT_EQ(Play(utf16, {"<a", std::string("#=x ") + value + " y", ">"}),
              "<a>x encoding=\"windows-1251\" y</a>");
  }
}

TEST(XMLTextWriter, EscapesTextAndAttributes) {
  const std::tuple<std::string, std::string, std::string> cases[] = {
      // value, text, attribute
      {"abc", "abc", "abc"},
      {"A&B", "A&amp;B", "A&amp;B"},
      {"a<b", "a&lt;b", "a&lt;b"},
      {"a>b", "a&gt;b", "a&gt;b"},
      {"a\"b", "a\"b", "a&quot;b"},
      {"a'b", "a'b", "a&apos;b"},
      {"&lt;", "&amp;lt;", "&amp;lt;"},
      {"a\tb", "a\tb", "a&#9;b"},
      {"a\nb", "a\nb", "a&#10;b"},
      {"a\r\nb", "a&#13;\nb", "a&#13;&#10;b"},
      {"a b", "a b", "a b"},
      {"a   b", "a &#32; b", "a &#32; b"},
      {" a\t", "&#32;a&#9;", " a&#9;"},
      {"  ", "&#32;&#32;", " &#32;"},
      {"\xC0\xE1\xE2", "\xC0\xE1\xE2", "\xC0\xE1\xE2"}};
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
      {{"<e", "@attr=a\x01", ">"}, code(1, "attr")},
      {{"<e", "#t=a\x0B"}, code(11, "t")},
      {{"<e", "#t=\x0C"}, code(12, "t")},
      {{"<e", "#t=\x1F"}, code(31, "t")},
      {{"<e", "#t=\x98"}, code(152, "t")},
      {{"<", ">"}, Msg(name + u8"]")},
      {{"<1a", ">"}, Msg(name + u8"1a]")},
      {{"<a b", ">"}, Msg(name + u8"a b]")},
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
  EXPECT_EQ(Play(writer, {"<ok", ">"}), "<ok/>");
}

// Every character windows-1251 has, in attributes and text, reads back unchanged through the
// program's own reader.
TEST(XMLTextWriter, EveryAllowedByteSurvivesAttributeAndText) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) {
    if (byte >= 0x20 ? byte != 0x98 : (byte == '\t' || byte == '\n' || byte == '\r')) {
      all += static_cast<char>(byte);
    }
  }
  const std::string spaced = "  lead" + all + "  \r\n  trail  ";
  CXMLTextWriter writer;
  CXMLTextReader reader;
  reader.SetXML(Play(writer, {"?", "<root", "@all=" + spaced, "#text=" + spaced, "."}));
  reader.FindElement("root");
  EXPECT_EQ(reader.ReadAttribute("all"), spaced);
  reader.ReadStartElement("root");
  EXPECT_EQ(reader.ReadElementValue("text"), spaced);
}

using XMLTextWriterPeer = test::Sandbox;

TEST_F(XMLTextWriterPeer, XmllintAcceptsOutputAndDecodesCyrillic) {
  CXMLTextWriter writer;
  writer.StartDocument();
  writer.StartElement(Msg(u8"ТрансИнф"));
  writer.AddAttribute(Msg(u8"версияФормата"), Msg(u8"ТДХ:1.0"));
  writer.AddAttribute("hostile", "<a href=\"x\">&amp;'\t\r\n  </a>");
  writer.WriteElement(Msg(u8"текст"), "  a < b && c > d \"q\" 'p'\r\n\tend  ");
  writer.StartElement("E-mail.x_y");
  writer.EndDocument();
  const std::string path = WriteFile("doc.xml", writer.GetXML());
  std::string utf8;
  ASSERT_EQ(test::RunCommand("xmllint --noout '" + path + "' 2>&1", &utf8), 0) << utf8;
  ASSERT_EQ(test::RunCommand("xmllint --encode UTF-8 '" + path + "'", &utf8), 0);
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
}

TEST(XMLClass, UsesGivenWriterAndReaderAndPassesErrorsOn) {
  Item item;
  item.value = "given";
  CXMLTextWriter writer;
  item.Write(&writer);
  EXPECT_EQ(writer.GetXML(), "<item v=\"given\"/>");
  CXMLTextReader reader;
  reader.SetXML("<item v='r'/>");
  item.Read(&reader);
  EXPECT_EQ(item.value, "r");
  EXPECT_EQ(reader.CurrentKind(), TXMLTokenKind::EndOfData);
  item.value.clear();
  ExpectRaises([&] { (void)item.GetXML(); }, u8"Попытка записи пустого значения в атрибут [v]");
  item.SetErrorHandler(nullptr);  // a cleared handler returns
  item.SetXML("<other/>");
  item.Read();
  EXPECT_EQ(item.value, "");
}

}  // namespace
}  // namespace lyr::rtl
