// CXMLGprUL: a legal entity among the parties of a service document.
#pragma once

#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <ЮЛ НаимОрг="..." ИННЮЛ="..." КПП="..."/>, КПП only when not empty.
class CXMLGprUL final : public rtl::CXMLClass {
 public:
  // element_name: windows-1251, "ЮЛ" in the notice of receipt.
  explicit CXMLGprUL(std::string element_name);

  [[nodiscard]] const std::string& ElementName() const noexcept { return element_name_; }
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  // 1 to 1000 characters ("Name").
  void SetName(std::string value);
  [[nodiscard]] const std::string& Inn() const noexcept { return inn_; }
  // Exactly 10 characters ("Inn").
  void SetInn(std::string value);
  [[nodiscard]] const std::string& Kpp() const noexcept { return kpp_; }
  // Empty, or exactly 9 characters ("Kpp").
  void SetKpp(std::string value);

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Attributes as they stand (no checks), then past the start tag to the next one.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  void WriteAttributes(rtl::CXMLTextWriter& writer);
  void ReadAttributes(rtl::CXMLTextReader& reader);

  std::string element_name_;
  std::string name_;
  std::string inn_;
  std::string kpp_;
};

}  // namespace lyr::xml
