// CXMLGprSignature: one signature file of a document in the package description.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <подпись имяФайла="..." роль="word"/>.
class CXMLGprSignature final : public rtl::CXMLClass {
 public:
  [[nodiscard]] const std::string& FileName() const noexcept { return file_name_; }
  // Exactly 36 characters: fails with the argument-check messages naming "FileName".
  void SetFileName(std::string value);
  // The signer's role as a subject code; 0 is none.
  [[nodiscard]] uint8_t Role() const noexcept { return role_; }
  void SetRole(uint8_t role) noexcept { role_ = role; }

 protected:
  // Fails with "Неизвестная роль: [%d]" for a role without a word.
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // Fails with "Неизвестная роль: {%s}" for an unknown word.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string file_name_;
  uint8_t role_ = 0;
};

}  // namespace lyr::xml
