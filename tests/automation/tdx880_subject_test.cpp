// The subject models in-process: keys, roles, and how each kind fills a participant element.
#include "automation/tdx880_subject.h"

#include <gtest/gtest.h>

#include "package/xml/xml_gpr_member_info.h"
#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::automation {
namespace {

TEST(SubjectModel, OrganisationKeyIsInnAndKpp) {
  CTdx880SubjectUL ul;
  ul.SetInn("7707083893");
  ul.SetKpp("770701001");
  EXPECT_EQ(ul.Key(), "7707083893770701001");
  EXPECT_EQ(ul.Key().size(), 19u);
  EXPECT_EQ(ul.Role(), 1);
}

TEST(SubjectModel, OrganisationFillsTheLegalEntityPartAndIdentifierAsEmail) {
  CTdx880SubjectUL ul;
  ul.SetIdentifier("2AE-ORG");
  ul.SetName(rtl::Msg(u8"ООО Ромашка"));
  ul.SetInn("7707083893");
  ul.SetKpp("770701001");
  xml::CXMLGprMemberInfo participant(rtl::Msg(u8"ОтпрДок"));
  ul.Fill(participant);
  EXPECT_EQ(participant.MemberType(), xml::CXMLGprMemberInfo::kLegalEntity);
  EXPECT_EQ(participant.Email(), "2AE-ORG");
  EXPECT_EQ(participant.UL().Name(), rtl::Msg(u8"ООО Ромашка"));
  EXPECT_EQ(participant.UL().Inn(), "7707083893");
  EXPECT_EQ(participant.UL().Kpp(), "770701001");
}

TEST(SubjectModel, PersonFillsTheIndividualPartWithItsEmail) {
  CTdx880SubjectFL fl;
  fl.SetIdentifier("person");
  fl.SetEmail("p@example.ru");
  fl.SetFIO(rtl::Msg(u8"Иванов Иван Иванович"));
  fl.SetInn("500100732259");
  xml::CXMLGprMemberInfo participant(rtl::Msg(u8"ПодтвДок"));
  fl.Fill(participant);
  EXPECT_EQ(participant.MemberType(), xml::CXMLGprMemberInfo::kIndividual);
  EXPECT_EQ(participant.Email(), "p@example.ru");
  EXPECT_EQ(participant.FL().FIO().LName(), rtl::Msg(u8"Иванов"));
  EXPECT_EQ(participant.FL().FIO().FName(), rtl::Msg(u8"Иван"));
  EXPECT_EQ(participant.FL().FIO().MName(), rtl::Msg(u8"Иванович"));
  EXPECT_EQ(participant.FL().Inn(), "500100732259");
}

TEST(SubjectModel, TaxAuthorityAndOperatorFillTheirParts) {
  CTdx880SubjectNO no;
  no.SetIdentifier("7701");
  xml::CXMLGprMemberInfo tax_office(rtl::Msg(u8"ПолДок"));
  no.Fill(tax_office);
  EXPECT_EQ(tax_office.MemberType(), xml::CXMLGprMemberInfo::kTaxOffice);
  EXPECT_EQ(tax_office.NO().Code(), "7701");

  CTdx880SubjectSOS sos;
  sos.SetIdentifier("2AE");
  sos.SetName(rtl::Msg(u8"Оператор"));
  xml::CXMLGprMemberInfo operator_part(rtl::Msg(u8"ПолДок"));
  sos.Fill(operator_part);
  EXPECT_EQ(operator_part.MemberType(), xml::CXMLGprMemberInfo::kSpecialOperator);
  EXPECT_EQ(operator_part.SOS().Name(), rtl::Msg(u8"Оператор"));
  EXPECT_EQ(operator_part.SOS().Identifier(), "2AE");
  EXPECT_EQ(operator_part.Email(), "2AE");
}

}  // namespace
}  // namespace lyr::automation
