// CXMLGprUL: writing and reading a legal entity.
#include "package/xml/xml_gpr_ul.h"

#include "rtl/text.h"
#include "rtl/value_check_tool.h"

namespace lyr::xml {

using rtl::CValueCheckTool;
using rtl::Msg;

CXMLGprUL::CXMLGprUL(std::string element_name) : element_name_(std::move(element_name)) {}

void CXMLGprUL::SetName(std::string value) {
  CValueCheckTool::CheckLengthInRange(value, 1, "Name", 1000);
  name_ = std::move(value);
}

void CXMLGprUL::SetInn(std::string value) {
  CValueCheckTool::CheckLength(value, "Inn", 10);
  inn_ = std::move(value);
}

void CXMLGprUL::SetKpp(std::string value) {
  if (!value.empty()) {
    CValueCheckTool::CheckLength(value, "Kpp", 9);
  }
  kpp_ = std::move(value);
}

void CXMLGprUL::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartElement(element_name_);
  WriteAttributes(writer);
  writer.EndElement();
}

void CXMLGprUL::WriteAttributes(rtl::CXMLTextWriter& writer) {
  writer.AddAttribute(Msg(u8"НаимОрг"), name_);
  writer.AddAttribute(Msg(u8"ИННЮЛ"), inn_);
  if (!kpp_.empty()) {
    writer.AddAttribute(Msg(u8"КПП"), kpp_);
  }
}

void CXMLGprUL::ReadFrom(rtl::CXMLTextReader& reader) {
  ReadAttributes(reader);
  reader.ReadStartElement(element_name_);
  reader.SkipToStartTag();
}

void CXMLGprUL::ReadAttributes(rtl::CXMLTextReader& reader) {
  name_ = reader.ReadAttribute(Msg(u8"НаимОрг"));
  inn_ = reader.ReadAttribute(Msg(u8"ИННЮЛ"));
  kpp_ = reader.ReadAttribute(Msg(u8"КПП"));
}

}  // namespace lyr::xml
