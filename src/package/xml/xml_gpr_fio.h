// CXMLGprFIO: the full name of an individual.
#pragma once

#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <ФИО Фамилия="..." Имя="..." Отчество="..."/>, Отчество only when not empty.
class CXMLGprFIO final : public rtl::CXMLClass {
 public:
  [[nodiscard]] const std::string& LName() const noexcept { return last_name_; }
  // Surname, 1 to 60 characters ("LName").
  void SetLName(std::string value);
  [[nodiscard]] const std::string& FName() const noexcept { return first_name_; }
  // First name, 1 to 60 characters ("FName").
  void SetFName(std::string value);
  [[nodiscard]] const std::string& MName() const noexcept { return middle_name_; }
  // Patronymic, 0 to 60 characters ("MName").
  void SetMName(std::string value);

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Attributes as they stand (no checks), then past the start tag to the next one.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string last_name_;
  std::string first_name_;
  std::string middle_name_;
};

}  // namespace lyr::xml
