// The tool's "description" command, run as a program: what it prints and its exit status.
#include <gtest/gtest.h>

#include <string>

#include "package/xml/xml_gpr_package.h"
#include "rtl/text.h"
#include "support/sandbox.h"

namespace lyr::tool {
namespace {

using rtl::Msg;

std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

class DescriptionCommand : public test::Sandbox {
 protected:
  int Run(const std::string& arguments, std::string* output, bool with_errors = true) {
    return test::RunCommand(
        std::string(LYR_TDX880_TOOL) + " " + arguments + (with_errors ? " 2>&1" : " 2>/dev/null"),
        output);
  }

  std::string WrittenDescription() {
    xml::CXMLGprPackage package;
    package.SetThreadType(Msg(u8"ДекларацияНП"));
    package.SetThreadTypeCode("01");
    package.SetTransactType(Msg(u8"ДекларацияНП"));
    package.SetTransactTypeCode("01");
    package.SetThreadCode(std::string(32, '1'));
    package.SetProgVersion("Lyr.Tdx.Package880");
    package.Sender().SetSubjectIdentifier("2AA_7701234567");
    package.Sender().SetSubjectCode(1);
    package.SpecialOperator().SetSubjectIdentifier("2AA");
    package.SpecialOperator().SetSubjectCode(3);
    package.Receiver().SetSubjectIdentifier("7701");
    package.Receiver().SetSubjectCode(2);
    xml::CXMLGprDocument& document = package.Documents().Add();
    document.SetDocumentType(Msg(u8"декларация"));
    document.SetDocumentTypeCode("01");
    document.SetContentType("xml");
    document.SetIsEncrypted(true);
    document.SetDocumentCode(std::string(32, 'd'));
    document.SetOriginalFilename(Msg(u8"Отчёт & приложения.xml"));
    document.SetFileName(std::string(32, 'c') + ".bin");
    for (uint8_t role : {1, 11}) {
      xml::CXMLGprSignature& signature = document.Signatures().Add();
      signature.SetFileName(std::string(32, role == 1 ? 'a' : 'b') + ".bin");
      signature.SetRole(role);
    }
    return package.GetXML();
  }
};

TEST_F(DescriptionCommand, ShowsEverythingTheLibraryRead) {
  const std::string path = WriteFile("packageDescription.xml", WrittenDescription());
  std::string output;
  ASSERT_EQ(Run("description '" + path + "'", &output), 0) << output;
  EXPECT_EQ(output,
            Utf8(u8"flow: 01 ДекларацияНП\n"
                 u8"transaction: 01 ДекларацияНП\n"
                 u8"thread code: 11111111111111111111111111111111\n"
                 u8"program version: Lyr.Tdx.Package880\n"
                 u8"sender: 2AA_7701234567, type 1 (абонент)\n"
                 u8"special operator: 2AA, type 3 (спецоператор)\n"
                 u8"receiver: 7701, type 2 (налоговыйОрган)\n"
                 u8"documents: 1\n"
                 u8"document 1:\n"
                 u8"  type: 01 декларация\n"
                 u8"  content type: xml\n"
                 u8"  compressed: false\n"
                 u8"  encrypted: true\n"
                 u8"  document code: dddddddddddddddddddddddddddddddd\n"
                 u8"  original file name: Отчёт & приложения.xml\n"
                 u8"  content file: cccccccccccccccccccccccccccccccc.bin\n"
                 u8"  signatures: 2\n"
                 u8"  signature 1: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.bin, role 1 (абонент)\n"
                 u8"  signature 2: bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.bin, role 11 (ФЦОД)\n"));
}

TEST_F(DescriptionCommand, RewriteGivesTheLibrarysBytes) {
  const std::string written = WrittenDescription();
  const std::string path = WriteFile("packageDescription.xml", written);
  std::string output;
  ASSERT_EQ(Run("description --rewrite '" + path + "'", &output, false), 0);
  EXPECT_EQ(output, written);
}

TEST_F(DescriptionCommand, ReadingFailureGoesToStandardErrorWithStatusOne) {
  std::string text = WrittenDescription();
  const std::string role = Msg(u8"роль=\"ФЦОД\"");
  text.replace(text.find(role), role.size(), Msg(u8"роль=\"Банк\""));
  const std::string path = WriteFile("packageDescription.xml", text);
  std::string output;
  EXPECT_EQ(Run("description '" + path + "'", &output, false), 1);
  EXPECT_EQ(output, "");
  EXPECT_EQ(Run("description '" + path + "'", &output), 1);
  EXPECT_EQ(output, Utf8(u8"Неизвестная роль: {Банк}\n"));
}

TEST_F(DescriptionCommand, MissingFileAndWrongUsage) {
  std::string output;
  EXPECT_EQ(Run("description '" + PathOf("none.xml") + "'", &output), 1);
  EXPECT_EQ(output, Utf8(u8"Файл не найден: [") + PathOf("none.xml") + "]\n");
  output.clear();
  EXPECT_EQ(Run("description", &output), 2);
  EXPECT_EQ(output, "usage: tdx880 description [--rewrite] FILE\n");
}

}  // namespace
}  // namespace lyr::tool
