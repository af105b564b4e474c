// CXMLGprDeklDescription: the description of a tax declaration being transmitted ("TR_DEKL.xml").
#pragma once

#include <cstdint>
#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <описание> with the text elements имяФормы, КНДФормы, видДокумента (only for a kind
// with a word), год, кодПериода (only when not empty), НОПоМестуУчета, НОПоМестуНахождения.
class CXMLGprDeklDescription final : public rtl::CXMLClass {
 public:
  // Values of DeklKind (the automation enumeration DEKL_KIND_TYPES has the same numbers).
  static constexpr uint8_t kKindNone = 0;
  static constexpr uint8_t kKindPrimary = 1;     // "первичный"
  static constexpr uint8_t kKindCorrection = 2;  // "корректирующий"

  [[nodiscard]] const std::string& FormName() const noexcept { return form_name_; }
  // Not empty ("FormName").
  void SetFormName(std::string value);
  [[nodiscard]] const std::string& FormKnd() const noexcept { return form_knd_; }
  // Exactly 7 characters ("FormKnd").
  void SetFormKnd(std::string value);
  [[nodiscard]] uint8_t DeklKind() const noexcept { return dekl_kind_; }
  void SetDeklKind(uint8_t value) noexcept { dekl_kind_ = value; }
  [[nodiscard]] const std::string& Year() const noexcept { return year_; }
  // Exactly 4 characters ("Year").
  void SetYear(std::string value);
  [[nodiscard]] const std::string& PeriodCode() const noexcept { return period_code_; }
  // 0 to 2 characters ("PeriodCode").
  void SetPeriodCode(std::string value);
  [[nodiscard]] const std::string& SonoAccount() const noexcept { return sono_account_; }
  // Exactly 4 characters ("SonoAccount").
  void SetSonoAccount(std::string value);
  [[nodiscard]] const std::string& SonoSituation() const noexcept { return sono_situation_; }
  // Exactly 4 characters ("SonoSituation").
  void SetSonoSituation(std::string value);

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Values are stored as read, without the setters' checks; an unknown kind word gives 0.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string form_name_;
  std::string form_knd_;
  uint8_t dekl_kind_ = kKindNone;
  std::string year_;
  std::string period_code_;
  std::string sono_account_;
  std::string sono_situation_;
};

}  // namespace lyr::xml
