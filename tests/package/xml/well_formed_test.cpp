// Every XML text the package XML classes write is well formed (xmllint) and decodes as
// windows-1251 with its Cyrillic names intact; SaveToFile stores exactly that text.
#include <gtest/gtest.h>

#include <string>

#include "package/xml/xml_gpr_dekl_description.h"
#include "package/xml/xml_gpr_member_info.h"
#include "package/xml/xml_gpr_notice_receipt.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/date_time.h"
#include "support/sandbox.h"
#include "test_support.h"

namespace lyr::xml {
namespace {

using test::W;

std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

class WellFormed : public lyr::test::Sandbox {
 protected:
  // Checks text with xmllint and returns it re-encoded as UTF-8 by xmllint.
  std::string CheckedAsUtf8(const std::string& name, const std::string& text) {
    const std::string path = WriteFile(name, text);
    std::string output;
    EXPECT_EQ(lyr::test::RunCommand("xmllint --noout '" + path + "' 2>&1", &output), 0)
        << name << ": " << output;
    output.clear();
    EXPECT_EQ(lyr::test::RunCommand("xmllint --encode UTF-8 '" + path + "' 2>&1", &output), 0);
    return output;
  }
};

TEST_F(WellFormed, PackageDescription) {
  CXMLGprPackage package;
  package.SetThreadType(W(u8"ДекларацияНП"));
  package.SetThreadTypeCode("01");
  package.SetTransactType(W(u8"Декларация & <приложения>"));
  package.SetTransactTypeCode("01");
  package.SetProgVersion("Lyr.Tdx.Package880");
  package.Sender().SetSubjectIdentifier("2AA_\"quoted\"");
  package.Sender().SetSubjectCode(4);
  package.SpecialOperator().SetSubjectIdentifier("2AA");
  package.SpecialOperator().SetSubjectCode(3);
  package.Receiver().SetSubjectIdentifier("7701");
  package.Receiver().SetSubjectCode(11);
  for (int i = 0; i < 3; ++i) {
    CXMLGprDocument& document = package.Documents().Add();
    document.SetDocumentType(W(u8"декларация"));
    document.SetDocumentTypeCode("01");
    document.SetContentType("xml");
    document.SetOriginalFilename(W(u8"A&B <Отчёт> 'x'\t.xml"));
    document.SetFileName(std::string(32, static_cast<char>('a' + i)) + ".bin");
    for (uint8_t role : {1, 7}) {
      CXMLGprSignature& signature = document.Signatures().Add();
      signature.SetFileName(std::string(32, 's') + ".bin");
      signature.SetRole(role);
    }
  }
  const std::string utf8 = CheckedAsUtf8("packageDescription.xml", package.GetXML());
  EXPECT_NE(utf8.find(Utf8(u8"<ТрансИнф версияФормата=\"ТДХ:1.0\"")), std::string::npos);
  EXPECT_NE(utf8.find(Utf8(u8"типСубъекта=\"ФЦОД\"")), std::string::npos);
  EXPECT_NE(utf8.find(Utf8(u8"роль=\"доверенныйУЦ\"")), std::string::npos);

  const std::string saved = PathOf("saved.xml");
  package.SaveToFile(saved);
  EXPECT_EQ(lyr::test::ReadAll(saved), package.GetXML());
}

TEST_F(WellFormed, NoticeOfReceipt) {
  CXMLGprNoticeReceipt notice;
  notice.SetFileIdentifier("IZVESHPOL");
  notice.SetProgVersion("Lyr.Tdx.Package880");
  notice.SetReceiptTime(rtl::EncodeDateTime({2024, 12, 31, 23, 59, 58, 0}));
  CXMLGprMemberInfo* parties[] = {&notice.ConfirmingParty(), &notice.Sender(), &notice.Receiver()};
  for (uint8_t type = 1; type <= 3; ++type) {
    CXMLGprMemberInfo& party = *parties[type - 1];
    party.SetMemberType(type);
    party.SetEmail("x@y.ru");
    party.UL().SetName(W(u8"ООО \"Ромашка\""));
    party.UL().SetInn("7701234567");
    party.FL().FIO().SetLName(W(u8"Иванов"));
    party.FL().FIO().SetFName(W(u8"Иван"));
    party.NO().SetCode("7701");
  }
  CXMLGprReceiptFile& file = notice.ReceivedFiles().Add();
  file.SetFileName(W(u8"Отчёт"));
  file.Signatures() = {"QUJD\r\nREVG"};
  const std::string utf8 = CheckedAsUtf8("notice.xml", notice.GetXML());
  EXPECT_NE(utf8.find(Utf8(u8"<Документ КНД=\"1166008\">")), std::string::npos) << utf8;
  EXPECT_NE(utf8.find(Utf8(u8"<ФИО Фамилия=\"Иванов\" Имя=\"Иван\"/>")), std::string::npos);

  CXMLGprMemberInfo special(W(u8"ПодтвДок"));
  special.SetMemberType(CXMLGprMemberInfo::kSpecialOperator);
  special.SetEmail("sos@op.ru");
  special.SOS().SetName(W(u8"Оператор"));
  special.SOS().SetIdentifier("2AA");
  // A member is a fragment of a document: checked under the declaration a document carries.
  CheckedAsUtf8("member.xml", test::kDeclaration + "\r\n" + special.GetXML());
}

TEST_F(WellFormed, DeclarationDescription) {
  CXMLGprDeklDescription description;
  description.SetFormName(W(u8"Налоговая декларация по НДС & <прочее>"));
  description.SetFormKnd("1151001");
  description.SetDeklKind(2);
  description.SetYear("2024");
  description.SetPeriodCode("21");
  description.SetSonoAccount("7701");
  description.SetSonoSituation("7702");
  const std::string utf8 = CheckedAsUtf8("TR_DEKL.xml", description.GetXML());
  EXPECT_NE(utf8.find(Utf8(u8"<видДокумента>корректирующий</видДокумента>")), std::string::npos);
}

}  // namespace
}  // namespace lyr::xml
