// Test fixture for package items: a description of flow 01 and a package configuration whose
// working folder lies in the sandbox, with helpers to make and reload items.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "package/tdx880_document.h"
#include "package/tdx880_item_config.h"
#include "package/tdx880_package_config.h"
#include "package/xml/xml_gpr_document.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "support/expect_raises.h"
#include "support/sandbox.h"

namespace lyr::package::test {

using lyr::test::ExpectRaises;
using lyr::test::MessageOf;

class ItemTest : public lyr::test::Sandbox {
 protected:
  void SetUp() override;

  // The working folder (ending in "/").
  [[nodiscard]] std::string WorkDir() const { return config_.WorkingDirectory(); }
  // A path in the working folder.
  [[nodiscard]] std::string WorkFile(const std::string& name) const { return WorkDir() + name; }

  // Appends a document entry and a new item bound to it (New), type code and content type set.
  std::shared_ptr<CTdx880Document> NewItem(const std::string& doc_type_code = "02",
                                           const std::string& content = "text");
  // A fresh item loaded (Open) from the working folder for the entry at index.
  std::shared_ptr<CTdx880Document> LoadItem(int32_t index);
  // Binds item to the entry at index.
  CTdx880ItemConfig ConfigFor(int32_t index) {
    return CTdx880ItemConfig(&description_.Documents().Items(index), &config_);
  }
  xml::CXMLGprDocument& EntryAt(int32_t index) { return description_.Documents().Items(index); }

  // Runs a Python script with arguments; returns its output; fails the test on a non-zero status.
  std::string Python(const std::string& script, const std::string& arguments);
  // "name=<data>" of each entry of a ZIP file as Python's zipfile reads it (after testzip).
  std::string PythonZipEntries(const std::string& archive);

  xml::CXMLGprPackage description_;
  CTdx880PackageConfig config_;
};

}  // namespace lyr::package::test
