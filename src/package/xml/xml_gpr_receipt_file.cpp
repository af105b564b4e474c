// CXMLGprReceiptFile and its collection.
#include "package/xml/xml_gpr_receipt_file.h"

#include "rtl/text.h"

namespace lyr::xml {

using rtl::Msg;

void CXMLGprReceiptFile::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartElement(Msg(u8"СведПолФайл"));
  writer.AddAttribute(Msg(u8"ИмяПостФайла"), file_name_);
  const std::string signature = Msg(u8"ЭЦППолФайл");
  for (const std::string& text : signatures_) {
    writer.WriteElement(signature, text);
  }
  writer.EndElement();
}

void CXMLGprReceiptFile::ReadFrom(rtl::CXMLTextReader& reader) {
  file_name_ = reader.ReadAttribute(Msg(u8"ИмяПостФайла"));
  reader.ReadStartElement(Msg(u8"СведПолФайл"));
  const std::string signature = Msg(u8"ЭЦППолФайл");
  signatures_.clear();
  while (reader.GetCurrentElementName() == signature) {
    signatures_.push_back(reader.ReadElementValue(signature));
    reader.SkipToStartTag();
  }
}

std::string CXMLGprReceiptFileCollection::GetItemTag() const {
  return Msg(u8"СведПолФайл");
}

}  // namespace lyr::xml
