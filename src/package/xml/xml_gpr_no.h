// CXMLGprNO: a tax office among the parties of a service document.
#pragma once

#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <КодНО>code</КодНО>.
class CXMLGprNO final : public rtl::CXMLClass {
 public:
  // The tax office code.
  [[nodiscard]] const std::string& Code() const noexcept { return code_; }
  void SetCode(std::string value) { code_ = std::move(value); }

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string code_;
};

}  // namespace lyr::xml
