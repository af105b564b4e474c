// The subject models: their checks, keys, roles and how each fills a participant element.
#include "automation/tdx880_subject.h"

#include "package/xml/xml_gpr_member_info.h"
#include "rtl/errors.h"
#include "rtl/str_utils.h"
#include "rtl/value_check_tool.h"

namespace lyr::automation {
namespace {

using rtl::CValueCheckTool;

void CheckInn(const std::string& value, int64_t length) {
  CValueCheckTool::CheckLength(value, "Inn", length);
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
  CValueCheckTool::CheckLengthInRange(value, 0, "Email", 255);
  email_ = std::move(value);
}

void CTdx880Subject::ValidateIdentifier(std::string_view value) const {
  CValueCheckTool::CheckLengthInRange(value, 1, "Identifier", 46);
}

void CTdx880Subject::Fill(xml::CXMLGprMemberInfo& participant) const {
  participant.SetEmail(email_.empty() ? identifier_ : email_);
}

std::string CTdx880Subject::Key() const {
  return identifier_;
}

void CTdx880SubjectUL::SetName(std::string value) {
  CValueCheckTool::CheckLengthInRange(value, 1, "Name", 1000);
  name_ = std::move(value);
}

void CTdx880SubjectUL::SetInn(std::string value) {
  CheckInn(value, 10);
  inn_ = std::move(value);
}

void CTdx880SubjectUL::SetKpp(std::string value) {
  CValueCheckTool::CheckLength(value, "Kpp", 9);
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
  CValueCheckTool::CheckLengthInRange(value, 1, "LName", 60);
  last_name_ = std::move(value);
}

void CTdx880SubjectFL::SetFName(std::string value) {
  CValueCheckTool::CheckLengthInRange(value, 1, "FName", 60);
  first_name_ = std::move(value);
}

void CTdx880SubjectFL::SetMName(std::string value) {
  CValueCheckTool::CheckLengthInRange(value, 0, "MName", 60);
  middle_name_ = std::move(value);
}

void CTdx880SubjectFL::SetInn(std::string value) {
  CheckInn(value, 12);
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
  CValueCheckTool::CheckLength(value, "Identifier", 4);
}

void CTdx880SubjectNO::Fill(xml::CXMLGprMemberInfo& participant) const {
  CTdx880Subject::Fill(participant);
  participant.SetMemberType(xml::CXMLGprMemberInfo::kTaxOffice);
  participant.NO().SetCode(Identifier());
}

void CTdx880SubjectSOS::SetName(std::string value) {
  CValueCheckTool::CheckLengthInRange(value, 1, "Name", 1000);
  name_ = std::move(value);
}

void CTdx880SubjectSOS::ValidateIdentifier(std::string_view value) const {
  CValueCheckTool::CheckLength(value, "Identifier", 3);
}

void CTdx880SubjectSOS::Fill(xml::CXMLGprMemberInfo& participant) const {
  CTdx880Subject::Fill(participant);
  participant.SetMemberType(xml::CXMLGprMemberInfo::kSpecialOperator);
  participant.SOS().SetName(Name());
  participant.SOS().SetIdentifier(Identifier());
}

}  // namespace lyr::automation
