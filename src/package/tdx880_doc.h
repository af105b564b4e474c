// CTdx880Doc: the transport package container (a ZIP archive of documents, their signatures and
// the description "packageDescription.xml") with its working folder and items.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "package/package_file.h"
#include "package/subject_codes.h"
#include "package/tdx880_package_config.h"
#include "rtl/custom_doc.h"
#include "rtl/folder_lock.h"

namespace lyr::xml {
class CXMLGprPackage;
}  // namespace lyr::xml

namespace lyr::rtl {
class CXMLClass;
}  // namespace lyr::rtl

namespace lyr::crypt {
class CTdx880Key;
}  // namespace lyr::crypt

namespace lyr::package {

class CTdx880Document;
class CTdx880Signature;

// One open package at a time. An open package has a private working folder (a new identifier
// under TmpDir, mode 0700) for the package's files that do not pass through memory; Close, a
// failed Open and destruction delete it. The folder is made on first use: when Open meets more
// entries than it keeps in memory, or when WorkingDirectory is asked for; Open and New check that
// TmpDir can take it (the OS error otherwise). The folder is locked for its life
// (rtl::FolderLock: an flock on "<folder>.lock" beside it), and before making one the container
// sweeps TmpDir of working folders whose lock no live process holds (rtl::SweepStaleFolders), so
// the plain files of a process that was killed do not stay behind.
//
// Every public operation is guarded (CBaseClass): an error raised inside goes to the error
// handler, which by default raises it again; with the handler cleared the operation returns
// false, 0, an empty text or no object. Operations on items and participants need an open package
// and otherwise fail with "Документ не открыт".
//
// Items (CTdx880Document) are shared: the container holds one std::shared_ptr per document, and a
// holder that keeps one (an automation file object) keeps a valid object after DeleteFile, Close
// or the container's destruction; the container closes such an item first, so it no longer
// refers to the description or the working folder.
//
// Paths are library text (windows-1251). Not thread-safe: one container is used from one thread
// at a time; distinct containers may work in parallel, also on one target folder.
class CTdx880Doc final : public rtl::CCustomDoc {
 public:
  // The description file's name inside a package.
  static constexpr std::string_view kDescriptionFileName = "packageDescription.xml";
  // The program version written into every saved description.
  static constexpr std::string_view kProgVersion = "Lyr.Tdx.Package880";

  // A closed container; TmpDir is the temporary folder (TMP, else TMPDIR, else "/tmp").
  CTdx880Doc();
  // Closes the container (the working folder is deleted).
  ~CTdx880Doc() override;

  // --- Lifecycle ---

  using rtl::CCustomDoc::Open;
  // Closes the container, then reads the package file file_name (a relative name is taken
  // from the current folder, so "" names the current folder). Fails with "Файл с пакетом [%s]
  // не существует!" (the full path) when there is no file, "Неверный формат пакета: не найден
  // главный файл [packageDescription.xml]" when the archive has no description, with the archive
  // adaptor's errors for a damaged or hostile archive, the reader's errors for a bad description,
  // the code tables' message for a document whose codes are not allowed together, and the items'
  // errors for a missing content or signature file. On success FileName is the full path and the
  // container is in the loaded state; after a failure it is closed and its working folder is gone.
  bool Open(const std::string& file_name);
  // Deletes the working folder, frees the description and releases the items (an item that a
  // holder keeps stays a valid, closed object). Returns true; closing a closed container does
  // nothing.
  bool Close() override;
  [[nodiscard]] bool IsDocumentOpened() const override { return is_opened_; }
  // An empty package: a new description and no items; an open container keeps its working folder.
  // FileName is kept. The source is ignored.
  bool New(rtl::CBaseClass* source) override;
  bool New() { return New(nullptr); }
  // New, then the flow and transaction codes: their names and the sender's and receiver's types
  // come from the code tables ("Неизвестный код транзацкии [%s] в документообороте [%s][%s]" for
  // an unknown pair; the package stays new and empty then).
  bool New(std::string_view thread_type_code, std::string_view transact_type_code);
  // Writes the package to directory: the file name is the name part of FileName, or, without
  // one, the generated name "TDX_<sender>_<receiver>_<new identifier>_<flow>_<transaction>_<main
  // document type>.zip" ("В пакете не найден главный документ" without a main item). The archive is
  // built completely beside the target and moved over it in one step, so a failed save leaves an
  // existing file as it was. A target that cannot be replaced (a folder, or a file in a folder we
  // may not write) fails with "Файл уже существует: продолжение невозможно [%s]". FileName becomes
  // the target's full path.
  bool Save(const std::string& directory);
  // SaveAs(FileName): writes the package back to the file it came from or was last saved to.
  bool Save() override;
  // Writes the package to the file file_name ("Передан пустой аргумент: Имя файла" when empty;
  // relative names are taken from the current folder), as Save does. FileName becomes the full
  // path.
  bool SaveAs(const std::string& file_name) override;

  // --- State ---

  // A description file was read from an archive by Open.
  [[nodiscard]] bool IsLoaded() const noexcept { return is_loaded_; }
  // The description was read (Open) or made empty (New).
  [[nodiscard]] bool IsReaded() const noexcept { return is_readed_; }
  [[nodiscard]] bool IsOpened() const noexcept { return is_opened_; }
  // Full path of the working folder, ending in "/", made now when the open package has none yet;
  // "" while no package is open.
  [[nodiscard]] const std::string& WorkingDirectory() const;
  // The description while the package is open, else null. Owned by the container.
  [[nodiscard]] xml::CXMLGprPackage* Description() const noexcept { return description_.get(); }
  // The settings handed to every item (description, working folder, FlagUsageUserStorage).
  [[nodiscard]] CTdx880PackageConfig& Config() noexcept { return config_; }

  // Full path of the package last opened or saved, or the value last assigned (not checked).
  [[nodiscard]] const std::string& FileName() const noexcept { return file_name_; }
  void SetFileName(std::string value) { file_name_ = std::move(value); }
  // The description file exactly as Open read it; "" after New and Close.
  [[nodiscard]] const std::string& PackageDescriptionContent() const noexcept {
    return package_description_content_;
  }
  // Base folder of working folders (not checked).
  [[nodiscard]] const std::string& TmpDir() const noexcept { return tmp_dir_; }
  void SetTmpDir(std::string value) { tmp_dir_ = std::move(value); }
  // Handed to every cryptographic call of the items; true by default.
  [[nodiscard]] bool FlagUsageUserStorage() const noexcept {
    return config_.FlagUsageUserStorage();
  }
  void SetFlagUsageUserStorage(bool value) noexcept { config_.SetFlagUsageUserStorage(value); }

  // --- Values of the description (each needs an open package) ---

  // Subject codes of the sender and receiver (set by New from the code tables).
  [[nodiscard]] uint8_t SenderType() const;
  [[nodiscard]] uint8_t ReceiverType() const;
  [[nodiscard]] std::string SenderIdentifier() const;
  [[nodiscard]] std::string ReceiverIdentifier() const;
  // Not empty ("Передан пустой аргумент: SubjectIdentifier").
  void SetSenderIdentifier(std::string value);
  void SetReceiverIdentifier(std::string value);
  // The special operator: a non-empty value sets the identifier and the type спецоператор (3);
  // an empty one clears both, so the description has no спецоператор element.
  [[nodiscard]] std::string SOSIdentifier() const;
  void SetSOSIdentifier(std::string value);
  [[nodiscard]] std::string ThreadType() const;
  [[nodiscard]] std::string ThreadTypeCode() const;
  [[nodiscard]] std::string TransactType() const;
  [[nodiscard]] std::string TransactTypeCode() const;
  // Exactly 32 characters ("ThreadCode"); a package saved without one gets a new identifier.
  [[nodiscard]] std::string ThreadCode() const;
  void SetThreadCode(std::string value);

  // --- Items (each needs an open package) ---

  using DocumentPtr = std::shared_ptr<CTdx880Document>;
  using SignaturePtr = std::shared_ptr<CTdx880Signature>;

  // The number of items.
  [[nodiscard]] int32_t GetFileCount();
  // The item at index (0 .. count-1, checked under "FileIndex").
  [[nodiscard]] DocumentPtr GetFile(int32_t index);
  // Appends a description entry and a new item bound to it, then sets, in this order, the
  // document type code (looked up for the package's flow: "Неизвестный код документа [%s] в
  // документообороте [%s][%s]"), the content type, the original file name (its name part) and
  // the content. An error while setting them leaves the item in the package with the fields set
  // so far. Returns the item.
  DocumentPtr AddFile(const std::string& doc_type_code, const std::string& content_type,
                      const std::string& original_filename, std::string content);
  // Appends an item holding the XML text of spec_doc, content type "xml"; a declaration
  // description (CXMLGprDeklDescription) becomes "TR_DEKL.xml" of document type "02".
  DocumentPtr AddSpecDoc(rtl::CXMLClass& spec_doc);
  // Removes the item's signatures, the item and its description entry (index checked under
  // "iFileIndex").
  bool DeleteFile(int32_t index);
  // Removes every signature of the item (objects and description entries).
  bool DeleteFileSignatures(int32_t index);
  [[nodiscard]] int32_t GetFileSignatureCount(int32_t index);
  // The signature sign_index of item index ("iFileIndex", then "iSignaturesCount").
  [[nodiscard]] SignaturePtr GetFileSignature(int32_t index, int32_t sign_index);
  // The first item that the allowed-document table marks as the main document of the package's
  // flow and transaction; null when none is.
  [[nodiscard]] DocumentPtr GetMainFile();
  // At least one item is encrypted (false for a closed or empty package).
  [[nodiscard]] bool IsEncrypted() const;

  // --- Signing and encryption (each needs an open package) ---

  // Signs the first item whose OriginalFilename equals original_filename (exact, case-sensitive)
  // with key (not kept). "Передан пустой аргумент: Filename" / "pKey"; no such item: "Документ с
  // именем [%s] не найден"; the item's signing errors otherwise.
  bool SignFile(const std::string& original_filename, const crypt::CTdx880Key* key);
  // Offers every item encryption for key's certificate (its body, or else its thumbprint); an
  // item encrypts itself when the document-type table says its type is encrypted. key must be
  // present ("pKey"). The first failing item stops the operation.
  bool Encrypt(const crypt::CTdx880Key* key);
  // Encrypt with a key that holds only certificate_body ("Передан пустой аргумент:
  // CertificateBody" when empty).
  bool EncryptByCertificate(const std::string& certificate_body);
  // Decrypts every encrypted item with the user's key.
  bool Decrypt();

 private:
  void DoClose();
  bool DoEncrypt(const crypt::CTdx880Key* key);
  void ReleaseItems() noexcept;
  DocumentPtr AppendItem();
  [[nodiscard]] const DocumentPtr& CheckedItem(int32_t index, std::string_view argument);
  void DoNew();
  void RequireOpened() const;
  xml::CXMLGprPackage& OpenedDescription() const;
  void PrepareTmpDir() const;
  const std::string& MakeWorkingDirectory() const;
  void ReadArchive(const std::string& path);
  void LoadItems();
  void WriteArchive(const std::string& path);
  void StageFiles();
  [[nodiscard]] std::string GeneratePackageFileName();

  bool is_loaded_ = false;
  bool is_readed_ = false;
  bool is_opened_ = false;
  // Made on first use (MakeWorkingDirectory), so also by the const WorkingDirectory.
  mutable std::string working_directory_;
  // Holds the working folder's lock while the folder exists (rtl::FolderLock).
  mutable std::optional<rtl::FolderLock> working_lock_;
  std::unique_ptr<xml::CXMLGprPackage> description_;
  CTdx880PackageConfig config_;
  std::vector<DocumentPtr> items_;
  // The archive's entries while Open loads the items, the items' files while Save builds the
  // archive; empty otherwise.
  PackageFiles files_;
  std::string file_name_;
  std::string package_description_content_;
  std::string tmp_dir_;
};

// path as a full path: an absolute path as it is, a relative one (also "") joined to the
// current folder.
std::string ExpandPackagePath(const std::string& path);

}  // namespace lyr::package
