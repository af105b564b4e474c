// The package description: exact text that xmllint reads, round trips, reading
// what other programs write, and the refusals with their messages.
#include "package/xml/xml_gpr_package.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "test_support.h"

namespace lyr::xml {
namespace {

using test::ExpectRaises;
using test::W;

const std::string kThreadCode = "0123456789abcdef0123456789abcdef";
const std::string kDocumentCode = "fedcba9876543210fedcba9876543210";

std::string FileId(char c) {
  return std::string(32, c) + ".bin";
}

void FillHeader(CXMLGprPackage& package) {
  package.SetThreadType(W(u8"ДекларацияНП"));
  package.SetThreadTypeCode("01");
  package.SetTransactType(W(u8"ДекларацияНП"));
  package.SetTransactTypeCode("01");
  package.SetProgVersion("Lyr.Tdx.Package880");
  package.Sender().SetSubjectIdentifier("2AA_7701234567");
  package.Sender().SetSubjectCode(1);
  package.Receiver().SetSubjectIdentifier("7701");
  package.Receiver().SetSubjectCode(2);
}

CXMLGprDocument& AddDocument(CXMLGprPackage& package, char file, int signatures) {
  CXMLGprDocument& document = package.Documents().Add();
  document.SetDocumentType(W(u8"декларация"));
  document.SetDocumentTypeCode("01");
  document.SetContentType("xml");
  document.SetIsCompressed(true);
  document.SetOriginalFilename(W(u8"NO_NDS_7701_7701_Отчёт & <1>.xml"));
  document.SetFileName(FileId(file));
  for (int i = 0; i < signatures; ++i) {
    CXMLGprSignature& signature = document.Signatures().Add();
    signature.SetFileName(FileId(static_cast<char>(file + 1 + i)));
    signature.SetRole(static_cast<uint8_t>(1 + i));
  }
  return document;
}

class PackageDescription : public lyr::test::Sandbox {};

// The text as written, read by xmllint; SaveToFile stores exactly that text.
TEST_F(PackageDescription, WritesExactTextThatXmllintReads) {
  CXMLGprPackage package;
  FillHeader(package);
  package.SetThreadCode(kThreadCode);
  package.SpecialOperator().SetSubjectIdentifier("2AA");
  package.SpecialOperator().SetSubjectCode(3);
  AddDocument(package, 'a', 2).SetDocumentCode(kDocumentCode);
  const std::string text = package.GetXML();
  EXPECT_EQ(text, test::kDeclaration +
                      W(u8"\r\n<ТрансИнф версияФормата=\"ТДХ:1.0\" "
                        u8"кодТипаДокументооборота=\"01\" "
                        u8"типДокументооборота=\"ДекларацияНП\" кодТипаТранзакции=\"01\" "
                        u8"типТранзакции=\"ДекларацияНП\" "
                        u8"идентификаторДокументооборота="
                        u8"\"0123456789abcdef0123456789abcdef\" "
                        u8"ВерсПрог=\"Lyr.Tdx.Package880\">\r\n"
                        u8"\t<отправитель идентификаторСубъекта=\"2AA_7701234567\" "
                        u8"типСубъекта=\"абонент\"/>\r\n"
                        u8"\t<спецоператор идентификаторСубъекта=\"2AA\" "
                        u8"типСубъекта=\"спецоператор\"/>\r\n"
                        u8"\t<получатель идентификаторСубъекта=\"7701\" "
                        u8"типСубъекта=\"налоговыйОрган\"/>\r\n"
                        u8"\t<документ кодТипаДокумента=\"01\" типДокумента=\"декларация\" "
                        u8"типСодержимого=\"xml\" сжат=\"true\" зашифрован=\"false\" "
                        u8"идентификаторДокумента=\"fedcba9876543210fedcba9876543210\" "
                        u8"исходноеИмяФайла=\"NO_NDS_7701_7701_Отчёт &amp; "
                        u8"&lt;1&gt;.xml\">\r\n"
                        u8"\t\t<содержимое "
                        u8"имяФайла=\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.bin\"/>\r\n"
                        u8"\t\t<подпись имяФайла=\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.bin\" "
                        u8"роль=\"абонент\"/>\r\n"
                        u8"\t\t<подпись имяФайла=\"cccccccccccccccccccccccccccccccc.bin\" "
                        u8"роль=\"налоговыйОрган\"/>\r\n"
                        u8"\t</документ>\r\n"
                        u8"</ТрансИнф>\r\n"));
  EXPECT_NE(test::XmllintUtf8(WriteFile("d.xml", text)).find("Отчёт &amp; &lt;1&gt;.xml"),
            std::string::npos);
  package.SaveToFile(PathOf("saved.xml"));
  EXPECT_EQ(lyr::test::ReadAll(PathOf("saved.xml")), text);
}

TEST(PackageDescriptionRoundTrip, ThreeDocumentsTwoSignaturesEachAndSpecialOperator) {
  CXMLGprPackage package;
  FillHeader(package);
  package.SpecialOperator().SetSubjectIdentifier(W(u8"оператор & <сын>"));
  package.SpecialOperator().SetSubjectCode(3);
  for (char file : {'a', 'd', 'g'}) {
    AddDocument(package, file, 2);
  }
  package.Documents().Items(1).SetIsCompressed(false);
  package.Documents().Items(1).SetIsEncrypted(true);
  package.Documents().Items(1).SetOriginalFilename("A&B \"x\" >y<  'z'.xml");
  package.Documents().Items(2).SetFileName("");
  package.Documents().Items(2).SetOriginalFilename("");
  CXMLGprPackage read;
  read.SetXML(package.GetXML());
  read.Read();
  // What is read writes the same text again: every field survived.
  ASSERT_EQ(read.Documents().Count(), 3);
  EXPECT_EQ(read.GetXML(), package.GetXML());
  // Without a special operator there is no element of it.
  package.SpecialOperator().Clear();
  EXPECT_EQ(package.GetXML().find(W(u8"спецоператор")), std::string::npos);
}

// Every subject code as sender, special operator, receiver and signature role
// reads back as written, except 4, which is written with the word of 1.
TEST(PackageDescriptionRoundTrip, EverySubjectCode) {
  for (uint8_t code = 1; code <= 11; ++code) {
    CXMLGprPackage package;
    FillHeader(package);
    package.Sender().SetSubjectCode(code);
    package.SpecialOperator().SetSubjectIdentifier("op");
    package.SpecialOperator().SetSubjectCode(code);
    package.Receiver().SetSubjectCode(code);
    AddDocument(package, 'a', 1).Signatures().Items(0).SetRole(code);
    CXMLGprPackage read;
    read.SetXML(package.GetXML());
    read.Read();
    const uint8_t expected = code == 4 ? 1 : code;
    EXPECT_EQ(read.Sender().SubjectCode(), expected) << int{code};
    EXPECT_EQ(read.SpecialOperator().SubjectCode(), expected) << int{code};
    EXPECT_EQ(read.Receiver().SubjectCode(), expected) << int{code};
    EXPECT_EQ(read.Documents().Items(0).Signatures().Items(0).Role(), expected) << int{code};
  }
}

std::string Description(const std::u8string_view body) {
  return test::kDeclaration +
         W(u8"\r\n<ТрансИнф версияФормата=\"ТДХ:1.0\" "
           u8"кодТипаДокументооборота=\"01\" "
           u8"типДокументооборота=\"Поток\" кодТипаТранзакции=\"02\" "
           u8"типТранзакции=\"Тр\" "
           u8"идентификаторДокументооборота="
           u8"\"0123456789abcdef0123456789abcdef\" "
           u8"ВерсПрог=\"v1\">\r\n"
           u8"<отправитель идентификаторСубъекта=\"S\" "
           u8"типСубъекта=\"абонент\"/>\r\n"
           u8"<получатель идентификаторСубъекта=\"R\" "
           u8"типСубъекта=\"налоговыйОрган\"/>\r\n") +
         W(body) + W(u8"</ТрансИнф>\r\n");
}

// A description with one document of the attributes and children.
std::string Document(const std::u8string_view attributes,
                     const std::u8string_view children = u8"") {
  return Description(u8"") + "<" + W(u8"документ") + W(attributes) + ">" + W(children) + "</" +
         W(u8"документ") + ">";
}

const std::u8string_view kGoodAttributes =
    u8" кодТипаДокумента=\"01\" типДокумента=\"декларация\" "
    u8"типСодержимого=\"xml\" "
    u8"идентификаторДокумента=\"fedcba9876543210fedcba9876543210\"";

// A description written by another program (no special operator, no original name, no
// signatures) reads; so does one in UTF-8; the flags read as true for "TRUE" and "1".
TEST(PackageDescriptionReading, ReadsWhatOthersWrite) {
  CXMLGprPackage read;
  read.SetXML(Document(kGoodAttributes, u8"<содержимое имяФайла=\"short\"/>"));
  read.Read();
  EXPECT_EQ(read.ThreadType() + read.ThreadTypeCode() + read.TransactType() +
                read.TransactTypeCode() + read.ThreadCode() + read.ProgVersion(),
            W(u8"Поток01Тр02") + kThreadCode + "v1");
  EXPECT_EQ(read.Sender().SubjectIdentifier() + read.Receiver().SubjectIdentifier() +
                read.SpecialOperator().SubjectIdentifier(),
            "SR");
  EXPECT_EQ(std::tuple(read.Sender().SubjectCode(), read.Receiver().SubjectCode(),
                       read.SpecialOperator().SubjectCode()),
            std::tuple(1, 2, 0));
  ASSERT_EQ(read.Documents().Count(), 1);
  const CXMLGprDocument& document = read.Documents().Items(0);
  EXPECT_EQ(document.DocumentType() + document.DocumentCode() + document.FileName() +
                document.OriginalFilename(),
            W(u8"декларация") + kDocumentCode + "short");
  EXPECT_EQ(document.Signatures().Count(), 0);
  for (const auto& [value, expected] :
       {std::pair<std::u8string, bool>{u8"TRUE", true}, {u8"1", true}, {u8"yes", false}}) {
    CXMLGprPackage flags;
    flags.SetXML(Document(std::u8string(kGoodAttributes) + u8" сжат=\"" + value +
                          u8"\" зашифрован=\"" + value + u8"\""));
    flags.Read();
    EXPECT_EQ(flags.Documents().Items(0).IsCompressed(), expected) << W(value);
    EXPECT_EQ(flags.Documents().Items(0).IsEncrypted(), expected) << W(value);
  }
  CXMLGprPackage written;
  FillHeader(written);
  AddDocument(written, 'a', 1);
  std::string utf8 = rtl::AnsiToUtf8String(written.GetXML());
  utf8.replace(utf8.find("windows-1251"), 12, "utf-8");
  CXMLGprPackage converted;
  converted.SetXML(utf8);
  converted.Read();
  EXPECT_EQ(converted.GetXML(), written.GetXML());
}

// Reading text fails.
std::function<void()> Reading(const std::string& text) {
  return [text] {
    CXMLGprPackage read;
    read.SetXML(text);
    read.Read();
  };
}

// Writing a package of one document with one signature, spoilt, fails.
std::function<void()> Writing(std::function<void(CXMLGprPackage&)> spoil) {
  return [spoil] {
    CXMLGprPackage package;
    FillHeader(package);
    AddDocument(package, 'a', 1);
    spoil(package);
    (void)package.GetXML();
  };
}

// One row per kind of check of each class.
TEST(PackageDescriptionRefusals, GiveTheirMessages) {
  const std::pair<std::function<void()>, std::u8string> cases[] = {
      {Writing([](auto& p) { p.Sender().SetSubjectCode(0); }), u8"Неизвестный тип субъекта: [0]"},
      {Writing([](auto& p) { p.Documents().Items(0).Signatures().Items(0).SetRole(0); }),
       u8"Неизвестная роль: [0]"},
      {Writing([](auto& p) {
         p.Receiver().Clear();
         p.Receiver().SetSubjectCode(2);
       }),
       u8"Попытка записи пустого значения в атрибут [идентификаторСубъекта]"},
      {Reading(W(u8"<?xml version=\"1.0\"?>\r\n<Файл/>")), u8"Элемент [ТрансИнф] не найден"},
      {Reading(Document(u8" кодТипаДокумента=\"1\" типДокумента=\"д\" типСодержимого=\"xml\"")),
       u8"Длина переменной [DocumentTypeCode = \"1\"] должна быть равной [2]"},
      {Reading(Document(u8" кодТипаДокумента=\"01\"")), u8"Передан пустой аргумент: DocumentType"},
      {Reading(Document(
           kGoodAttributes,
           u8"<подпись имяФайла=\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.bin\" роль=\"Абонент\"/>")),
       u8"Неизвестная роль: {Абонент}"},
      {Reading(Document(kGoodAttributes, u8"<подпись имяФайла=\"b.bin\" роль=\"абонент\"/>")),
       u8"Длина переменной [FileName = \"b.bin\"] должна быть равной [36]"},
      {Reading(W(u8"<ТрансИнф><отправитель идентификаторСубъекта=\"S\" типСубъекта=\"банк\"/>")),
       u8"Неизвестный тип субъекта: [банк]"},
      {Reading(W(u8"<ТрансИнф><отправитель типСубъекта=\"абонент\"/></ТрансИнф>")),
       u8"Передан пустой аргумент: SubjectIdentifier"},
      {Reading(W(u8"<ТрансИнф><отправитель идентификаторСубъекта=\"77&#10;01\"/></ТрансИнф>")),
       u8"Недопустимый символ в идентификаторе субъекта: [77\n01]"},
      {Reading(W(u8"<ТрансИнф><отправитель идентификаторСубъекта=\"77&#9;01\"/></ТрансИнф>")),
       u8"Недопустимый символ в идентификаторе субъекта: [77\t01]"},
      {Reading([] {
         std::string many = Document(kGoodAttributes);
         const std::string one = many.substr(many.find("<" + W(u8"документ")));
         for (int i = 0; i < CXMLGprDocumentCollection::kMaxDocuments; ++i) {
           many += one;
         }
         return many;
       }()),
       u8"Слишком много документов в описании пакета (больше 10000)"},
      {Reading(W(u8"<ТрансИнф><получатель идентификаторСубъекта=\"R\"/></ТрансИнф>")),
       u8"Не найден ожидаемый узел [отправитель] (вместо найденного <получатель "
       u8"идентификаторСубъекта=\"R\"/>)"},
      {[] { CXMLGprPackage().SetThreadType(std::string(51, 'x')); },
       u8"Длина переменной [ThreadType] больше [50]"},
      {[] { CXMLGprPackage().SetThreadCode("1"); },
       u8"Длина переменной [ThreadCode = \"1\"] должна быть равной [32]"},
      {[] { CXMLGprPackage().SetProgVersion(std::string(41, 'v')); },
       u8"ProgVersion: длина строки должна быть от 1 до 40 символов"}};
  for (const auto& [act, message] : cases) {
    ExpectRaises(act, W(message));
  }
}

}  // namespace
}  // namespace lyr::xml
