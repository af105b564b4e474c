// CSubjectParty: a subject model as a participant of a notice of receipt, for the Manager and the
// command-line tool alike.
#pragma once

#include <string>
#include <utility>

#include "automation/tdx880_subject.h"
#include "package/tdx880_answers.h"

namespace lyr::automation {

// Refers to subject (not owned; it outlives the party). SetIdentifier goes through the subject's
// checks.
class CSubjectParty final : public package::CNoticeParty {
 public:
  explicit CSubjectParty(CTdx880Subject& subject) : subject_(subject) {}
  [[nodiscard]] const std::string& Identifier() const override { return subject_.Identifier(); }
  void SetIdentifier(std::string value) override { subject_.SetIdentifier(std::move(value)); }
  [[nodiscard]] std::string Key() const override { return subject_.Key(); }
  [[nodiscard]] uint8_t Role() const override { return subject_.Role(); }
  void Fill(xml::CXMLGprMemberInfo& participant) const override { subject_.Fill(participant); }

 private:
  CTdx880Subject& subject_;
};

}  // namespace lyr::automation
