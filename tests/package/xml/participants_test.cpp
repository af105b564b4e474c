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

TEST(Participants, MembersWriteTheirExactFragments) {
  CXMLGprMemberInfo office(W(u8"ПодтвДок"));
  office.SetMemberType(CXMLGprMemberInfo::kTaxOffice);
  office.SetEmail("ifns@nalog.ru");
  office.NO().SetCode("7701");
  EXPECT_EQ(office.GetXML(),
            W(u8"<ПодтвДок E-mail=\"ifns@nalog.ru\">\r\n\t<КодНО>7701</КодНО>\r\n</ПодтвДок>"));
  CXMLGprMemberInfo entity(W(u8"ОтпрДок"));
  entity.SetMemberType(CXMLGprMemberInfo::kLegalEntity);
  entity.SetEmail("a@b.ru");
  FillLegalEntity(entity.UL(), "770101001");
  EXPECT_EQ(entity.GetXML(),
            W(u8"<ОтпрДок E-mail=\"a@b.ru\">\r\n\t<ЮЛ НаимОрг=\"ООО &quot;Ромашка&quot; &amp; "
              u8"сыновья\" ИННЮЛ=\"7701234567\" КПП=\"770101001\"/>\r\n</ОтпрДок>"));
}

// What is read writes the same text again: every field survived.
template <typename T>
void ExpectReadsBack(T& written, T&& read) {
  read.SetXML(written.GetXML());
  read.Read();
  EXPECT_EQ(read.GetXML(), written.GetXML());
}

TEST(Participants, IndividualLegalEntitySpecialOperatorAndTaxOfficeReadBack) {
  CXMLGprFL person(W(u8"ФЛ"));
  person.SetInn("770123456789");
  person.FIO().SetLName(W(u8"Петрова"));
  person.FIO().SetFName(W(u8"Анна"));
  person.FIO().SetMName(W(u8"Сергеевна"));
  EXPECT_EQ(person.GetXML(), W(u8"<ФЛ ИННФЛ=\"770123456789\">\r\n\t<ФИО Фамилия=\"Петрова\" "
                               u8"Имя=\"Анна\" Отчество=\"Сергеевна\"/>\r\n</ФЛ>"));
  ExpectReadsBack(person, CXMLGprFL(W(u8"ФЛ")));
  CXMLGprUL entity(W(u8"ЮЛ"));
  FillLegalEntity(entity, "770101001");
  ExpectReadsBack(entity, CXMLGprUL(W(u8"ЮЛ")));
  CXMLGprSOS sos;
  sos.SetName(W(u8"Оператор"));
  sos.SetIdentifier("2AA");
  ExpectReadsBack(sos, CXMLGprSOS());
  CXMLGprNO office;
  office.SetCode("7701");
  ExpectReadsBack(office, CXMLGprNO());
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

// Writes a member of type with email ("": none).
void WriteMember(int type, const std::string& email) {
  CXMLGprMemberInfo member(W(u8"ПодтвДок"));
  member.SetMemberType(static_cast<uint8_t>(type));
  if (!email.empty()) {
    member.SetEmail(email);
  }
  (void)member.GetXML();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParticipantSetter,
    ::testing::Values(
        SetterCase{"MemberTypeFive", [] { WriteMember(5, "a@b.ru"); },
                   W(u8"Неизвестный тип участника обмена: [5]")},
        SetterCase{"MemberTypeZero", [] { WriteMember(0, "a@b.ru"); },
                   W(u8"Неизвестный тип участника обмена: [0]")},
        SetterCase{"MemberWithoutEmail", [] { WriteMember(CXMLGprMemberInfo::kTaxOffice, ""); },
                   W(u8"Попытка записи пустого значения в атрибут [E-mail]")},
        SetterCase{"ReadingOtherElement",
                   [] {
                     CXMLGprUL read(W(u8"ЮЛ"));
                     read.SetXML(W(u8"<ФЛ/>"));
                     read.Read();
                   },
                   W(u8"Не найден ожидаемый узел [ЮЛ] (вместо найденного <ФЛ/>)")},
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
