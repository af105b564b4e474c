// Tests of the participant classes: exact fragments, optional attributes, setters, reading.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "package/xml/xml_gpr_fio.h"
#include "package/xml/xml_gpr_fl.h"
#include "package/xml/xml_gpr_member_info.h"
#include "package/xml/xml_gpr_no.h"
#include "package/xml/xml_gpr_sos.h"
#include "package/xml/xml_gpr_ul.h"
#include "test_support.h"

namespace lyr::xml {
namespace {

using test::ExpectRaises;
using test::W;

void FillLegalEntity(CXMLGprUL& entity, const std::string& kpp) {
  entity.SetName(W(u8"ООО \"Ромашка\" & сыновья"));
  entity.SetInn("7701234567");
  entity.SetKpp(kpp);
}

TEST(Participants, TaxOfficeMemberWritesEmailAndCodeAsText) {
  CXMLGprMemberInfo member(W(u8"ПодтвДок"));
  member.SetMemberType(CXMLGprMemberInfo::kTaxOffice);
  member.SetEmail("ifns@nalog.ru");
  member.NO().SetCode("7701");
  EXPECT_EQ(member.GetXML(),
            W(u8"<ПодтвДок E-mail=\"ifns@nalog.ru\">\r\n\t<КодНО>7701</КодНО>\r\n</ПодтвДок>"));
}

TEST(Participants, LegalEntityMemberWithKpp) {
  CXMLGprMemberInfo member(W(u8"ОтпрДок"));
  member.SetMemberType(CXMLGprMemberInfo::kLegalEntity);
  member.SetEmail("a@b.ru");
  FillLegalEntity(member.UL(), "770101001");
  EXPECT_EQ(member.GetXML(),
            W(u8"<ОтпрДок E-mail=\"a@b.ru\">\r\n\t<ЮЛ НаимОрг=\"ООО &quot;Ромашка&quot; &amp; "
              u8"сыновья\" ИННЮЛ=\"7701234567\" КПП=\"770101001\"/>\r\n</ОтпрДок>"));
}

// What is read writes the same text again: every field survived.
template <typename T>
void ExpectReadsBack(T& written, T& read) {
  read.SetXML(written.GetXML());
  read.Read();
  EXPECT_EQ(read.GetXML(), written.GetXML());
}

TEST(Participants, IndividualWithInnAndPatronymicReadsBack) {
  CXMLGprFL person(W(u8"ФЛ"));
  person.SetInn("770123456789");
  person.FIO().SetLName(W(u8"Петрова"));
  person.FIO().SetFName(W(u8"Анна"));
  person.FIO().SetMName(W(u8"Сергеевна"));
  EXPECT_EQ(person.GetXML(), W(u8"<ФЛ ИННФЛ=\"770123456789\">\r\n\t<ФИО Фамилия=\"Петрова\" "
                               u8"Имя=\"Анна\" Отчество=\"Сергеевна\"/>\r\n</ФЛ>"));
  CXMLGprFL read(W(u8"ФЛ"));
  ExpectReadsBack(person, read);
  EXPECT_EQ(read.FIO().MName(), W(u8"Сергеевна"));
}

TEST(Participants, LegalEntitySpecialOperatorAndTaxOfficeReadBack) {
  CXMLGprUL entity(W(u8"ЮЛ"));
  FillLegalEntity(entity, "770101001");
  CXMLGprUL read(W(u8"ЮЛ"));
  ExpectReadsBack(entity, read);
  EXPECT_EQ(read.Kpp(), "770101001");
  CXMLGprSOS sos;
  sos.SetName(W(u8"Оператор"));
  sos.SetIdentifier("2AA");
  CXMLGprSOS read_sos;
  ExpectReadsBack(sos, read_sos);
  EXPECT_EQ(read_sos.Identifier(), "2AA");
  CXMLGprNO office;
  office.SetCode("7701");
  CXMLGprNO read_office;
  ExpectReadsBack(office, read_office);
  EXPECT_EQ(read_office.Code(), "7701");
}

TEST(Participants, UnknownMemberTypeFailsOnWriting) {
  CXMLGprMemberInfo member(W(u8"ПодтвДок"));
  member.SetEmail("a@b.ru");
  member.SetMemberType(5);
  ExpectRaises([&] { (void)member.GetXML(); }, W(u8"Неизвестный тип участника обмена: [5]"));
  member.SetMemberType(0);
  ExpectRaises([&] { (void)member.GetXML(); }, W(u8"Неизвестный тип участника обмена: [0]"));
}

TEST(Participants, MemberWithoutEmailFailsOnWriting) {
  CXMLGprMemberInfo member(W(u8"ПодтвДок"));
  member.SetMemberType(CXMLGprMemberInfo::kTaxOffice);
  ExpectRaises([&] { (void)member.GetXML(); },
               W(u8"Попытка записи пустого значения в атрибут [E-mail]"));
}

TEST(Participants, ReadingOtherElementFails) {
  CXMLGprUL read(W(u8"ЮЛ"));
  read.SetXML(W(u8"<ФЛ/>"));
  ExpectRaises([&] { read.Read(); },
               W(u8"Не найден ожидаемый узел [ЮЛ] (вместо найденного <ФЛ/>)"));
}

struct SetterCase {
  std::string name;
  std::function<void()> set;
  std::string message;
};

class ParticipantSetter : public ::testing::TestWithParam<SetterCase> {};

TEST_P(ParticipantSetter, Refuses) {
  ExpectRaises(GetParam().set, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParticipantSetter,
    ::testing::Values(
        SetterCase{"LegalEntityInnOfTwelve", [] { CXMLGprUL(W(u8"ЮЛ")).SetInn("770123456789"); },
                   W(u8"Длина переменной [Inn = \"770123456789\"] должна быть равной [10]")},
        SetterCase{"LegalEntityEmptyName", [] { CXMLGprUL(W(u8"ЮЛ")).SetName(""); },
                   W(u8"Name: длина строки должна быть от 1 до 1000 символов")},
        SetterCase{"LegalEntityLongName",
                   [] { CXMLGprUL(W(u8"ЮЛ")).SetName(std::string(1001, 'x')); },
                   W(u8"Name: длина строки должна быть от 1 до 1000 символов")},
        SetterCase{"KppOfEight", [] { CXMLGprUL(W(u8"ЮЛ")).SetKpp("77010100"); },
                   W(u8"Длина переменной [Kpp = \"77010100\"] должна быть равной [9]")},
        SetterCase{"IndividualInnOfTen", [] { CXMLGprFL(W(u8"ФЛ")).SetInn("7701234567"); },
                   W(u8"Длина переменной [Inn = \"7701234567\"] должна быть равной [12]")},
        SetterCase{"EmptySurname", [] { CXMLGprFIO().SetLName(""); },
                   W(u8"LName: длина строки должна быть от 1 до 60 символов")},
        SetterCase{"LongFirstName", [] { CXMLGprFIO().SetFName(std::string(61, 'x')); },
                   W(u8"FName: длина строки должна быть от 1 до 60 символов")},
        SetterCase{"LongPatronymic", [] { CXMLGprFIO().SetMName(std::string(61, 'x')); },
                   W(u8"MName: длина строки должна быть от 0 до 60 символов")}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace lyr::xml
