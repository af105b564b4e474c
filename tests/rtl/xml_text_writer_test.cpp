// Tests of CXMLTextWriter: exact output, deferred start tags, escaping, refusals, well-formedness.
#include "rtl/xml_text_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "rtl/xml_text_reader.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

using lyr::test::ExpectRaises;

const std::string kDeclaration = R"(<?xml version="1.0" encoding="windows-1251"?>)";

std::string U8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

TEST(XMLTextWriter, WritesRootWithAttributesInCallOrderAndTextChild) {
  CXMLTextWriter writer;
  writer.StartDocument();
  writer.StartElement("root");
  writer.AddAttribute("b", "2");
  writer.AddAttribute("a", "1");
  writer.WriteElement("child", "text");
  writer.EndElement();
  writer.EndDocument();
  EXPECT_EQ(writer.GetXML(),
            kDeclaration + "\r\n<root b=\"2\" a=\"1\">\r\n\t<child>text</child>\r\n</root>\r\n");
}

TEST(XMLTextWriter, IndentsNestedElementsByDepth) {
  CXMLTextWriter writer;
  writer.StartDocument();
  writer.StartElement("a");
  writer.StartElement("b");
  writer.StartElement("c");
  writer.AddAttribute("x", "1");
  writer.EndElement();
  writer.WriteElement("d", "v");
  writer.EndElement();
  writer.EndDocument();
  EXPECT_EQ(writer.GetXML(),
            kDeclaration +
                "\r\n<a>\r\n\t<b>\r\n\t\t<c x=\"1\"/>\r\n\t\t<d>v</d>\r\n\t</b>\r\n"
                "</a>\r\n");
}

TEST(XMLTextWriter, WritesCyrillicNamesAndValuesAsWindows1251) {
  CXMLTextWriter writer;
  writer.StartElement(Msg(u8"ТрансИнф"));
  writer.AddAttribute(Msg(u8"типДокумента"), Msg(u8"Ёлка"));
  writer.EndElement();
  EXPECT_EQ(writer.GetXML(),
            "<\xD2\xF0\xE0\xED\xF1\xC8\xED\xF4 \xF2\xE8\xEF\xC4\xEE\xEA\xF3"
            "\xEC\xE5\xED\xF2\xE0=\"\xA8\xEB\xEA\xE0\"/>");
}

TEST(XMLTextWriter, ReplacesAUtf16DeclarationInAnyLetterCase) {
  for (const char* value :
       {R"(encoding="utf-16")", R"(ENCODING="UTF-16")", R"(EnCoDiNg="Utf-16")"}) {
    CXMLTextWriter writer;
    writer.StartElement("a");
    writer.WriteElement("", std::string("x ") + value + " y");
    writer.EndElement();
    EXPECT_EQ(writer.GetXML(), "<a>x encoding=\"windows-1251\" y</a>");
  }
}

TEST(XMLTextWriter, EscapesTextAndAttributes) {
  const struct {
    std::string value, text, attribute;
  } cases[] = {{"abc", "abc", "abc"},
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
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeXMLText(c.value), c.text) << c.value;
    EXPECT_EQ(EscapeXMLAttribute(c.value), c.attribute) << c.value;
  }
}

TEST(XMLTextWriter, EscapesGreaterThanInsideAttributeValue) {
  CXMLTextWriter writer;
  writer.StartElement("a");
  writer.AddAttribute("v", "x>y\"z");
  writer.EndElement();
  EXPECT_EQ(writer.GetXML(), "<a v=\"x&gt;y&quot;z\"/>");
}

// Runs writer operations written as text: "<name" starts an element, "@name=value" adds an
// attribute, "#name=value" writes a text element, ">" ends an element, "?" starts the document.
void Play(CXMLTextWriter& writer, const std::vector<std::string>& operations) {
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
      default:
        writer.StartDocument();
    }
  }
}

TEST(XMLTextWriterFailure, RefusesWhatWouldBeMalformed) {
  const auto code = [](int c) { return Msg(u8"Символ с кодом ") + std::to_string(c); };
  const struct {
    std::vector<std::string> operations;
    std::string message;
  } cases[] = {
      {{"<e", std::string("@attr=a\0b", 9), ">"}, code(0) + Msg(u8" недопустим в XML: [attr]")},
      {{"<e", "@attr=a\x01", ">"}, code(1) + Msg(u8" недопустим в XML: [attr]")},
      {{"<e", "#t=a\x0B"}, code(11) + Msg(u8" недопустим в XML: [t]")},
      {{"<e", "#t=\x0C"}, code(12) + Msg(u8" недопустим в XML: [t]")},
      {{"<e", "#t=\x1F"}, code(31) + Msg(u8" недопустим в XML: [t]")},
      {{"<e", "#t=\x98"}, code(152) + Msg(u8" недопустим в XML: [t]")},
      {{"<", ">"}, Msg(u8"Недопустимое имя XML: []")},
      {{"<1a", ">"}, Msg(u8"Недопустимое имя XML: [1a]")},
      {{"<a b", ">"}, Msg(u8"Недопустимое имя XML: [a b]")},
      {{"<e", "@a\"=1", ">"}, Msg(u8"Недопустимое имя XML: [a\"]")},
      {{"<e", "@a=", ">"}, Msg(u8"Попытка записи пустого значения в атрибут [a]")},
      {{"<e", "@a=1", "@a=2", ">"}, Msg(u8"Атрибут [a] уже есть в элементе [e]")},
      {{">"}, Msg(u8"Нет открытого элемента XML для закрытия")},
      {{"#=x"}, Msg(u8"Текст вне корневого элемента XML недопустим")},
      {{"?", "<a", ">", "<b", ">"}, Msg(u8"Второй корневой элемент XML: [b]")},
      {{"<a", "#=x", "?"}, Msg(u8"Объявление XML допустимо только в начале документа")},
  };
  for (const auto& c : cases) {
    CXMLTextWriter writer;
    ExpectRaises([&] { Play(writer, c.operations); }, c.message);
  }
}

TEST(XMLTextWriterFailure, RefusedStartTagKeepsFailingUntilReset) {
  CXMLTextWriter writer;
  writer.StartElement("root");
  writer.StartElement("bad name");
  const std::string message = Msg(u8"Недопустимое имя XML: [bad name]");
  ExpectRaises([&] { writer.EndElement(); }, message);
  ExpectRaises([&] { writer.EndDocument(); }, message);
  writer.Reset();
  writer.StartElement("ok");
  writer.EndElement();
  EXPECT_EQ(writer.GetXML(), "<ok/>");
}

// Every character windows-1251 has, in attributes and text, reads back unchanged through the
// program's own reader.
TEST(XMLTextWriterRoundTrip, EveryAllowedByteSurvivesAttributeAndText) {
  std::string all;
  for (int byte = 1; byte < 256; ++byte) {
    if (byte >= 0x20 ? byte != 0x98 : (byte == '\t' || byte == '\n' || byte == '\r')) {
      all += static_cast<char>(byte);
    }
  }
  const std::string spaced = "  lead" + all + "  \r\n  trail  ";
  CXMLTextWriter writer;
  writer.StartDocument();
  writer.StartElement("root");
  writer.AddAttribute("all", spaced);
  writer.WriteElement("text", spaced);
  writer.EndDocument();
  CXMLTextReader reader;
  reader.SetXML(writer.GetXML());
  reader.FindElement("root");
  EXPECT_EQ(reader.ReadAttribute("all"), spaced);
  reader.ReadStartElement("root");
  EXPECT_EQ(reader.ReadElementValue("text"), spaced);
}

class XMLTextWriterWellFormed : public lyr::test::Sandbox {};

TEST_F(XMLTextWriterWellFormed, XmllintAcceptsOutputAndDecodesCyrillic) {
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
  ASSERT_EQ(lyr::test::RunCommand("xmllint --noout '" + path + "' 2>&1", &utf8), 0) << utf8;
  ASSERT_EQ(lyr::test::RunCommand("xmllint --encode UTF-8 '" + path + "'", &utf8), 0);
  EXPECT_NE(utf8.find(U8(u8R"(<ТрансИнф версияФормата="ТДХ:1.0")")), std::string::npos) << utf8;
  EXPECT_NE(utf8.find(U8(u8"<текст>")), std::string::npos) << utf8;
}

}  // namespace
}  // namespace lyr::rtl
