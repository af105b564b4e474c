// Tests of the package description: exact text, round trips, reading rules and messages, setters.
#include "package/xml/xml_gpr_package.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "package/xml/subject_code_words.h"
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
  document.SetOriginalFilename(W(u8"NO_NDS_7701_7701_Отчёт.xml"));
  document.SetFileName(FileId(file));
  for (int i = 0; i < signatures; ++i) {
    CXMLGprSignature& signature = document.Signatures().Add();
    signature.SetFileName(FileId(static_cast<char>(file + 1 + i)));
    signature.SetRole(static_cast<uint8_t>(1 + i));
  }
  return document;
}

TEST(PackageDescription, WritesExactText) {
  CXMLGprPackage package;
  FillHeader(package);
  package.SetThreadCode(kThreadCode);
  package.SpecialOperator().SetSubjectIdentifier("2AA");
  package.SpecialOperator().SetSubjectCode(3);
  AddDocument(package, 'a', 2).SetDocumentCode(kDocumentCode);
  EXPECT_EQ(package.GetXML(),
            test::kDeclaration +
                W(u8"\r\n<ТрансИнф версияФормата=\"ТДХ:1.0\" кодТипаДокументооборота=\"01\" "
                  u8"типДокументооборота=\"ДекларацияНП\" кодТипаТранзакции=\"01\" "
                  u8"типТранзакции=\"ДекларацияНП\" "
                  u8"идентификаторДокументооборота=\"0123456789abcdef0123456789abcdef\" "
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
                  u8"исходноеИмяФайла=\"NO_NDS_7701_7701_Отчёт.xml\">\r\n"
                  u8"\t\t<содержимое имяФайла=\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa.bin\"/>\r\n"
                  u8"\t\t<подпись имяФайла=\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.bin\" "
                  u8"роль=\"абонент\"/>\r\n"
                  u8"\t\t<подпись имяФайла=\"cccccccccccccccccccccccccccccccc.bin\" "
                  u8"роль=\"налоговыйОрган\"/>\r\n"
                  u8"\t</документ>\r\n"
                  u8"</ТрансИнф>\r\n"));
}

TEST(PackageDescription, ThreeDocumentsTwoSignaturesEachAndSpecialOperatorRoundTrip) {
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

// Every subject code as sender, special operator, receiver and signature role reads back as
// written, except 4, which is written with the word of 1.
TEST(PackageDescription, EverySubjectCodeRoundTrips) {
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
         W(u8"\r\n<ТрансИнф версияФормата=\"ТДХ:1.0\" кодТипаДокументооборота=\"01\" "
           u8"типДокументооборота=\"Поток\" кодТипаТранзакции=\"02\" типТранзакции=\"Тр\" "
           u8"идентификаторДокументооборота=\"0123456789abcdef0123456789abcdef\" "
           u8"ВерсПрог=\"v1\">\r\n"
           u8"<отправитель идентификаторСубъекта=\"S\" типСубъекта=\"абонент\"/>\r\n"
           u8"<получатель идентификаторСубъекта=\"R\" типСубъекта=\"налоговыйОрган\"/>\r\n") +
         W(body) + W(u8"</ТрансИнф>\r\n");
}

std::string Document(const std::u8string_view attributes, const std::u8string_view children) {
  return "<" + W(u8"документ") + W(attributes) + ">" + W(children) + "</" + W(u8"документ") + ">";
}

const std::u8string_view kGoodAttributes =
    u8" кодТипаДокумента=\"01\" типДокумента=\"декларация\" типСодержимого=\"xml\" "
    u8"идентификаторДокумента=\"fedcba9876543210fedcba9876543210\"";

// A description written by another program (no special operator, no original name, no
// signatures) reads; so does one in UTF-8; the flags read as true for "true", "TRUE" and "1".
TEST(PackageDescriptionReading, ReadsWhatOthersWrite) {
  CXMLGprPackage read;
  read.SetXML(Description(u8"") + Document(kGoodAttributes, u8"<содержимое имяФайла=\"short\"/>"));
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
  for (const auto& [value, expected] : {std::pair<std::u8string, bool>{u8"true", true},
                                        {u8"TRUE", true},
                                        {u8"1", true},
                                        {u8"yes", false},
                                        {u8"false", false},
                                        {u8"", false}}) {
    CXMLGprPackage flags;
    flags.SetXML(Description(u8"") + Document(std::u8string(kGoodAttributes) + u8" сжат=\"" +
                                                  value + u8"\" зашифрован=\"" + value + u8"\"",
                                              u8""));
    flags.Read();
    EXPECT_EQ(flags.Documents().Items(0).IsCompressed(), expected) << W(value);
    EXPECT_EQ(flags.Documents().Items(0).IsEncrypted(), expected) << W(value);
  }
}

TEST(PackageDescriptionReading, Utf8DescriptionIsConverted) {
  CXMLGprPackage written;
  FillHeader(written);
  AddDocument(written, 'a', 1);
  std::string text = rtl::AnsiToUtf8String(written.GetXML());
  text.replace(text.find("windows-1251"), 12, "utf-8");
  CXMLGprPackage read;
  read.SetXML(text);
  read.Read();
  EXPECT_EQ(read.ThreadType(), W(u8"ДекларацияНП"));
  EXPECT_EQ(read.Documents().Items(0).OriginalFilename(), W(u8"NO_NDS_7701_7701_Отчёт.xml"));
}

// A refusal: what is done and the message it gives.
struct Refusal {
  std::string name;
  std::function<void()> act;
  std::string message;
};

class PackageDescriptionRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(PackageDescriptionRefusal, GivesMessage) {
  ExpectRaises(GetParam().act, GetParam().message);
}

// Writing a package of one document with one signature, spoilt.
Refusal Writing(const std::string& name, std::function<void(CXMLGprPackage&)> spoil,
                const std::string& message) {
  return {name,
          [spoil] {
            CXMLGprPackage package;
            FillHeader(package);
            AddDocument(package, 'a', 1);
            spoil(package);
            (void)package.GetXML();
          },
          message};
}
Refusal Reading(const std::string& name, const std::string& text, const std::string& message) {
  return {name,
          [text] {
            CXMLGprPackage read;
            read.SetXML(text);
            read.Read();
          },
          message};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackageDescriptionRefusal,
    ::testing::Values(
        Writing(
            "SenderCodeZero", [](auto& p) { p.Sender().SetSubjectCode(0); },
            W(u8"Неизвестный тип субъекта: [0]")),
        Writing(
            "ReceiverCodeTwelve", [](auto& p) { p.Receiver().SetSubjectCode(12); },
            W(u8"Неизвестный тип субъекта: [12]")),
        Writing(
            "RoleZero", [](auto& p) { p.Documents().Items(0).Signatures().Items(0).SetRole(0); },
            W(u8"Неизвестная роль: [0]")),
        Writing(
            "ReceiverWithoutIdentifier",
            [](auto& p) {
              p.Receiver().Clear();
              p.Receiver().SetSubjectCode(2);
            },
            W(u8"Попытка записи пустого значения в атрибут [идентификаторСубъекта]")),
        Writing(
            "DocumentWithoutType",
            [](auto& p) {
              CXMLGprDocument& document = p.Documents().Add();
              document.SetDocumentTypeCode("02");
            },
            W(u8"Попытка записи пустого значения в атрибут [типДокумента]")),
        Reading("NoRoot", W(u8"<?xml version=\"1.0\"?>\r\n<Файл/>"),
                W(u8"Элемент [ТрансИнф] не найден")),
        Reading("EmptyText", "", W(u8"Элемент [ТрансИнф] не найден")),
        Reading("OneCharacterTypeCode",
                Description(u8"") + Document(u8" кодТипаДокумента=\"1\" типДокумента=\"д\" "
                                             u8"типСодержимого=\"xml\"",
                                             u8""),
                W(u8"Длина переменной [DocumentTypeCode = \"1\"] должна быть равной [2]")),
        Reading("MissingDocumentType",
                Description(u8"") + Document(u8" кодТипаДокумента=\"01\"", u8""),
                W(u8"Передан пустой аргумент: DocumentType")),
        Reading("LongDocumentType",
                Description(u8"") +
                    Document(u8" типДокумента=\"123456789012345678901234567890123456789"
                             u8"012345678901\"",
                             u8""),
                W(u8"Длина переменной [DocumentType] больше [50]")),
        Reading("MissingContentType",
                Description(u8"") + Document(u8" кодТипаДокумента=\"01\" типДокумента=\"д\"", u8""),
                W(u8"Передан пустой аргумент: ContentType")),
        Reading("ShortDocumentCode",
                Description(u8"") +
                    Document(u8" кодТипаДокумента=\"01\" типДокумента=\"д\" "
                             u8"типСодержимого=\"xml\" идентификаторДокумента=\"12\"",
                             u8""),
                W(u8"Длина переменной [DocumentCode = \"12\"] должна быть равной [32]")),
        Reading("RoleWithCapital",
                Description(u8"") +
                    Document(kGoodAttributes,
                             u8"<подпись имяФайла=\"bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb.bin\" "
                             u8"роль=\"Абонент\"/>"),
                W(u8"Неизвестная роль: {Абонент}")),
        Reading("SignatureFileNameShort",
                Description(u8"") +
                    Document(kGoodAttributes, u8"<подпись имяФайла=\"b.bin\" роль=\"абонент\"/>"),
                W(u8"Длина переменной [FileName = \"b.bin\"] должна быть равной [36]")),
        Reading("UnknownSubjectWord",
                W(u8"<ТрансИнф><отправитель идентификаторСубъекта=\"S\" "
                  u8"типСубъекта=\"банк\"/></ТрансИнф>"),
                W(u8"Неизвестный тип субъекта: [банк]")),
        Reading("SubjectWithoutIdentifier",
                W(u8"<ТрансИнф><отправитель типСубъекта=\"абонент\"/></ТрансИнф>"),
                W(u8"Передан пустой аргумент: SubjectIdentifier")),
        Reading("ReceiverBeforeSender",
                W(u8"<ТрансИнф><получатель идентификаторСубъекта=\"R\" "
                  u8"типСубъекта=\"абонент\"/></ТрансИнф>"),
                W(u8"Не найден ожидаемый узел [отправитель] (вместо найденного "
                  u8"<получатель идентификаторСубъекта=\"R\" типСубъекта=\"абонент\"/>)")),
        Reading("NoReceiver",
                W(u8"<ТрансИнф><отправитель идентификаторСубъекта=\"S\" "
                  u8"типСубъекта=\"абонент\"/></ТрансИнф>"),
                W(u8"Передан пустой аргумент: SubjectIdentifier")),
        Refusal{"EmptyThreadType", [] { CXMLGprPackage().SetThreadType(""); },
                W(u8"Передан пустой аргумент: ThreadType")},
        Refusal{"LongThreadType", [] { CXMLGprPackage().SetThreadType(std::string(51, 'x')); },
                W(u8"Длина переменной [ThreadType] больше [50]")},
        Refusal{"ThreadTypeCodeOfThree", [] { CXMLGprPackage().SetThreadTypeCode("011"); },
                W(u8"Длина переменной [ThreadTypeCode = \"011\"] должна быть равной [2]")},
        Refusal{"LongTransactType", [] { CXMLGprPackage().SetTransactType(std::string(51, 'x')); },
                W(u8"Длина переменной [TransactType] больше [50]")},
        Refusal{"EmptyTransactTypeCode", [] { CXMLGprPackage().SetTransactTypeCode(""); },
                W(u8"Передан пустой аргумент: TransactTypeCode")},
        Refusal{"ThreadCodeOfOne", [] { CXMLGprPackage().SetThreadCode("1"); },
                W(u8"Длина переменной [ThreadCode = \"1\"] должна быть равной [32]")},
        Refusal{"EmptyProgVersion", [] { CXMLGprPackage().SetProgVersion(""); },
                W(u8"ProgVersion: длина строки должна быть от 1 до 40 символов")},
        Refusal{"ProgVersionOf41", [] { CXMLGprPackage().SetProgVersion(std::string(41, 'v')); },
                W(u8"ProgVersion: длина строки должна быть от 1 до 40 символов")},
        Refusal{"EmptySubjectIdentifier",
                [] { CXMLGprPackage().Sender().SetSubjectIdentifier(""); },
                W(u8"Передан пустой аргумент: SubjectIdentifier")},
        Refusal{"EmptyContentType", [] { CXMLGprDocument().SetContentType(""); },
                W(u8"Передан пустой аргумент: ContentType")},
        Refusal{"DocumentFileNameOf35", [] { CXMLGprDocument().SetFileName(std::string(35, 'f')); },
                W(u8"Длина переменной [FileName = \"fffffffffffffffffffffffffffffffffff\"] "
                  u8"должна быть равной [36]")},
        Refusal{"EmptySignatureFileName", [] { CXMLGprSignature().SetFileName(""); },
                W(u8"Передан пустой аргумент: FileName")}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::xml
