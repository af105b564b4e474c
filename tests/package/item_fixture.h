// Fixtures of the package tests: a sandbox with the peers and the test PKI's user as the current
// user's key; a description of flow 01 with a working folder in the sandbox for items.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "crypt/tdx880_key.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package/tdx880_item_config.h"
#include "package/tdx880_package_config.h"
#include "package/xml/xml_gpr_document.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/text.h"
#include "support/expect_raises.h"
#include "support/pki.h"

namespace lyr::package::test {

using lyr::test::ExpectRaises;
using lyr::test::MessageOf;
using lyr::test::SharedPki;
using rtl::Msg;

inline constexpr char kDeclaration[] =
    "<?xml version=\"1.0\"?><Файл><Документ КНД=\"1151001\"/></Файл>";
inline constexpr char kDescription[] = "<description/>";

// What is in a folder, recursively, as relative names.
std::set<std::string> Listing(const std::string& folder);

// A declaration package of flow 01, transaction 01 from 7701000001 to 7702: the declaration (the
// main document, type 01, encrypted when the package is) and its description (type 02).
void FillDeclarationPackage(CTdx880Doc& doc);

class PackageTest : public lyr::test::PkiSandbox {
 protected:
  // Runs a Python script with arguments; returns its output; fails the test on another status.
  std::string Python(const std::string& script, const std::string& arguments,
                     int expected_status = 0) const;
  // The entry names of a ZIP file as Python's zipfile lists them after testzip passed, or another
  // Python expression of each entry i.
  std::vector<std::string> EntryNames(const std::string& archive,
                                      const std::string& expression = "i.filename") const;
  // "name=<data>" of each entry of a ZIP file (a path, or its bytes when !is_path) as Python's
  // zipfile reads it after testzip, separated by spaces.
  std::string PythonZipEntries(const std::string& archive, bool is_path = true) const;
  // The bytes of one entry, read by `unzip -p`.
  static std::string Entry(const std::string& archive, const std::string& name);
  // A ZIP archive made by Python in the sandbox: (Python expression of the name, data) entries.
  std::string PythonZip(const std::string& name,
                        const std::vector<std::pair<std::string, std::string>>& entries) const;
  // A copy of archive named name in the sandbox, its entries for whose `name` the Python condition
  // holds replaced by bytes; its path.
  std::string WithEntries(const std::string& archive, const std::string& name,
                          const std::string& condition, const std::string& bytes) const;
  // A declaration package saved into folder; its path.
  std::string SavedPackage(const std::string& folder = "out") const;

  // The test PKI's user as the current user's personal key ("MY" bound to container "user-key"),
  // its root in "ROOT" and the intermediate in "CA".
  void InstallUser() const;
  // The key record of the user as the Crypt object hands it out.
  static crypt::CTdx880Key UserKey(uint8_t role = 1);
  // openssl cms -verify of a detached DER signature over content with the test PKI's chain.
  bool OpenSslVerifiesChain(const std::string& content, const std::string& signature) const;
  // The plain bytes of an envelope opened by openssl cms -decrypt with the user's key.
  std::string OpenSslDecrypt(const std::string& envelope) const;
};

class ItemTest : public PackageTest {
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

  xml::CXMLGprPackage description_;
  CTdx880PackageConfig config_;
};

}  // namespace lyr::package::test
