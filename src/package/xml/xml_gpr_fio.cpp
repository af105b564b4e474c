// CXMLGprFIO: writing and reading a full name.
#include "package/xml/xml_gpr_fio.h"

#include "package/xml/participant_limits.h"
#include "rtl/text.h"

namespace lyr::xml {

using rtl::Msg;

void CXMLGprFIO::SetLName(std::string value) {
  CheckField(value, limits::kLastName);
  last_name_ = std::move(value);
}

void CXMLGprFIO::SetFName(std::string value) {
  CheckField(value, limits::kFirstName);
  first_name_ = std::move(value);
}

void CXMLGprFIO::SetMName(std::string value) {
  CheckField(value, limits::kMiddleName);
  middle_name_ = std::move(value);
}

void CXMLGprFIO::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartElement(Msg(u8"ФИО"));
  writer.AddAttribute(Msg(u8"Фамилия"), last_name_);
  writer.AddAttribute(Msg(u8"Имя"), first_name_);
  if (!middle_name_.empty()) {
    writer.AddAttribute(Msg(u8"Отчество"), middle_name_);
  }
  writer.EndElement();
}

void CXMLGprFIO::ReadFrom(rtl::CXMLTextReader& reader) {
  last_name_ = reader.ReadAttribute(Msg(u8"Фамилия"));
  first_name_ = reader.ReadAttribute(Msg(u8"Имя"));
  middle_name_ = reader.ReadAttribute(Msg(u8"Отчество"));
  reader.ReadStartElement(Msg(u8"ФИО"));
  reader.SkipToStartTag();
}

}  // namespace lyr::xml
