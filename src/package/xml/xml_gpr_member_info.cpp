// CXMLGprMemberInfo: writing one party.
#include "package/xml/xml_gpr_member_info.h"

#include "rtl/errors.h"
#include "rtl/text.h"

namespace lyr::xml {

using rtl::Msg;

CXMLGprMemberInfo::CXMLGprMemberInfo(std::string element_name)
    : element_name_(std::move(element_name)),
      legal_entity_(Msg(u8"ЮЛ")),
      individual_(Msg(u8"ФЛ")) {}

void CXMLGprMemberInfo::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartElement(element_name_);
  writer.AddAttribute("E-mail", email_);
  switch (member_type_) {
    case kLegalEntity:
      legal_entity_.Write(&writer);
      break;
    case kIndividual:
      individual_.Write(&writer);
      break;
    case kTaxOffice:
      tax_office_.Write(&writer);
      break;
    case kSpecialOperator:
      special_operator_.Write(&writer);
      break;
    default:
      rtl::RaiseFmt(u8"Неизвестный тип участника обмена: [%d]", member_type_);
  }
  writer.EndElement();
}

void CXMLGprMemberInfo::ReadFrom(rtl::CXMLTextReader& /*reader*/) {}

}  // namespace lyr::xml
