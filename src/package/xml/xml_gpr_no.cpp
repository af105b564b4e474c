// CXMLGprNO: writing and reading a tax office code.
#include "package/xml/xml_gpr_no.h"

#include "rtl/text.h"

namespace lyr::xml {

void CXMLGprNO::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.WriteElement(rtl::Msg(u8"КодНО"), code_);
}

void CXMLGprNO::ReadFrom(rtl::CXMLTextReader& reader) {
  code_ = reader.ReadElementValue(rtl::Msg(u8"КодНО"));
}

}  // namespace lyr::xml
