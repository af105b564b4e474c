// CXMLGprSignature: writing and reading one signature entry.
#include "package/xml/xml_gpr_signature.h"

#include "package/xml/subject_code_words.h"
#include "rtl/errors.h"
#include "rtl/value_check_tool.h"

namespace lyr::xml {

using rtl::Msg;

void CXMLGprSignature::SetFileName(std::string value) {
  rtl::CValueCheckTool::CheckLength(value, "FileName", 36);
  file_name_ = std::move(value);
}

void CXMLGprSignature::WriteTo(rtl::CXMLTextWriter& writer) {
  const std::optional<std::string> word = SubjectCodeToWord(role_);
  if (!word) {
    rtl::RaiseFmt(u8"Неизвестная роль: [%d]", role_);
  }
  writer.StartElement(Msg(u8"подпись"));
  writer.AddAttribute(Msg(u8"имяФайла"), file_name_);
  writer.AddAttribute(Msg(u8"роль"), *word);
  writer.EndElement();
}

void CXMLGprSignature::ReadFrom(rtl::CXMLTextReader& reader) {
  SetFileName(reader.ReadAttribute(Msg(u8"имяФайла")));
  const std::string word = reader.ReadAttribute(Msg(u8"роль"));
  reader.ReadStartElement(Msg(u8"подпись"));
  reader.SkipToStartTag();
  const std::optional<uint8_t> role = SubjectCodeFromWord(word);
  if (!role) {
    rtl::RaiseFmt(u8"Неизвестная роль: {%s}", word);
  }
  role_ = *role;
}

}  // namespace lyr::xml
