// CXMLGprPackage: writing and reading the package description.
#include "package/xml/xml_gpr_package.h"

#include "rtl/identifiers.h"
#include "rtl/text.h"
#include "rtl/value_check_tool.h"

namespace lyr::xml {

using rtl::CValueCheckTool;
using rtl::Msg;

CXMLGprPackage::CXMLGprPackage()
    : sender_(Msg(u8"отправитель")),
      special_operator_(Msg(u8"спецоператор")),
      receiver_(Msg(u8"получатель")) {}

void CXMLGprPackage::SetThreadType(std::string value) {
  CValueCheckTool::CheckMaxLength(value, "ThreadType", 50);
  thread_type_ = std::move(value);
}

void CXMLGprPackage::SetThreadTypeCode(std::string value) {
  CValueCheckTool::CheckLength(value, "ThreadTypeCode", 2);
  thread_type_code_ = std::move(value);
}

void CXMLGprPackage::SetTransactType(std::string value) {
  CValueCheckTool::CheckMaxLength(value, "TransactType", 50);
  transact_type_ = std::move(value);
}

void CXMLGprPackage::SetTransactTypeCode(std::string value) {
  CValueCheckTool::CheckLength(value, "TransactTypeCode", 2);
  transact_type_code_ = std::move(value);
}

void CXMLGprPackage::SetThreadCode(std::string value) {
  CValueCheckTool::CheckLength(value, "ThreadCode", 32);
  thread_code_ = std::move(value);
}

void CXMLGprPackage::SetProgVersion(std::string value) {
  CValueCheckTool::CheckLengthInRange(value, 1, "ProgVersion", 40);
  prog_version_ = std::move(value);
}

void CXMLGprPackage::WriteTo(rtl::CXMLTextWriter& writer) {
  if (thread_code_.empty()) {
    thread_code_ = rtl::NewFileId();
  }
  writer.StartDocument();
  writer.StartElement(Msg(u8"ТрансИнф"));
  writer.AddAttribute(Msg(u8"версияФормата"), Msg(u8"ТДХ:1.0"));
  writer.AddAttribute(Msg(u8"кодТипаДокументооборота"), thread_type_code_);
  writer.AddAttribute(Msg(u8"типДокументооборота"), thread_type_);
  writer.AddAttribute(Msg(u8"кодТипаТранзакции"), transact_type_code_);
  writer.AddAttribute(Msg(u8"типТранзакции"), transact_type_);
  writer.AddAttribute(Msg(u8"идентификаторДокументооборота"), thread_code_);
  writer.AddAttribute(Msg(u8"ВерсПрог"), prog_version_);
  sender_.Write(&writer);
  if (!special_operator_.SubjectIdentifier().empty()) {
    special_operator_.Write(&writer);
  }
  receiver_.Write(&writer);
  documents_.WriteTo(writer);
  writer.EndElement();
  writer.EndDocument();
}

void CXMLGprPackage::ReadFrom(rtl::CXMLTextReader& reader) {
  const std::string root = Msg(u8"ТрансИнф");
  reader.FindElement(root);
  thread_type_ = reader.ReadAttribute(Msg(u8"типДокументооборота"));
  thread_type_code_ = reader.ReadAttribute(Msg(u8"кодТипаДокументооборота"));
  transact_type_ = reader.ReadAttribute(Msg(u8"типТранзакции"));
  transact_type_code_ = reader.ReadAttribute(Msg(u8"кодТипаТранзакции"));
  thread_code_ = reader.ReadAttribute(Msg(u8"идентификаторДокументооборота"));
  prog_version_ = reader.ReadAttribute(Msg(u8"ВерсПрог"));
  reader.ReadStartElement(root);
  sender_.Read(&reader);
  if (reader.GetCurrentElementName() == special_operator_.ElementName()) {
    special_operator_.Read(&reader);
  } else {
    special_operator_.Clear();
  }
  receiver_.Read(&reader);
  documents_.ReadFrom(reader);
}

}  // namespace lyr::xml
