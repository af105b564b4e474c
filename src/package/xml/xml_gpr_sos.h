// CXMLGprSOS: a special communications operator among the parties of a service document.
#pragma once

#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <СпецОперат НаимОрг="..." ИденСОС="..."/>.
class CXMLGprSOS final : public rtl::CXMLClass {
 public:
  // The organisation's name.
  [[nodiscard]] const std::string& Name() const noexcept { return name_; }
  void SetName(std::string value) { name_ = std::move(value); }
  // The special operator's identifier.
  [[nodiscard]] const std::string& Identifier() const noexcept { return identifier_; }
  void SetIdentifier(std::string value) { identifier_ = std::move(value); }

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Attributes as they stand, then past the start tag to the next one.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string name_;
  std::string identifier_;
};

}  // namespace lyr::xml
