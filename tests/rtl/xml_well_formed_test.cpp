// CXMLTextReader::SetDocument refuses what is not one well-formed document, with the message of
// its defect, and xmllint refuses each of them too; the forms that peers write are accepted by
// both.
#include <gtest/gtest.h>

#include <string>

#include "rtl/errors.h"
#include "rtl/text.h"
#include "rtl/xml_text_reader.h"
#include "support/sandbox.h"

namespace lyr::rtl {
namespace {

struct DocumentCase {
  const char* name;
  std::string document;   // windows-1251 unless it declares UTF-8
  std::u8string message;  // "" for a document both accept
};

std::string Nested(int depth) {
  std::string document;
  for (int i = 0; i < depth; ++i) {
    document += "<a>";
  }
  return document;
}

std::string U8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

class XMLWellFormed : public test::Sandbox, public ::testing::WithParamInterface<DocumentCase> {};

TEST_P(XMLWellFormed, AgreesWithXmllint) {
  const DocumentCase& c = GetParam();
  CXMLTextReader reader;
  std::string error;
  try {
    reader.SetDocument(c.document);
  } catch (const Exception& raised) {
    error = raised.Message();
  }
  EXPECT_EQ(error, Msg(c.message));
  if (!error.empty()) {
    EXPECT_EQ(reader.CurrentKind(), TXMLTokenKind::EndOfData) << "a refused text is not kept";
  }
  const std::string path = WriteFile("document.xml", c.document);
  std::string output;
  const int status = test::RunCommand("xmllint --noout '" + path + "' 2>&1", &output);
  EXPECT_EQ(status == 0, c.message.empty()) << "xmllint: " << output;
}

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, XMLWellFormed,
    ::testing::Values(
        DocumentCase{"Windows1251WithCommentsAndInstructions",
                     kDeclaration + Msg(u8"<!-- о пакете -->\r\n<?app x?>\r\n<Пакет Имя=\"Ёж\" "
                                        u8"b='2'>\r\n<a/><![CDATA[<x>]]>текст</Пакет>\r\n"
                                        u8"<!-- конец -->\r\n"),
                     u8""},
        DocumentCase{"Utf8WithByteOrderMark",
                     "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n" +
                         U8(u8"<Пакет a=\"б\"></Пакет >"),
                     u8""},
        DocumentCase{"CutBeforeTheRootCloses", kDeclaration + std::string("<root><a>1</a>"),
                     u8"Неверный формат XML: документ закончился внутри элемента [root]"},
        DocumentCase{"ManyUnclosedElements", Nested(100'000),
                     u8"Неверный формат XML: вложенность элементов больше 256"},
        DocumentCase{"UnclosedElementsWithinTheDepth", "<r>" + Nested(20) + "</r>",
                     u8"Неверный формат XML: закрывающий тег [r] не соответствует элементу [a]"},
        DocumentCase{"DuplicateAttribute", "<root a=\"1\" b='2' a=\"3\"/>",
                     u8"Неверный формат XML: атрибут [a] повторяется в элементе [root]"},
        DocumentCase{"EndTagWithoutStart", "<root/></root>",
                     u8"Неверный формат XML: закрывающий тег [root] без открывающего"},
        DocumentCase{"TwoRoots", "<a/>\n<b/>",
                     u8"Неверный формат XML: данные вне корневого элемента (строка 2)"},
        DocumentCase{"TextOutsideTheRoot", "text<a/>",
                     u8"Неверный формат XML: данные вне корневого элемента (строка 1)"},
        DocumentCase{"NoRoot", std::string(kDeclaration) + "<!-- nothing -->",
                     u8"Неверный формат XML: нет корневого элемента"},
        DocumentCase{"EmptyText", "", u8"Неверный формат XML: нет корневого элемента"},
        DocumentCase{"UnterminatedTag", "<root>\n<a b=\"1",
                     u8"Неверный формат XML: ошибка разметки в строке 2"},
        DocumentCase{"UnterminatedComment", "<root><!-- x</root>",
                     u8"Неверный формат XML: ошибка разметки в строке 1"},
        DocumentCase{"AttributeWithoutQuotes", "<root a=1/>",
                     u8"Неверный формат XML: ошибка разметки в строке 1"},
        DocumentCase{"AttributesWithoutBlank", "<root a='1'b='2'/>",
                     u8"Неверный формат XML: ошибка разметки в строке 1"},
        DocumentCase{"LessThanInAttribute", "<root a='<'/>",
                     u8"Неверный формат XML: ошибка разметки в строке 1"}),
    [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::rtl
