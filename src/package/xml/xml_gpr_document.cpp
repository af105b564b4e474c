// CXMLGprDocument and the document and signature collections.
#include "package/xml/xml_gpr_document.h"

#include "rtl/errors.h"
#include "rtl/identifiers.h"
#include "rtl/text.h"
#include "rtl/value_check_tool.h"

namespace lyr::xml {

using rtl::CValueCheckTool;
using rtl::Msg;

std::string CXMLGprSignatureCollection::GetItemTag() const {
  return Msg(u8"подпись");
}

std::string CXMLGprDocumentCollection::GetItemTag() const {
  return Msg(u8"документ");
}

void CXMLGprDocument::SetDocumentType(std::string value) {
  CValueCheckTool::CheckMaxLength(value, "DocumentType", 50);
  document_type_ = std::move(value);
}

void CXMLGprDocument::SetDocumentTypeCode(std::string value) {
  CValueCheckTool::CheckLength(value, "DocumentTypeCode", 2);
  type_code_ = std::move(value);
}

void CXMLGprDocument::SetContentType(std::string value) {
  CValueCheckTool::CheckNotEmpty(value, "ContentType");
  content_type_ = std::move(value);
}

void CXMLGprDocument::SetDocumentCode(std::string value) {
  CValueCheckTool::CheckLength(value, "DocumentCode", 32);
  document_code_ = std::move(value);
}

void CXMLGprDocument::SetFileName(std::string value) {
  if (!value.empty()) {
    CValueCheckTool::CheckLength(value, "FileName", 36);
  }
  file_name_ = std::move(value);
}

void CXMLGprDocument::WriteTo(rtl::CXMLTextWriter& writer) {
  if (document_code_.empty()) {
    document_code_ = rtl::NewFileId();
  }
  writer.StartElement(Msg(u8"документ"));
  writer.AddAttribute(Msg(u8"кодТипаДокумента"), type_code_);
  writer.AddAttribute(Msg(u8"типДокумента"), document_type_);
  writer.AddAttribute(Msg(u8"типСодержимого"), content_type_);
  writer.AddAttribute(Msg(u8"сжат"), compressed_);
  writer.AddAttribute(Msg(u8"зашифрован"), encrypted_);
  writer.AddAttribute(Msg(u8"идентификаторДокумента"), document_code_);
  if (!original_name_.empty()) {
    writer.AddAttribute(Msg(u8"исходноеИмяФайла"), original_name_);
  }
  if (!file_name_.empty()) {
    writer.StartElement(Msg(u8"содержимое"));
    writer.AddAttribute(Msg(u8"имяФайла"), file_name_);
    writer.EndElement();
  }
  signatures_.WriteTo(writer);
  writer.EndElement();
}

void CXMLGprDocument::ReadFrom(rtl::CXMLTextReader& reader) {
  SetDocumentType(reader.ReadAttribute(Msg(u8"типДокумента")));
  SetDocumentTypeCode(reader.ReadAttribute(Msg(u8"кодТипаДокумента")));
  SetContentType(reader.ReadAttribute(Msg(u8"типСодержимого")));
  compressed_ = reader.ReadBoolAttribute(Msg(u8"сжат"));
  encrypted_ = reader.ReadBoolAttribute(Msg(u8"зашифрован"));
  SetDocumentCode(reader.ReadAttribute(Msg(u8"идентификаторДокумента")));
  original_name_ = reader.ReadAttribute(Msg(u8"исходноеИмяФайла"));
  reader.ReadStartElement(Msg(u8"документ"));
  const std::string content = Msg(u8"содержимое");
  if (reader.GetCurrentElementName() == content) {
    file_name_ = reader.ReadAttribute(Msg(u8"имяФайла"));
    reader.ReadStartElement(content);
    reader.SkipToStartTag();
  }
  signatures_.ReadFrom(reader);
  reader.SkipToStartTag();
}

void CXMLGprDocumentCollection::RaiseTooManyDocuments() {
  rtl::RaiseFmt(u8"Слишком много документов в описании пакета (больше %d)",
                static_cast<int64_t>(kMaxDocuments));
}

}  // namespace lyr::xml
