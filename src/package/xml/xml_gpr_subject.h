// CXMLGprSubject: a participant reference of the package description (sender, special operator,
// receiver).
#pragma once

#include <cstdint>
#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <element идентификаторСубъекта="..." типСубъекта="word"/>, the element name fixed at
// creation ("отправитель", "спецоператор", "получатель").
class CXMLGprSubject final : public rtl::CXMLClass {
 public:
  // element_name: windows-1251.
  explicit CXMLGprSubject(std::string element_name);

  [[nodiscard]] const std::string& ElementName() const noexcept { return element_name_; }
  [[nodiscard]] const std::string& SubjectIdentifier() const noexcept { return identifier_; }
  // Fails with "Передан пустой аргумент: SubjectIdentifier" for an empty value and with
  // "Недопустимый символ в идентификаторе субъекта: [%s]" for one with a control character.
  void SetSubjectIdentifier(std::string value);
  // As written by the engine's own answer packages: no check.
  void AssignSubjectIdentifier(std::string value) noexcept { identifier_ = std::move(value); }
  // The subject code (participant type); 0 is none.
  [[nodiscard]] uint8_t SubjectCode() const noexcept { return code_; }
  void SetSubjectCode(uint8_t code) noexcept { code_ = code; }
  // Empty identifier, code 0.
  void Clear() noexcept;

 protected:
  // Fails with "Неизвестный тип субъекта: [%d]" for a code without a word.
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Reads the current tag, which must be the element; fails with "Неизвестный тип субъекта:
  // [%s]" for an unknown word.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string element_name_;
  std::string identifier_;
  uint8_t code_ = 0;
};

}  // namespace lyr::xml
