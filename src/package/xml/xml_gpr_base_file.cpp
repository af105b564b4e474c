// CXMLGprBaseFile: writing and reading the service-file frame.
#include "package/xml/xml_gpr_base_file.h"

#include "rtl/text.h"
#include "rtl/value_check_tool.h"

namespace lyr::xml {

using rtl::Msg;

void CXMLGprBaseFile::SetFileIdentifier(std::string value) {
  rtl::CValueCheckTool::CheckNotEmpty(value, "FileIdentifier");
  file_identifier_ = std::move(value);
}

void CXMLGprBaseFile::SetProgVersion(std::string value) {
  rtl::CValueCheckTool::CheckNotEmpty(value, "ProgVersion");
  prog_version_ = std::move(value);
}

std::string CXMLGprBaseFile::FormatVersion() const {
  return "5.03";
}

void CXMLGprBaseFile::WriteTo(rtl::CXMLTextWriter& writer) {
  writer.StartDocument();
  writer.StartElement(Msg(u8"Файл"));
  writer.AddAttribute(Msg(u8"ИдФайл"), file_identifier_);
  writer.AddAttribute(Msg(u8"ВерсПрог"), prog_version_);
  writer.AddAttribute(Msg(u8"ВерсФорм"), FormatVersion());
  writer.StartElement(Msg(u8"Документ"));
  writer.AddAttribute(Msg(u8"КНД"), FormKnd());
  WriteDocumentAttributes(writer);
  WriteDocumentChildren(writer);
  writer.EndElement();
  writer.EndElement();
  writer.EndDocument();
}

void CXMLGprBaseFile::ReadFrom(rtl::CXMLTextReader& reader) {
  const std::string file = Msg(u8"Файл");
  reader.FindElement(file);
  file_identifier_ = reader.ReadAttribute(Msg(u8"ИдФайл"));
  prog_version_ = reader.ReadAttribute(Msg(u8"ВерсПрог"));
  reader.ReadStartElement(file);
  ReadDocumentAttributes(reader);
  reader.ReadStartElement(Msg(u8"Документ"));
  ReadDocumentChildren(reader);
  reader.SkipToStartTag();
  reader.SkipToStartTag();
}

void CXMLGprBaseFile::WriteDocumentAttributes(rtl::CXMLTextWriter& /*writer*/) {}

void CXMLGprBaseFile::ReadDocumentAttributes(rtl::CXMLTextReader& /*reader*/) {}

void CXMLGprBaseFile::WriteDocumentChildren(rtl::CXMLTextWriter& /*writer*/) {}

void CXMLGprBaseFile::ReadDocumentChildren(rtl::CXMLTextReader& /*reader*/) {}

}  // namespace lyr::xml
