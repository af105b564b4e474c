// The service files: the notice of receipt with its parties and the declaration's description,
// written as exact text, read back, and their refusals with the messages.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "package/xml/xml_gpr_dekl_description.h"
#include "package/xml/xml_gpr_notice_receipt.h"
#include "rtl/date_time.h"
#include "test_support.h"

namespace lyr::xml {
namespace {

using test::ExpectRaises;
using test::W;

void Fill(CXMLGprNoticeReceipt& notice) {
  notice.SetFileIdentifier("IZVESHPOL_7701_7701_0123");
  notice.SetProgVersion("Lyr.Tdx.Package880");
  notice.ConfirmingParty().SetMemberType(CXMLGprMemberInfo::kTaxOffice);
  notice.ConfirmingParty().SetEmail("7701@nalog.ru");
  notice.ConfirmingParty().NO().SetCode("7701");
  notice.SetReceiptTime(rtl::EncodeDateTime({2024, 3, 15, 9, 5, 7, 0}));
  CXMLGprReceiptFile& first = notice.ReceivedFiles().Add();
  first.SetFileName("NO_NDS");
  first.Signatures() = {"TUlJQg==\r\nQUJD", "U0lHMg=="};
  notice.ReceivedFiles().Add().SetFileName(W(u8"Приложение"));
  notice.Sender().SetMemberType(CXMLGprMemberInfo::kLegalEntity);
  notice.Sender().SetEmail("a@b.ru");
  notice.Sender().UL().SetName(W(u8"ООО \"Ромашка\" & сыновья"));
  notice.Sender().UL().SetInn("7701234567");
  notice.Sender().UL().SetKpp("770101001");
  notice.Receiver().SetMemberType(CXMLGprMemberInfo::kIndividual);
  notice.Receiver().SetEmail("x@y.ru");
  notice.Receiver().FL().SetInn("770123456789");
  notice.Receiver().FL().FIO().SetLName(W(u8"Петрова"));
  notice.Receiver().FL().FIO().SetFName(W(u8"Анна"));
  notice.Receiver().FL().FIO().SetMName(W(u8"Сергеевна"));
}

void Fill(CXMLGprDeklDescription& description, uint8_t kind, const std::string& period) {
  description.SetFormName(W(u8"Декларация по НДС"));
  description.SetFormKnd("1151001");
  description.SetDeklKind(kind);
  description.SetYear("2024");
  description.SetPeriodCode(period);
  description.SetSonoAccount("7701");
  description.SetSonoSituation("7702");
}

// What is read writes the same text again: every field survived.
template <typename T>
void ExpectReadsBack(T& written, T&& read) {
  read.SetXML(written.GetXML());
  read.Read();
  EXPECT_EQ(read.GetXML(), written.GetXML());
}

TEST(ServiceFiles, NoticeOfReceiptWritesExactTextAndReadsBack) {
  CXMLGprNoticeReceipt notice;
  Fill(notice);
  const std::string text = notice.GetXML();
  EXPECT_EQ(text, test::kDeclaration +
                      W(u8"\r\n<Файл ИдФайл=\"IZVESHPOL_7701_7701_0123\" "
                        u8"ВерсПрог=\"Lyr.Tdx.Package880\" "
                        u8"ВерсФорм=\"5.03\">\r\n"
                        u8"\t<Документ КНД=\"1166008\">\r\n"
                        u8"\t\t<ПодтвДок E-mail=\"7701@nalog.ru\">\r\n"
                        u8"\t\t\t<КодНО>7701</КодНО>\r\n"
                        u8"\t\t</ПодтвДок>\r\n"
                        u8"\t\t<СвИзвещП ДатаПол=\"15.03.2024\" ВремяПол=\"09.05.07\">\r\n"
                        u8"\t\t\t<СведПолФайл ИмяПостФайла=\"NO_NDS\">\r\n"
                        u8"\t\t\t\t<ЭЦППолФайл>TUlJQg==&#13;\nQUJD</ЭЦППолФайл>\r\n"
                        u8"\t\t\t\t<ЭЦППолФайл>U0lHMg==</ЭЦППолФайл>\r\n"
                        u8"\t\t\t</СведПолФайл>\r\n"
                        u8"\t\t\t<СведПолФайл ИмяПостФайла=\"Приложение\"/>\r\n"
                        u8"\t\t</СвИзвещП>\r\n"
                        u8"\t\t<ОтпрДок E-mail=\"a@b.ru\">\r\n"
                        u8"\t\t\t<ЮЛ НаимОрг=\"ООО &quot;Ромашка&quot; &amp; сыновья\" "
                        u8"ИННЮЛ=\"7701234567\" КПП=\"770101001\"/>\r\n"
                        u8"\t\t</ОтпрДок>\r\n"
                        u8"\t\t<ПолДок E-mail=\"x@y.ru\">\r\n"
                        u8"\t\t\t<ФЛ ИННФЛ=\"770123456789\">\r\n"
                        u8"\t\t\t\t<ФИО Фамилия=\"Петрова\" Имя=\"Анна\" "
                        u8"Отчество=\"Сергеевна\"/>\r\n"
                        u8"\t\t\t</ФЛ>\r\n"
                        u8"\t\t</ПолДок>\r\n"
                        u8"\t</Документ>\r\n"
                        u8"</Файл>\r\n"));
  CXMLGprNoticeReceipt read;
  read.SetXML(text);
  read.Read();
  EXPECT_EQ(read.FileIdentifier() + " " + read.ProgVersion(),
            "IZVESHPOL_7701_7701_0123 Lyr.Tdx.Package880");
  ASSERT_EQ(read.ReceivedFiles().Count(), 2);
  EXPECT_EQ(read.ReceivedFiles().Items(0).Signatures(),
            notice.ReceivedFiles().Items(0).Signatures());
  EXPECT_EQ(read.ReceivedFiles().Items(1).FileName(), W(u8"Приложение"));
  ExpectReadsBack(notice.Sender().UL(), CXMLGprUL(W(u8"ЮЛ")));
  ExpectReadsBack(notice.Receiver().FL(), CXMLGprFL(W(u8"ФЛ")));
  ExpectReadsBack(notice.ConfirmingParty().NO(), CXMLGprNO());
  CXMLGprReceiptFile file;
  file.SetFileName(W(u8"Отчёт"));
  file.Signatures() = {"QUJD\r\nREVG", "", "R0hJ"};
  ExpectReadsBack(file, CXMLGprReceiptFile());
}

TEST(ServiceFiles, SpecialOperatorAsAPartyWritesItsFragmentAndReadsBack) {
  CXMLGprMemberInfo special(W(u8"ПодтвДок"));
  special.SetMemberType(CXMLGprMemberInfo::kSpecialOperator);
  special.SetEmail("sos@op.ru");
  special.SOS().SetName(W(u8"Оператор"));
  special.SOS().SetIdentifier("2AA");
  EXPECT_EQ(special.GetXML(),
            W(u8"<ПодтвДок E-mail=\"sos@op.ru\">\r\n\t<СпецОперат НаимОрг=\"Оператор\" "
              u8"ИденСОС=\"2AA\"/>\r\n</ПодтвДок>"));
  ExpectReadsBack(special.SOS(), CXMLGprSOS());
}

TEST(ServiceFiles, DeclarationDescriptionWritesExactTextAndReadsBack) {
  CXMLGprDeklDescription description;
  Fill(description, 2, "21");
  const std::string text = description.GetXML();
  EXPECT_EQ(text, test::kDeclaration + W(u8"\r\n<описание>\r\n"
                                         u8"\t<имяФормы>Декларация по НДС</имяФормы>\r\n"
                                         u8"\t<КНДФормы>1151001</КНДФормы>\r\n"
                                         u8"\t<видДокумента>корректирующий</видДокумента>\r\n"
                                         u8"\t<год>2024</год>\r\n"
                                         u8"\t<кодПериода>21</кодПериода>\r\n"
                                         u8"\t<НОПоМестуУчета>7701</НОПоМестуУчета>\r\n"
                                         u8"\t<НОПоМестуНахождения>7702</НОПоМестуНахождения>\r\n"
                                         u8"</описание>\r\n"));
  ExpectReadsBack(description, CXMLGprDeklDescription());
  // Kind 0 and an empty period are left out and read back so.
  Fill(description, 0, "");
  EXPECT_EQ(description.GetXML().find(W(u8"видДокумента")), std::string::npos);
  EXPECT_EQ(description.GetXML().find(W(u8"кодПериода")), std::string::npos);
  ExpectReadsBack(description, CXMLGprDeklDescription());
}

// Reads text into a T and fails with the message.
template <typename T>
std::function<void()> Reading(const std::string& text) {
  return [text] {
    T read;
    read.SetXML(text);
    read.Read();
  };
}

// Writes a member of type with email ("": none).
void WriteMember(int type, const std::string& email) {
  CXMLGprMemberInfo member(W(u8"ПодтвДок"));
  member.SetMemberType(static_cast<uint8_t>(type));
  if (!email.empty()) {
    member.SetEmail(email);
  }
  (void)member.GetXML();
}

// A refused setter keeps the value it had.
TEST(ServiceFileRefusals, GiveTheirMessages) {
  CXMLGprDeklDescription d;
  Fill(d, 1, "21");
  const std::string filled = d.GetXML();
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {Reading<CXMLGprNoticeReceipt>("<a/>"), u8"Элемент [Файл] не найден"},
      {[] {
         CXMLGprNoticeReceipt notice;
         Fill(notice);
         notice.ReceivedFiles().Add();
         (void)notice.GetXML();
       },
       u8"Попытка записи пустого значения в атрибут [ИмяПостФайла]"},
      {[] { WriteMember(5, "a@b.ru"); }, u8"Неизвестный тип участника обмена: [5]"},
      {[] { WriteMember(CXMLGprMemberInfo::kTaxOffice, ""); },
       u8"Попытка записи пустого значения в атрибут [E-mail]"},
      {[] {
         CXMLGprUL read(W(u8"ЮЛ"));
         read.SetXML(W(u8"<ФЛ/>"));
         read.Read();
       },
       u8"Не найден ожидаемый узел [ЮЛ] (вместо найденного <ФЛ/>)"},
      {[] { CXMLGprUL(W(u8"ЮЛ")).SetInn("770123456789"); },
       u8"Длина переменной [Inn = \"770123456789\"] должна быть равной [10]"},
      {[] { CXMLGprFIO().SetLName(""); }, u8"LName: длина строки должна быть от 1 до 60 символов"},
      {[] { CXMLGprFIO().SetMName(std::string(61, 'x')); },
       u8"MName: длина строки должна быть от 0 до 60 символов"},
      {Reading<CXMLGprDeklDescription>(W(u8"<опись/>")),
       u8"Не найден ожидаемый узел [описание] (вместо найденного <опись/>)"},
      {Reading<CXMLGprDeklDescription>(W(u8"<описание><имяФормы>a</имяФормы><КНДФормы>1</КНДФормы>"
                                         u8"<НОПоМестуУчета>1</НОПоМестуУчета></описание>")),
       u8"Нет элемента с именем [год]"},
      {Reading<CXMLGprDeklDescription>(W(u8"<описание><имяФормы><b/></имяФормы></описание>")),
       u8"В элементе [имяФормы] содержится не только текст"},
      {[&] { d.SetFormName(""); }, u8"Передан пустой аргумент: FormName"},
      {[&] { d.SetFormKnd("115100"); },
       u8"Длина переменной [FormKnd = \"115100\"] должна быть равной [7]"},
      {[&] { d.SetPeriodCode("123"); },
       u8"PeriodCode: длина строки должна быть от 0 до 2 символов"}};
  for (const auto& [act, message] : cases) {
    ExpectRaises(act, W(message));
  }
  EXPECT_EQ(d.GetXML(), filled);
}

}  // namespace
}  // namespace lyr::xml
