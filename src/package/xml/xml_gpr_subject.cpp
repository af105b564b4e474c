// CXMLGprSubject: writing and reading a participant reference.
#include "package/xml/xml_gpr_subject.h"

#include "package/xml/subject_code_words.h"
#include "rtl/errors.h"
#include "rtl/str_utils.h"
#include "rtl/value_check_tool.h"

namespace lyr::xml {

using rtl::Msg;

CXMLGprSubject::CXMLGprSubject(std::string element_name) : element_name_(std::move(element_name)) {}

void CXMLGprSubject::SetSubjectIdentifier(std::string value) {
  rtl::CValueCheckTool::CheckNotEmpty(value, "SubjectIdentifier");
  // Identifiers become parts of file names (the package's, a notice's): a line break or another
  // control character there would break every listing and log that shows one.
  if (rtl::HasControlCharacter(value)) {
    rtl::RaiseFmt(u8"Недопустимый символ в идентификаторе субъекта: [%s]", value);
  }
  identifier_ = std::move(value);
}

void CXMLGprSubject::Clear() noexcept {
  identifier_.clear();
  code_ = 0;
}

void CXMLGprSubject::WriteTo(rtl::CXMLTextWriter& writer) {
  const std::optional<std::string> word = SubjectCodeToWord(code_);
  if (!word) {
    rtl::RaiseFmt(u8"Неизвестный тип субъекта: [%d]", code_);
  }
  writer.StartElement(element_name_);
  writer.AddAttribute(Msg(u8"идентификаторСубъекта"), identifier_);
  writer.AddAttribute(Msg(u8"типСубъекта"), *word);
  writer.EndElement();
}

void CXMLGprSubject::ReadFrom(rtl::CXMLTextReader& reader) {
  SetSubjectIdentifier(reader.ReadAttribute(Msg(u8"идентификаторСубъекта")));
  const std::string word = reader.ReadAttribute(Msg(u8"типСубъекта"));
  reader.ReadStartElement(element_name_);
  reader.SkipToStartTag();
  const std::optional<uint8_t> code = SubjectCodeFromWord(word);
  if (!code) {
    rtl::RaiseFmt(u8"Неизвестный тип субъекта: [%s]", word);
  }
  code_ = *code;
}

}  // namespace lyr::xml
