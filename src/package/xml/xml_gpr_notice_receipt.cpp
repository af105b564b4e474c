// CXMLGprNoticeReceipt: writing the notice of receipt.
#include "package/xml/xml_gpr_notice_receipt.h"

#include "rtl/text.h"

namespace lyr::xml {

using rtl::Msg;

CXMLGprNoticeReceipt::CXMLGprNoticeReceipt()
    : confirming_(Msg(u8"ПодтвДок")), sender_(Msg(u8"ОтпрДок")), receiver_(Msg(u8"ПолДок")) {}

std::string CXMLGprNoticeReceipt::FormKnd() const {
  return "1166008";
}

void CXMLGprNoticeReceipt::WriteDocumentChildren(rtl::CXMLTextWriter& writer) {
  confirming_.Write(&writer);
  writer.StartElement(Msg(u8"СвИзвещП"));
  writer.AddAttribute(Msg(u8"ДатаПол"), rtl::FormatDateTime("DD.MM.YYYY", receipt_time_));
  writer.AddAttribute(Msg(u8"ВремяПол"), rtl::FormatDateTime("HH.MM.SS", receipt_time_));
  files_.WriteTo(writer);
  writer.EndElement();
  sender_.Write(&writer);
  receiver_.Write(&writer);
}

void CXMLGprNoticeReceipt::ReadDocumentChildren(rtl::CXMLTextReader& reader) {
  const std::string files = Msg(u8"СвИзвещП");
  reader.FindElement(files);
  reader.ReadStartElement(files);
  files_.ReadFrom(reader);
}

}  // namespace lyr::xml
