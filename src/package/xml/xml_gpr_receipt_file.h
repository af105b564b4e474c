// CXMLGprReceiptFile: the record of one received file in a notice of receipt, and their
// collection.
#pragma once

#include <string>
#include <vector>

#include "rtl/xml_class.h"
#include "rtl/xml_collection.h"

namespace lyr::xml {

// Written as <СведПолФайл ИмяПостФайла="name"> with one <ЭЦППолФайл>text</ЭЦППолФайл> per
// signature, in list order.
class CXMLGprReceiptFile final : public rtl::CXMLClass {
 public:
  // The received file's name.
  [[nodiscard]] const std::string& FileName() const noexcept { return file_name_; }
  void SetFileName(std::string value) { file_name_ = std::move(value); }
  // The texts of the file's signatures.
  [[nodiscard]] std::vector<std::string>& Signatures() noexcept { return signatures_; }
  [[nodiscard]] const std::vector<std::string>& Signatures() const noexcept { return signatures_; }

 protected:
  void WriteTo(rtl::CXMLTextWriter& writer) override;
  void ReadFrom(rtl::CXMLTextReader& reader) override;

 private:
  std::string file_name_;
  std::vector<std::string> signatures_;
};

// The received files: <СведПолФайл> elements without a wrapper.
// Add appends a new, empty record; Items gives one.
class CXMLGprReceiptFileCollection final
    : public rtl::CTypedCollection<CXMLGprReceiptFile, rtl::CXMLCollection> {
 public:
  [[nodiscard]] std::string GetItemTag() const override;
};

}  // namespace lyr::xml
