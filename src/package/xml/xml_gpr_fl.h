// CXMLGprFL: an individual among the parties of a service document.
#pragma once

#include <string>

#include "package/xml/xml_gpr_fio.h"
#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <ФЛ ИННФЛ="..."><ФИО .../></ФЛ>, ИННФЛ only when not empty.
class CXMLGprFL final : public rtl::CXMLClass {
 public:
  // element_name: windows-1251, "ФЛ" in the notice of receipt.
  explicit CXMLGprFL(std::string element_name);

  [[nodiscard]] const std::string& ElementName() const noexcept { return element_name_; }
  [[nodiscard]] CXMLGprFIO& FIO() noexcept { return fio_; }
  [[nodiscard]] const CXMLGprFIO& FIO() const noexcept { return fio_; }
  [[nodiscard]] const std::string& Inn() const noexcept { return inn_; }
  // Empty, or exactly 12 characters ("Inn").
  void SetInn(std::string value);

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // ИННФЛ as it stands, past the start tag, then the full name.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  void WriteAttributes(rtl::CXMLTextWriter& writer);
  void WriteChildren(rtl::CXMLTextWriter& writer);
  void ReadAttributes(rtl::CXMLTextReader& reader);
  void ReadChildren(rtl::CXMLTextReader& reader);

  std::string element_name_;
  CXMLGprFIO fio_;
  std::string inn_;
};

}  // namespace lyr::xml
