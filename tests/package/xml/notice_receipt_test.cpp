// Tests of the notice of receipt and the service-file frame.
#include "package/xml/xml_gpr_notice_receipt.h"

#include <gtest/gtest.h>

#include <string>

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
  notice.Sender().UL().SetName(W(u8"ООО Ромашка"));
  notice.Sender().UL().SetInn("7701234567");
  notice.Receiver().SetMemberType(CXMLGprMemberInfo::kTaxOffice);
  notice.Receiver().SetEmail("7701@nalog.ru");
  notice.Receiver().NO().SetCode("7701");
}

TEST(NoticeReceipt, WritesFrameConfirmingPartyFilesAndParties) {
  CXMLGprNoticeReceipt notice;
  Fill(notice);
  EXPECT_EQ(notice.GetXML(),
            test::kDeclaration +
                W(u8"\r\n<Файл ИдФайл=\"IZVESHPOL_7701_7701_0123\" ВерсПрог=\"Lyr.Tdx.Package880\" "
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
                  u8"\t\t\t<ЮЛ НаимОрг=\"ООО Ромашка\" ИННЮЛ=\"7701234567\"/>\r\n"
                  u8"\t\t</ОтпрДок>\r\n"
                  u8"\t\t<ПолДок E-mail=\"7701@nalog.ru\">\r\n"
                  u8"\t\t\t<КодНО>7701</КодНО>\r\n"
                  u8"\t\t</ПолДок>\r\n"
                  u8"\t</Документ>\r\n"
                  u8"</Файл>\r\n"));
}

TEST(NoticeReceipt, ReadsFrameAndReceivedFiles) {
  CXMLGprNoticeReceipt notice;
  Fill(notice);
  CXMLGprNoticeReceipt read;
  read.SetXML(notice.GetXML());
  read.Read();
  EXPECT_EQ(read.FileIdentifier() + " " + read.ProgVersion(),
            "IZVESHPOL_7701_7701_0123 Lyr.Tdx.Package880");
  ASSERT_EQ(read.ReceivedFiles().Count(), 2);
  EXPECT_EQ(read.ReceivedFiles().Items(0).FileName(), "NO_NDS");
  EXPECT_EQ(read.ReceivedFiles().Items(0).Signatures(),
            notice.ReceivedFiles().Items(0).Signatures());
  EXPECT_EQ(read.ReceivedFiles().Items(1).FileName(), W(u8"Приложение"));
  EXPECT_TRUE(read.ReceivedFiles().Items(1).Signatures().empty());
}

TEST(NoticeReceipt, ReceiptFileReadsBackItsSignatures) {
  CXMLGprReceiptFile file;
  file.SetFileName(W(u8"Отчёт"));
  file.Signatures() = {"QUJD\r\nREVG", "", "R0hJ"};
  CXMLGprReceiptFile read;
  read.SetXML(file.GetXML());
  read.Read();
  EXPECT_EQ(read.GetXML(), file.GetXML());
  EXPECT_EQ(read.Signatures(), file.Signatures());
}

TEST(NoticeReceipt, ReadingWithoutFileElementAndWritingAFileWithoutNameFail) {
  CXMLGprNoticeReceipt notice;
  notice.SetXML("<a/>");
  ExpectRaises([&] { notice.Read(); }, W(u8"Элемент [Файл] не найден"));
  Fill(notice);
  notice.ReceivedFiles().Add();
  ExpectRaises([&] { (void)notice.GetXML(); },
               W(u8"Попытка записи пустого значения в атрибут [ИмяПостФайла]"));
}

}  // namespace
}  // namespace lyr::xml
