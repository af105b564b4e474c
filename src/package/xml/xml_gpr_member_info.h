// CXMLGprMemberInfo: one party of an exchange in a service document.
#pragma once

#include <cstdint>
#include <string>

#include "package/xml/xml_gpr_fl.h"
#include "package/xml/xml_gpr_no.h"
#include "package/xml/xml_gpr_sos.h"
#include "package/xml/xml_gpr_ul.h"
#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <element E-mail="..."> holding the one party that the member type selects. All four
// parties exist in every member. Members are only written; reading reads nothing.
class CXMLGprMemberInfo final : public rtl::CXMLClass {
 public:
  static constexpr uint8_t kLegalEntity = 1;
  static constexpr uint8_t kIndividual = 2;
  static constexpr uint8_t kTaxOffice = 3;
  static constexpr uint8_t kSpecialOperator = 4;

  // element_name: windows-1251 ("ПодтвДок", "ОтпрДок", "ПолДок").
  explicit CXMLGprMemberInfo(std::string element_name);

  [[nodiscard]] const std::string& ElementName() const noexcept { return element_name_; }
  // 1 legal entity, 2 individual, 3 tax office, 4 special operator.
  [[nodiscard]] uint8_t MemberType() const noexcept { return member_type_; }
  void SetMemberType(uint8_t value) noexcept { member_type_ = value; }
  [[nodiscard]] CXMLGprUL& UL() noexcept { return legal_entity_; }
  [[nodiscard]] CXMLGprFL& FL() noexcept { return individual_; }
  [[nodiscard]] CXMLGprNO& NO() noexcept { return tax_office_; }
  [[nodiscard]] CXMLGprSOS& SOS() noexcept { return special_operator_; }
  // The e-mail address (or the subject's identifier when it has none).
  [[nodiscard]] const std::string& Email() const noexcept { return email_; }
  void SetEmail(std::string value) { email_ = std::move(value); }

 protected:
  // Fails with "Неизвестный тип участника обмена: [%d]" for a member type outside 1..4.
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string element_name_;
  uint8_t member_type_ = 0;
  CXMLGprUL legal_entity_;
  CXMLGprFL individual_;
  CXMLGprNO tax_office_;
  CXMLGprSOS special_operator_;
  std::string email_;
};

}  // namespace lyr::xml
