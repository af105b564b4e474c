// CXMLGprUL: writing and reading a legal entity.
#include "package/xml/xml_gpr_ul.h"

#include "package/xml/participant_limits.h"
#include "rtl/text.h"

namespace lyr::xml {

using rtl::Msg;

CXMLGprUL::CXMLGprUL(std::string element_name) : element_name_(std::move(element_name)) {}

void CXMLGprUL::SetName(std::string value) {
  CheckField(value, limits::kOrganisationName);
  name_ = std::move(value);
}

void CXMLGprUL::SetInn(std::string value) {
  CheckField(value, limits::kOrganisationInn);
  inn_ = std::move(value);
}

void CXMLGprUL::SetKpp(std::string value) {
  // Empty is allowed here, and the element is then written without КПП. The subject objects hosts
  // fill require all nine characters: INN and KPP together are an organisation's key in file names.
  CheckOptionalField(value, limits::kKpp);
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
