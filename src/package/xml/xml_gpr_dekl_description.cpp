// CXMLGprDeklDescription: writing and reading the declaration description.
#include "package/xml/xml_gpr_dekl_description.h"

#include "rtl/text.h"
#include "rtl/value_check_tool.h"

namespace lyr::xml {
namespace {

using rtl::CValueCheckTool;
using rtl::Msg;

std::string KindWord(uint8_t kind) {
  switch (kind) {
    case CXMLGprDeklDescription::kKindPrimary:
      return Msg(u8"первичный");
    case CXMLGprDeklDescription::kKindCorrection:
      return Msg(u8"корректирующий");
    default:
      return {};
  }
}

uint8_t KindOfWord(const std::string& word) {
  if (word == Msg(u8"первичный")) {
    return CXMLGprDeklDescription::kKindPrimary;
  }
  if (word == Msg(u8"корректирующий")) {
    return CXMLGprDeklDescription::kKindCorrection;
  }
  return CXMLGprDeklDescription::kKindNone;
}

}  // namespace

void CXMLGprDeklDescription::SetFormName(std::string value) {
  CValueCheckTool::CheckNotEmpty(value, "FormName");
  form_name_ = std::move(value);
}

void CXMLGprDeklDescription::SetFormKnd(std::string value) {
  CValueCheckTool::CheckLength(value, "FormKnd", 7);
  form_knd_ = std::move(value);
}

void CXMLGprDeklDescription::SetYear(std::string value) {
  CValueCheckTool::CheckLength(value, "Year", 4);
  year_ = std::move(value);
}

void CXMLGprDeklDescription::SetPeriodCode(std::string value) {
  CValueCheckTool::CheckLengthInRange(value, 0, "PeriodCode", 2);
  period_code_ = std::move(value);
}

void CXMLGprDeklDescription::SetSonoAccount(std::string value) {
  CValueCheckTool::CheckLength(value, "SonoAccount", 4);
  sono_account_ = std::move(value);
}

void CXMLGprDeklDescription::SetSonoSituation(std::string value) {
  CValueCheckTool::CheckLength(value, "SonoSituation", 4);
  sono_situation_ = std::move(value);
}

void CXMLGprDeklDescription::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartDocument();
  writer.StartElement(Msg(u8"описание"));
  writer.WriteElement(Msg(u8"имяФормы"), form_name_);
  writer.WriteElement(Msg(u8"КНДФормы"), form_knd_);
  const std::string kind = KindWord(dekl_kind_);
  if (!kind.empty()) {
    writer.WriteElement(Msg(u8"видДокумента"), kind);
  }
  writer.WriteElement(Msg(u8"год"), year_);
  if (!period_code_.empty()) {
    writer.WriteElement(Msg(u8"кодПериода"), period_code_);
  }
  writer.WriteElement(Msg(u8"НОПоМестуУчета"), sono_account_);
  writer.WriteElement(Msg(u8"НОПоМестуНахождения"), sono_situation_);
  writer.EndElement();
  writer.EndDocument();
}

void CXMLGprDeklDescription::ReadFrom(rtl::CXMLTextReader& reader) {
  reader.ReadStartElement(Msg(u8"описание"));
  form_name_ = reader.ReadElementValue(Msg(u8"имяФормы"));
  form_knd_ = reader.ReadElementValue(Msg(u8"КНДФормы"));
  const std::string kind_element = Msg(u8"видДокумента");
  const std::string kind =
      reader.GetCurrentElementName() == kind_element ? reader.ReadElementValue(kind_element) : "";
  dekl_kind_ = KindOfWord(kind);
  year_ = reader.ReadElementValue(Msg(u8"год"));
  const std::string period_element = Msg(u8"кодПериода");
  period_code_ = reader.GetCurrentElementName() == period_element
                     ? reader.ReadElementValue(period_element)
                     : "";
  sono_account_ = reader.ReadElementValue(Msg(u8"НОПоМестуУчета"));
  sono_situation_ = reader.ReadElementValue(Msg(u8"НОПоМестуНахождения"));
  reader.SkipToStartTag();
}

}  // namespace lyr::xml
