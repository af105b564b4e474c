// CXMLGprFL: writing and reading an individual.
#include "package/xml/xml_gpr_fl.h"

#include "package/xml/participant_limits.h"
#include "rtl/text.h"

namespace lyr::xml {

using rtl::Msg;

CXMLGprFL::CXMLGprFL(std::string element_name) : element_name_(std::move(element_name)) {}

void CXMLGprFL::SetInn(std::string value) {
  CheckOptionalField(value, limits::kPersonInn);
  inn_ = std::move(value);
}

void CXMLGprFL::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartElement(element_name_);
  WriteAttributes(writer);
  WriteChildren(writer);
  writer.EndElement();
}

void CXMLGprFL::WriteAttributes(rtl::CXMLTextWriter& writer) {
  if (!inn_.empty()) {
    writer.AddAttribute(Msg(u8"ИННФЛ"), inn_);
  }
}

void CXMLGprFL::WriteChildren(rtl::CXMLTextWriter& writer) {
  fio_.Write(&writer);
}

void CXMLGprFL::ReadFrom(rtl::CXMLTextReader& reader) {
  ReadAttributes(reader);
  reader.ReadStartElement(element_name_);
  ReadChildren(reader);
  reader.SkipToStartTag();
}

void CXMLGprFL::ReadAttributes(rtl::CXMLTextReader& reader) {
  inn_ = reader.ReadAttribute(Msg(u8"ИННФЛ"));
}

void CXMLGprFL::ReadChildren(rtl::CXMLTextReader& reader) {
  fio_.Read(&reader);
}

}  // namespace lyr::xml
