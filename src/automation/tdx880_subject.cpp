// The subject models: their checks, keys, roles and how each fills a participant element.
#include "automation/tdx880_subject.h"

#include "package/xml/participant_limits.h"
#include "package/xml/xml_gpr_member_info.h"
#include "rtl/errors.h"
#include "rtl/str_utils.h"

namespace lyr::automation {
namespace {

using xml::CheckField;
namespace limits = xml::limits;

void CheckInn(const std::string& value, const xml::FieldLimit& limit) {
  CheckField(value, limit);
  if (!rtl::IsValidInn(value)) {
    rtl::RaiseFmt(u8"Неверный ИНН");
  }
}

}  // namespace

void CTdx880Subject::SetIdentifier(std::string value) {
  ValidateIdentifier(value);
  identifier_ = std::move(value);
}

void CTdx880Subject::SetEmail(std::string value) {
  CheckField(value, limits::kEmail);
  email_ = std::move(value);
}

void CTdx880Subject::ValidateIdentifier(std::string_view value) const {
  CheckField(value, limits::kIdentifier);
}

void CTdx880Subject::Fill(xml::CXMLGprMemberInfo& participant) const {
  participant.SetEmail(email_.empty() ? identifier_ : email_);
}

std::string CTdx880Subject::Key() const {
  return identifier_;
}

void CTdx880SubjectUL::SetName(std::string value) {
  CheckField(value, limits::kOrganisationName);
  name_ = std::move(value);
}

void CTdx880SubjectUL::SetInn(std::string value) {
  CheckInn(value, limits::kOrganisationInn);
  inn_ = std::move(value);
}

void CTdx880SubjectUL::SetKpp(std::string value) {
  // Never empty here, unlike in the description's element: a subject stands for its organisation
  // in file names by INN and KPP together.
  CheckField(value, limits::kKpp);
  kpp_ = std::move(value);
}

void CTdx880SubjectUL::Fill(xml::CXMLGprMemberInfo& participant) const {
  CTdx880Subject::Fill(participant);
  participant.SetMemberType(xml::CXMLGprMemberInfo::kLegalEntity);
  participant.UL().SetName(name_);
  participant.UL().SetInn(inn_);
  participant.UL().SetKpp(kpp_);
}

std::string CTdx880SubjectUL::Key() const {
  return inn_ + kpp_;
}

void CTdx880SubjectFL::SetLName(std::string value) {
  CheckField(value, limits::kLastName);
  last_name_ = std::move(value);
}

void CTdx880SubjectFL::SetFName(std::string value) {
  CheckField(value, limits::kFirstName);
  first_name_ = std::move(value);
}

void CTdx880SubjectFL::SetMName(std::string value) {
  CheckField(value, limits::kMiddleName);
  middle_name_ = std::move(value);
}

void CTdx880SubjectFL::SetInn(std::string value) {
  CheckInn(value, limits::kPersonInn);
  inn_ = std::move(value);
}

std::string CTdx880SubjectFL::FIO() const {
  return last_name_ + " " + first_name_ + " " + middle_name_;
}

void CTdx880SubjectFL::SetFIO(std::string_view value) {
  rtl::FullName parts = rtl::SplitFullName(value);
  SetLName(std::move(parts.LastName));
  SetFName(std::move(parts.FirstName));
  SetMName(std::move(parts.MiddleName));
}

void CTdx880SubjectFL::Fill(xml::CXMLGprMemberInfo& participant) const {
  CTdx880Subject::Fill(participant);
  participant.SetMemberType(xml::CXMLGprMemberInfo::kIndividual);
  participant.FL().FIO().SetLName(last_name_);
  participant.FL().FIO().SetFName(first_name_);
  participant.FL().FIO().SetMName(middle_name_);
  participant.FL().SetInn(inn_);
}

void CTdx880SubjectNO::ValidateIdentifier(std::string_view value) const {
  CheckField(value, limits::kTaxOfficeCode);
}

void CTdx880SubjectNO::Fill(xml::CXMLGprMemberInfo& participant) const {
  CTdx880Subject::Fill(participant);
  participant.SetMemberType(xml::CXMLGprMemberInfo::kTaxOffice);
  participant.NO().SetCode(Identifier());
}

void CTdx880SubjectSOS::SetName(std::string value) {
  CheckField(value, limits::kOrganisationName);
  name_ = std::move(value);
}

void CTdx880SubjectSOS::ValidateIdentifier(std::string_view value) const {
  CheckField(value, limits::kSpecialOperatorId);
}

void CTdx880SubjectSOS::Fill(xml::CXMLGprMemberInfo& participant) const {
  CTdx880Subject::Fill(participant);
  participant.SetMemberType(xml::CXMLGprMemberInfo::kSpecialOperator);
  participant.SOS().SetName(Name());
  participant.SOS().SetIdentifier(Identifier());
}

}  // namespace lyr::automation
