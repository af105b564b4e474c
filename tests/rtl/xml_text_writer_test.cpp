// Tests of CXMLTextWriter: exact output, deferred start tags, escaping, refusals, well-formedness.
#include "rtl/xml_text_writer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

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

struct EncodingCase {
  std::string name;
  std::string value;
};

class XMLTextWriterEncodingReplacement : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(XMLTextWriterEncodingReplacement, ReplacesUtf16InAnyLetterCase) {
  CXMLTextWriter writer;
  writer.StartElement("a");
  writer.WriteElement("", "x " + GetParam().value + " y");
  writer.EndElement();
  EXPECT_EQ(writer.GetXML(), "<a>x encoding=\"windows-1251\" y</a>");
}

INSTANTIATE_TEST_SUITE_P(Cases, XMLTextWriterEncodingReplacement,
                         ::testing::Values(EncodingCase{"Lower", R"(encoding="utf-16")"},
                                           EncodingCase{"Upper", R"(ENCODING="UTF-16")"},
                                           EncodingCase{"Mixed", R"(EnCoDiNg="Utf-16")"}),
                         [](const auto& info) { return info.param.name; });

struct EscapeCase {
  std::string name;
  std::string value;
  std::string text;       // expected in text content
  std::string attribute;  // expected in an attribute value
};

class XMLTextWriterEscaping : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(XMLTextWriterEscaping, EscapesTextAndAttributes) {
  EXPECT_EQ(EscapeXMLText(GetParam().value), GetParam().text);
  EXPECT_EQ(EscapeXMLAttribute(GetParam().value), GetParam().attribute);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTextWriterEscaping,
    ::testing::Values(EscapeCase{"Plain", "abc", "abc", "abc"},
                      EscapeCase{"Ampersand", "A&B", "A&amp;B", "A&amp;B"},
                      EscapeCase{"LessThan", "a<b", "a&lt;b", "a&lt;b"},
                      EscapeCase{"GreaterThan", "a>b", "a&gt;b", "a&gt;b"},
                      EscapeCase{"DoubleQuote", "a\"b", "a\"b", "a&quot;b"},
                      EscapeCase{"SingleQuote", "a'b", "a'b", "a&apos;b"},
                      EscapeCase{"EntityLookingText", "&lt;", "&amp;lt;", "&amp;lt;"},
                      EscapeCase{"TabInside", "a\tb", "a\tb", "a&#9;b"},
                      EscapeCase{"LineFeedInside", "a\nb", "a\nb", "a&#10;b"},
                      EscapeCase{"CrLfInside", "a\r\nb", "a&#13;\nb", "a&#13;&#10;b"},
                      EscapeCase{"SingleSpaceInside", "a b", "a b", "a b"},
                      EscapeCase{"ThreeSpacesInside", "a   b", "a &#32; b", "a &#32; b"},
                      EscapeCase{"BlanksAtEdges", " a\t", "&#32;a&#9;", " a&#9;"},
                      EscapeCase{"OnlySpaces", "  ", "&#32;&#32;", " &#32;"},
                      EscapeCase{"Cyrillic", "\xC0\xE1\xE2", "\xC0\xE1\xE2", "\xC0\xE1\xE2"}),
    [](const auto& info) { return info.param.name; });

TEST(XMLTextWriter, EscapesGreaterThanInsideAttributeValue) {
  CXMLTextWriter writer;
  writer.StartElement("a");
  writer.AddAttribute("v", "x>y\"z");
  writer.EndElement();
  EXPECT_EQ(writer.GetXML(), "<a v=\"x&gt;y&quot;z\"/>");
}

TEST(XMLTextWriterFailure, EmptyAttributeValue) {
  CXMLTextWriter writer;
  writer.StartElement("a");
  ExpectRaises([&] { writer.AddAttribute(Msg(u8"имяФайла"), ""); },
               Msg(u8"Попытка записи пустого значения в атрибут [имяФайла]"));
}

struct RefusalCase {
  std::string name;
  std::function<void(CXMLTextWriter&)> operation;
  std::string message;
};

class XMLTextWriterRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(XMLTextWriterRefusal, RefusesWhatWouldBeMalformed) {
  CXMLTextWriter writer;
  ExpectRaises([&] { GetParam().operation(writer); }, GetParam().message);
}

void WriteInAttribute(CXMLTextWriter& writer, const std::string& value) {
  writer.StartElement("e");
  writer.AddAttribute("attr", value);
  writer.EndElement();
}

void WriteAsText(CXMLTextWriter& writer, const std::string& value) {
  writer.StartElement("e");
  writer.WriteElement("t", value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLTextWriterRefusal,
    ::testing::Values(RefusalCase{"NulInAttribute",
                                  [](auto& w) { WriteInAttribute(w, std::string("a\0b", 3)); },
                                  Msg(u8"Символ с кодом 0 недопустим в XML: [attr]")},
                      RefusalCase{"ControlOneInAttribute",
                                  [](auto& w) { WriteInAttribute(w, "a\x01"); },
                                  Msg(u8"Символ с кодом 1 недопустим в XML: [attr]")},
                      RefusalCase{"VerticalTabInText", [](auto& w) { WriteAsText(w, "a\x0B"); },
                                  Msg(u8"Символ с кодом 11 недопустим в XML: [t]")},
                      RefusalCase{"FormFeedInText", [](auto& w) { WriteAsText(w, "\x0C"); },
                                  Msg(u8"Символ с кодом 12 недопустим в XML: [t]")},
                      RefusalCase{"Control1FInText", [](auto& w) { WriteAsText(w, "\x1F"); },
                                  Msg(u8"Символ с кодом 31 недопустим в XML: [t]")},
                      RefusalCase{"UndefinedByte98InText", [](auto& w) { WriteAsText(w, "\x98"); },
                                  Msg(u8"Символ с кодом 152 недопустим в XML: [t]")},
                      RefusalCase{"EmptyElementName",
                                  [](auto& w) {
                                    w.StartElement("");
                                    w.EndElement();
                                  },
                                  Msg(u8"Недопустимое имя XML: []")},
                      RefusalCase{"NameStartingWithDigit",
                                  [](auto& w) {
                                    w.StartElement("1a");
                                    w.EndElement();
                                  },
                                  Msg(u8"Недопустимое имя XML: [1a]")},
                      RefusalCase{"NameWithSpace",
                                  [](auto& w) {
                                    w.StartElement("a b");
                                    w.EndElement();
                                  },
                                  Msg(u8"Недопустимое имя XML: [a b]")},
                      RefusalCase{"AttributeNameWithQuote",
                                  [](auto& w) {
                                    w.StartElement("e");
                                    w.AddAttribute("a\"", "1");
                                    w.EndElement();
                                  },
                                  Msg(u8"Недопустимое имя XML: [a\"]")},
                      RefusalCase{"DuplicateAttribute",
                                  [](auto& w) {
                                    w.StartElement("e");
                                    w.AddAttribute("a", "1");
                                    w.AddAttribute("a", "2");
                                    w.EndElement();
                                  },
                                  Msg(u8"Атрибут [a] уже есть в элементе [e]")},
                      RefusalCase{"EndWithoutOpenElement", [](auto& w) { w.EndElement(); },
                                  Msg(u8"Нет открытого элемента XML для закрытия")},
                      RefusalCase{"TextOutsideRoot", [](auto& w) { w.WriteElement("", "x"); },
                                  Msg(u8"Текст вне корневого элемента XML недопустим")},
                      RefusalCase{"SecondRoot",
                                  [](auto& w) {
                                    w.StartDocument();
                                    w.StartElement("a");
                                    w.EndElement();
                                    w.StartElement("b");
                                    w.EndElement();
                                  },
                                  Msg(u8"Второй корневой элемент XML: [b]")},
                      RefusalCase{"DeclarationAfterContent",
                                  [](auto& w) {
                                    w.StartElement("a");
                                    w.WriteElement("", "x");
                                    w.StartDocument();
                                  },
                                  Msg(u8"Объявление XML допустимо только в начале документа")}),
    [](const auto& info) { return info.param.name; });

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
