// CXMLGprBaseFile: the common frame of service files, <Файл> holding one <Документ>.
#pragma once

#include <string>

#include "rtl/xml_class.h"

namespace lyr::xml {

// Written as <Файл ИдФайл="..." ВерсПрог="..." ВерсФорм="5.03"><Документ КНД="..." ...>children
// </Документ></Файл>. A concrete file supplies its form code, its attributes of Документ and its
// children.
class CXMLGprBaseFile : public rtl::CXMLClass {
 public:
  [[nodiscard]] const std::string& FileIdentifier() const noexcept { return file_identifier_; }
  // Not empty ("FileIdentifier").
  void SetFileIdentifier(std::string value);
  [[nodiscard]] const std::string& ProgVersion() const noexcept { return prog_version_; }
  // Not empty ("ProgVersion").
  void SetProgVersion(std::string value);

  // The format version written as ВерсФорм: "5.03".
  [[nodiscard]] virtual std::string FormatVersion() const;
  // The form code written as КНД.
  [[nodiscard]] virtual std::string FormKnd() const = 0;

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  // ИдФайл and ВерсПрог as they stand; ВерсФорм and КНД are not read.
  void ReadFrom(rtl::CXMLTextReader& reader) override;

  virtual void WriteDocumentAttributes(rtl::CXMLTextWriter& writer);
  virtual void ReadDocumentAttributes(rtl::CXMLTextReader& reader);
  virtual void WriteDocumentChildren(rtl::CXMLTextWriter& writer);
  virtual void ReadDocumentChildren(rtl::CXMLTextReader& reader);

 private:
  std::string file_identifier_;
  std::string prog_version_;
};

}  // namespace lyr::xml
