// CXMLGprSOS: writing and reading a special operator.
#include "package/xml/xml_gpr_sos.h"

#include "rtl/text.h"

namespace lyr::xml {

using rtl::Msg;

void CXMLGprSOS::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartElement(Msg(u8"СпецОперат"));
  writer.AddAttribute(Msg(u8"НаимОрг"), name_);
  writer.AddAttribute(Msg(u8"ИденСОС"), identifier_);
  writer.EndElement();
}

void CXMLGprSOS::ReadFrom(rtl::CXMLTextReader& reader) {
  name_ = reader.ReadAttribute(Msg(u8"НаимОрг"));
  identifier_ = reader.ReadAttribute(Msg(u8"ИденСОС"));
  reader.ReadStartElement(Msg(u8"СпецОперат"));
  reader.SkipToStartTag();
}

}  // namespace lyr::xml
