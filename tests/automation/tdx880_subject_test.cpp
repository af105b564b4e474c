// The subject models in-process: keys, roles, and how each kind fills a participant element.
#include "automation/tdx880_subject.h"

#include <gtest/gtest.h>

#include "package/xml/xml_gpr_member_info.h"
#include "rtl/text.h"

namespace lyr::automation {
namespace {

using rtl::Msg;
using Participant = xml::CXMLGprMemberInfo;

TEST(SubjectModel, EachKindFillsItsPartOfTheParticipant) {
  CTdx880SubjectUL ul;
  ul.SetIdentifier("2AE-ORG");
  ul.SetName(Msg(u8"ООО Ромашка"));
  ul.SetInn("7707083893");
  ul.SetKpp("770701001");
  EXPECT_EQ(ul.Key(), "7707083893770701001");
  EXPECT_EQ(ul.Role(), 1);
  Participant organisation(Msg(u8"ОтпрДок"));
  ul.Fill(organisation);
  EXPECT_EQ(organisation.MemberType(), Participant::kLegalEntity);
  EXPECT_EQ(organisation.Email(), "2AE-ORG");  // the identifier stands for the address
  EXPECT_EQ(organisation.UL().Name() + organisation.UL().Inn() + organisation.UL().Kpp(),
            Msg(u8"ООО Ромашка") + "7707083893770701001");

  CTdx880SubjectFL fl;
  fl.SetIdentifier("person");
  fl.SetEmail("p@example.ru");
  fl.SetFIO(Msg(u8"Иванов Иван Иванович"));
  fl.SetInn("500100732259");
  Participant person(Msg(u8"ПодтвДок"));
  fl.Fill(person);
  EXPECT_EQ(person.MemberType(), Participant::kIndividual);
  EXPECT_EQ(person.Email(), "p@example.ru");
  EXPECT_EQ(person.FL().FIO().LName() + "|" + person.FL().FIO().FName() + "|" +
                person.FL().FIO().MName() + "|" + person.FL().Inn(),
            Msg(u8"Иванов|Иван|Иванович|500100732259"));

  CTdx880SubjectNO no;
  no.SetIdentifier("7701");
  Participant tax_office(Msg(u8"ПолДок"));
  no.Fill(tax_office);
  EXPECT_EQ(tax_office.MemberType(), Participant::kTaxOffice);
  EXPECT_EQ(tax_office.NO().Code(), "7701");

  CTdx880SubjectSOS sos;
  sos.SetIdentifier("2AE");
  sos.SetName(Msg(u8"Оператор"));
  Participant operator_part(Msg(u8"ПолДок"));
  sos.Fill(operator_part);
  EXPECT_EQ(operator_part.MemberType(), Participant::kSpecialOperator);
  EXPECT_EQ(operator_part.SOS().Name(), Msg(u8"Оператор"));
  EXPECT_EQ(operator_part.SOS().Identifier() + operator_part.Email(), "2AE2AE");
}

}  // namespace
}  // namespace lyr::automation
