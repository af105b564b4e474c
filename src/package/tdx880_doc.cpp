// CTdx880Doc: opening a package into its working folder, the description and the items, and
// writing it back into a new archive.
#include "package/tdx880_doc.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "crypt/tdx880_key.h"
#include "package/os_abbrevia_tool.h"
#include "package/package_file.h"
#include "package/tdx880_document.h"
#include "package/tdx880_item_config.h"
#include "package/tdx880_signature.h"
#include "package/tdx880_tool.h"
#include "package/xml/xml_gpr_dekl_description.h"
#include "package/xml/xml_gpr_document.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/identifiers.h"
#include "rtl/str_utils.h"
#include "rtl/text.h"
#include "rtl/trace.h"
#include "rtl/value_check_tool.h"
#include "rtl/whole_file.h"

namespace lyr::package {

namespace {

using rtl::NativePath;

std::string CurrentDirectory() {
  std::string buffer(PATH_MAX, '\0');
  if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    rtl::RaiseLastOSError();
  }
  buffer.resize(std::char_traits<char>::length(buffer.c_str()));
  return rtl::LibraryPath(buffer);
}

// Fails with "Файл уже существует: продолжение невозможно [%s]" when something is at path that a
// new archive cannot replace: a folder, or any entry in a folder we may not write. Replacing is
// one rename, so the old file stays whole until the new one is complete.
void CheckTargetReplaceable(const std::string& path) {
  struct stat target {};
  if (::lstat(NativePath(path).c_str(), &target) != 0) {
    return;  // nothing there
  }
  const bool folder = S_ISDIR(target.st_mode);
  const bool writable = ::access(NativePath(rtl::FolderPart(path)).c_str(), W_OK | X_OK) == 0;
  if (folder || !writable) {
    rtl::RaiseFmt(u8"Файл уже существует: продолжение невозможно [%s]", path);
  }
}

// A generated package name goes into a file system path: a participant identifier must not
// carry it out of the target folder.
void CheckGeneratedName(const std::string& name) {
  if (rtl::HasControlCharacter(name) || name.find_first_of("/\\") != std::string::npos) {
    rtl::RaiseFmt(u8"Недопустимое имя файла пакета: [%s]", name);
  }
}

// Refuses a description listing more documents than a package may hold before its text is
// checked and read: a count of the document elements' start tags, which no attribute value can
// hold. The reading of the collection checks the same bound again, exactly.
void CheckDocumentCount(std::string_view description) {
  const std::string tag = "<" + rtl::Msg(u8"документ");
  int32_t count = 0;
  for (size_t at = description.find(tag); at != std::string_view::npos;
       at = description.find(tag, at + tag.size())) {
    const size_t next = at + tag.size();
    if (next < description.size() &&
        std::string_view(" \t\r\n/>").find(description[next]) != std::string_view::npos &&
        ++count > xml::CXMLGprDocumentCollection::kMaxDocuments) {
      xml::CXMLGprDocumentCollection::RaiseTooManyDocuments();
    }
  }
}

}  // namespace

std::string ExpandPackagePath(const std::string& path) {
  if (!path.empty() && (path.front() == '/' || path.front() == '\\')) {
    return rtl::CombinePath(path, "");
  }
  return rtl::CombinePath(CurrentDirectory(), path);
}

CTdx880Doc::CTdx880Doc() : tmp_dir_(rtl::GetTempDirectory()) {
  config_.SetMaxPlainSize(rtl::DecompressionBudget::LimitFromEnvironment());
  config_.SetEnvelopeCipher(CTdx880PackageConfig::EnvelopeCipherFromEnvironment());
  config_.SetFiles(&files_);
}

CTdx880Doc::~CTdx880Doc() {
  CloseOnDestroy();
}

// --- Lifecycle ---

bool CTdx880Doc::Open(const std::string& file_name) {
  return Guarded([&] {
    DoClose();
    try {
      const std::string path = ExpandPackagePath(file_name);
      description_ = std::make_unique<xml::CXMLGprPackage>();
      config_.SetDescription(description_.get());
      PrepareTmpDir();
      ReadArchive(path);
      file_name_ = path;
      is_opened_ = true;
    } catch (...) {
      DoClose();
      throw;
    }
    return true;
  });
}

bool CTdx880Doc::Close() {
  return Guarded([&] {
    DoClose();
    return true;
  });
}

void CTdx880Doc::DoClose() {
  // Items refer to entries of the description: they are closed before it goes.
  ReleaseItems();
  if (!working_directory_.empty()) {
    if (working_lock_ && !working_lock_->Remove()) {
      rtl::DebugLog("CTdx880Doc: working folder not deleted completely: %s", working_directory_);
    }
    working_lock_.reset();
    working_directory_.clear();
    config_.SetWorkingDirectory({});
  }
  files_.Clear();
  config_.SetDescription(nullptr);
  config_.Budget().Reset();
  description_.reset();
  package_description_content_.clear();
  is_loaded_ = false;
  is_readed_ = false;
  is_opened_ = false;
}

bool CTdx880Doc::New(rtl::CBaseClass* /*source*/) {
  return Guarded([&] {
    DoNew();
    return true;
  });
}

void CTdx880Doc::DoNew() {
  auto description = std::make_unique<xml::CXMLGprPackage>();
  if (!is_opened_) {
    PrepareTmpDir();
  }
  ReleaseItems();
  config_.Budget().Reset();
  config_.Budget().SetName(file_name_);
  config_.SetDescription(description.get());
  description_ = std::move(description);
  package_description_content_.clear();
  is_loaded_ = false;
  is_readed_ = true;
  is_opened_ = true;
}

bool CTdx880Doc::New(std::string_view thread_type_code, std::string_view transact_type_code) {
  return Guarded([&] {
    DoNew();
    const TransactionInfo info =
        CTdx880Tool::GetTransactionInfo(thread_type_code, transact_type_code);
    xml::CXMLGprPackage& description = *description_;
    description.SetThreadType(info.ThreadTypeName);
    description.SetThreadTypeCode(std::string(thread_type_code));
    description.SetTransactType(info.TransactionName);
    description.SetTransactTypeCode(std::string(transact_type_code));
    description.Sender().SetSubjectCode(info.SenderType);
    description.Receiver().SetSubjectCode(info.ReceiverType);
    return true;
  });
}

bool CTdx880Doc::Save(const std::string& directory) {
  return Guarded([&] {
    RequireOpened();
    std::string name = rtl::FileNamePart(file_name_);
    if (name.empty()) {
      name = GeneratePackageFileName();
    }
    const std::string path = ExpandPackagePath(rtl::CombinePath(directory, name));
    WriteArchive(path);
    file_name_ = path;
    return true;
  });
}

bool CTdx880Doc::Save() {
  return SaveAs(file_name_);
}

bool CTdx880Doc::SaveAs(const std::string& file_name) {
  return Guarded([&] {
    RequireOpened();
    rtl::CValueCheckTool::CheckNotEmpty(file_name, rtl::Msg(u8"Имя файла"));
    const std::string path = ExpandPackagePath(file_name);
    WriteArchive(path);
    file_name_ = path;
    return true;
  });
}

// --- Working folder and the two algorithms ---

// TmpDir must take a folder: the errors making one would give, now rather than on first use.
void CTdx880Doc::PrepareTmpDir() const {
  if (::access(NativePath(tmp_dir_).c_str(), W_OK | X_OK) != 0) {
    rtl::RaiseLastOSError();
  }
}

const std::string& CTdx880Doc::MakeWorkingDirectory() const {
  if (working_directory_.empty()) {
    // Working folders are named by a bare identifier (no prefix); the sweep only takes those with
    // a lock file of FolderLock beside them.
    rtl::SweepStaleFolders(tmp_dir_, "");
    rtl::FolderLock lock = rtl::CreateLockedFolder(tmp_dir_, "");
    working_directory_ = rtl::IncludeTrailingBackslash(lock.Folder());
    working_lock_ = std::move(lock);
  }
  return working_directory_;
}

const std::string& CTdx880Doc::WorkingDirectory() const {
  static const std::string kNone;
  return is_opened_ ? MakeWorkingDirectory() : kNone;
}

void CTdx880Doc::ReadArchive(const std::string& path) {
  if (!rtl::FileExists(path)) {
    rtl::RaiseFmt(u8"Файл с пакетом [%s] не существует!", path);
  }
  rtl::DecompressionBudget& budget = config_.Budget();
  budget.SetName(path);
  // The entries pass through memory on their way to the items; only what exceeds the
  // configuration's MaxStagedSize is written into the working folder.
  files_.Clear();
  COsAbbreviaTool::ExtractArchiveKeeping(
      [&]() -> std::string {
        config_.SetWorkingDirectory(MakeWorkingDirectory());
        return working_directory_;
      },
      path, &budget, config_.MaxStagedSize(),
      [&](const std::string& name, std::string bytes) {
        files_.Put(name, std::make_shared<const std::string>(std::move(bytes)));
      });
  try {
    LoadItems();
  } catch (...) {
    files_.Clear();
    throw;
  }
  // The items hold what they loaded; entries the description does not name are dropped.
  files_.Clear();
}

void CTdx880Doc::LoadItems() {
  const std::string name(kDescriptionFileName);
  if (!files_.Find(name) && (working_directory_.empty() ||
                             !rtl::FileExists(rtl::CombinePath(working_directory_, name)))) {
    rtl::RaiseFmt(u8"Неверный формат пакета: не найден главный файл [%s]", name);
  }
  // Counted in the bytes as staged, before they are copied.
  const PackageFiles::Bytes description = ReadPackageBytes(config_, name);
  CheckDocumentCount(*description);
  package_description_content_ = *description;
  is_loaded_ = true;

  description_->SetDocument(package_description_content_);
  description_->Read();
  is_readed_ = true;

  // Every document's codes must form a row of the allowed-document table before any item loads.
  xml::CXMLGprDocumentCollection& documents = description_->Documents();
  for (int32_t i = 0; i < documents.Count(); ++i) {
    static_cast<void>(CTdx880Tool::IsMainDocument(description_->ThreadTypeCode(),
                                                  description_->TransactTypeCode(),
                                                  documents.Items(i).DocumentTypeCode()));
  }
  // Loading inflates every plain compressed document; their declared sizes are checked against
  // the budget first, so a package of honest-size bombs is refused before any is inflated.
  uint64_t declared = 0;
  for (int32_t i = 0; i < documents.Count(); ++i) {
    const xml::CXMLGprDocument& entry = documents.Items(i);
    if (entry.IsCompressed() && !entry.IsEncrypted() && IsPackageFileName(entry.FileName())) {
      if (const PackageFiles::Bytes staged = files_.Find(entry.FileName())) {
        declared += COsAbbreviaTool::DeclaredPlainSizeOf(*staged);
      } else if (!working_directory_.empty()) {
        declared += COsAbbreviaTool::DeclaredPlainSize(
            rtl::CombinePath(working_directory_, entry.FileName()));
      }
    }
  }
  config_.Budget().Check(declared);
  for (int32_t i = 0; i < documents.Count(); ++i) {
    auto item = std::make_shared<CTdx880Document>();
    CTdx880ItemConfig item_config(&documents.Items(i), &config_);
    if (!item->Open(&item_config)) {
      rtl::RaiseFmt(u8"Файл в пакете не найден: [%s]", documents.Items(i).FileName());
    }
    items_.push_back(std::move(item));
  }
}

void CTdx880Doc::WriteArchive(const std::string& path) {
  CheckTargetReplaceable(path);
  // Files that Open wrote there are not carried into the new archive, as the items' files are
  // staged in memory.
  if (!working_directory_.empty() && rtl::DirectoryExists(working_directory_) &&
      !rtl::ClearDirectory(working_directory_)) {
    rtl::RaiseLastOSError();
  }
  try {
    StageFiles();
    std::vector<std::pair<std::string, std::string_view>> entries;
    entries.reserve(files_.All().size());
    for (const auto& [name, bytes] : files_.All()) {
      entries.emplace_back(name, *bytes);
    }
    // The archive adaptor writes it through rtl::AtomicFile: the old file stays whole until the
    // new one is complete.
    COsAbbreviaTool::BuildArchive(entries, path);
  } catch (...) {
    files_.Clear();
    throw;
  }
  files_.Clear();
}

// The items' content and signature files and the description, staged in memory.
void CTdx880Doc::StageFiles() {
  files_.Clear();
  for (const DocumentPtr& item : items_) {
    if (!item->Save()) {
      rtl::RaiseFmt(u8"Документ не сохранён: [%s]", item->OriginalFilename());
    }
  }
  description_->SetProgVersion(std::string(kProgVersion));
  std::string description = description_->GetXML();
  if (!description.empty()) {
    files_.Put(std::string(kDescriptionFileName),
               std::make_shared<const std::string>(std::move(description)));
  }
}

std::string CTdx880Doc::GeneratePackageFileName() {
  const DocumentPtr main = GetMainFile();
  if (!main) {
    rtl::RaiseFmt(u8"В пакете не найден главный документ");
  }
  const xml::CXMLGprPackage& description = *description_;
  std::string name = rtl::Format(
      "TDX_%0:s_%1:s_%2:s_%3:s_%4:s_%5:s.zip", description.Sender().SubjectIdentifier(),
      description.Receiver().SubjectIdentifier(), rtl::NewFileId(), description.ThreadTypeCode(),
      description.TransactTypeCode(), main->DocTypeCode());
  CheckGeneratedName(name);
  return name;
}

// --- Items ---

void CTdx880Doc::ReleaseItems() noexcept {
  for (const DocumentPtr& item : items_) {
    item->Close();
  }
  items_.clear();
}

CTdx880Doc::DocumentPtr CTdx880Doc::AppendItem() {
  xml::CXMLGprDocumentCollection& documents = description_->Documents();
  xml::CXMLGprDocument& entry = documents.Add();
  // The entry and the item are added together or not at all.
  bool made = false;
  auto item = std::make_shared<CTdx880Document>();
  try {
    CTdx880ItemConfig item_config(&entry, &config_);
    made = item->New(&item_config);
    if (made) {
      items_.push_back(item);
    }
  } catch (...) {
    item->Close();
    documents.Delete(documents.Count() - 1);
    throw;
  }
  if (!made) {
    documents.Delete(documents.Count() - 1);
    return nullptr;
  }
  return item;
}

const CTdx880Doc::DocumentPtr& CTdx880Doc::CheckedItem(int32_t index, std::string_view argument) {
  RequireOpened();
  rtl::CValueCheckTool::CheckValueInRange(index, 0, argument,
                                          static_cast<int64_t>(items_.size()) - 1);
  return items_[static_cast<size_t>(index)];
}

int32_t CTdx880Doc::GetFileCount() {
  return Guarded([&] {
    RequireOpened();
    return static_cast<int32_t>(items_.size());
  });
}

CTdx880Doc::DocumentPtr CTdx880Doc::GetFile(int32_t index) {
  return Guarded([&] { return CheckedItem(index, "FileIndex"); });
}

CTdx880Doc::DocumentPtr CTdx880Doc::AddFile(const std::string& doc_type_code,
                                            const std::string& content_type,
                                            const std::string& original_filename,
                                            std::string content) {
  return Guarded([&]() -> DocumentPtr {
    RequireOpened();
    DocumentPtr item = AppendItem();
    if (item) {
      item->SetDocTypeCode(doc_type_code);
      item->SetContentType(content_type);
      item->SetOriginalFilename(original_filename);
      item->SetContent(std::move(content));
    }
    return item;
  });
}

CTdx880Doc::DocumentPtr CTdx880Doc::AddSpecDoc(rtl::CXMLClass& spec_doc) {
  return Guarded([&]() -> DocumentPtr {
    RequireOpened();
    DocumentPtr item = AppendItem();
    if (item) {
      if (dynamic_cast<xml::CXMLGprDeklDescription*>(&spec_doc) != nullptr) {
        item->SetOriginalFilename("TR_DEKL.xml");
        item->SetDocTypeCode("02");
      }
      item->SetContentType("xml");
      item->SetContent(spec_doc.GetXML());
    }
    return item;
  });
}

bool CTdx880Doc::DeleteFile(int32_t index) {
  return Guarded([&] {
    const DocumentPtr item = CheckedItem(index, "iFileIndex");
    if (!item->RemoveAllSignatures()) {
      return false;
    }
    item->Close();
    items_.erase(items_.begin() + index);
    description_->Documents().Delete(index);
    return true;
  });
}

bool CTdx880Doc::DeleteFileSignatures(int32_t index) {
  return Guarded([&] { return CheckedItem(index, "iFileIndex")->RemoveAllSignatures(); });
}

int32_t CTdx880Doc::GetFileSignatureCount(int32_t index) {
  return Guarded([&] { return CheckedItem(index, "iFileIndex")->GetSignatureCount(); });
}

CTdx880Doc::SignaturePtr CTdx880Doc::GetFileSignature(int32_t index, int32_t sign_index) {
  return Guarded([&] {
    const DocumentPtr& item = CheckedItem(index, "iFileIndex");
    rtl::CValueCheckTool::CheckValueInRange(sign_index, 0, "iSignaturesCount",
                                            int64_t{item->GetSignatureCount()} - 1);
    return item->GetSignature(sign_index);
  });
}

CTdx880Doc::DocumentPtr CTdx880Doc::GetMainFile() {
  return Guarded([&]() -> DocumentPtr {
    RequireOpened();
    for (const DocumentPtr& item : items_) {
      if (CTdx880Tool::IsMainDocument(description_->ThreadTypeCode(),
                                      description_->TransactTypeCode(), item->DocTypeCode())) {
        return item;
      }
    }
    return nullptr;
  });
}

bool CTdx880Doc::IsEncrypted() const {
  for (const DocumentPtr& item : items_) {
    if (item->IsEncrypted()) {
      return true;
    }
  }
  return false;
}

// --- Signing and encryption ---

bool CTdx880Doc::SignFile(const std::string& original_filename, const crypt::CTdx880Key* key) {
  return Guarded([&] {
    RequireOpened();
    rtl::CValueCheckTool::CheckNotEmpty(original_filename, "Filename");
    rtl::CValueCheckTool::CheckAssigned(key, "pKey");
    for (const DocumentPtr& item : items_) {
      if (item->OriginalFilename() == original_filename) {
        return item->Sign(key);
      }
    }
    rtl::RaiseFmt(u8"Документ с именем [%s] не найден", original_filename);
  });
}

bool CTdx880Doc::Encrypt(const crypt::CTdx880Key* key) {
  return Guarded([&] { return DoEncrypt(key); });
}

bool CTdx880Doc::DoEncrypt(const crypt::CTdx880Key* key) {
  RequireOpened();
  rtl::CValueCheckTool::CheckAssigned(key, "pKey");
  for (const DocumentPtr& item : items_) {
    if (!item->EncryptIfRequired(key)) {
      return false;
    }
  }
  return true;
}

bool CTdx880Doc::EncryptByCertificate(const std::string& certificate_body) {
  return Guarded([&] {
    RequireOpened();
    rtl::CValueCheckTool::CheckNotEmpty(certificate_body, "CertificateBody");
    crypt::CTdx880Key key;
    key.SetCertificateBody(certificate_body);
    return DoEncrypt(&key);
  });
}

bool CTdx880Doc::Decrypt() {
  return Guarded([&] {
    RequireOpened();
    for (const DocumentPtr& item : items_) {
      if (!item->DecryptIfEncrypted()) {
        return false;
      }
    }
    return true;
  });
}

// --- Values of the description ---

void CTdx880Doc::RequireOpened() const {
  if (!is_opened_ || !description_) {
    rtl::RaiseFmt(u8"Документ не открыт");
  }
}

xml::CXMLGprPackage& CTdx880Doc::OpenedDescription() const {
  RequireOpened();
  return *description_;
}

uint8_t CTdx880Doc::SenderType() const {
  return OpenedDescription().Sender().SubjectCode();
}

uint8_t CTdx880Doc::ReceiverType() const {
  return OpenedDescription().Receiver().SubjectCode();
}

std::string CTdx880Doc::SenderIdentifier() const {
  return OpenedDescription().Sender().SubjectIdentifier();
}

std::string CTdx880Doc::ReceiverIdentifier() const {
  return OpenedDescription().Receiver().SubjectIdentifier();
}

void CTdx880Doc::SetSenderIdentifier(std::string value) {
  OpenedDescription().Sender().SetSubjectIdentifier(std::move(value));
}

void CTdx880Doc::SetReceiverIdentifier(std::string value) {
  OpenedDescription().Receiver().SetSubjectIdentifier(std::move(value));
}

std::string CTdx880Doc::SOSIdentifier() const {
  return OpenedDescription().SpecialOperator().SubjectIdentifier();
}

void CTdx880Doc::SetSOSIdentifier(std::string value) {
  xml::CXMLGprSubject& special_operator = OpenedDescription().SpecialOperator();
  if (value.empty()) {
    special_operator.Clear();
    return;
  }
  special_operator.SetSubjectIdentifier(std::move(value));
  special_operator.SetSubjectCode(kSubjectSpecialOperator);
}

std::string CTdx880Doc::ThreadType() const {
  return OpenedDescription().ThreadType();
}

std::string CTdx880Doc::ThreadTypeCode() const {
  return OpenedDescription().ThreadTypeCode();
}

std::string CTdx880Doc::TransactType() const {
  return OpenedDescription().TransactType();
}

std::string CTdx880Doc::TransactTypeCode() const {
  return OpenedDescription().TransactTypeCode();
}

std::string CTdx880Doc::ThreadCode() const {
  return OpenedDescription().ThreadCode();
}

void CTdx880Doc::SetThreadCode(std::string value) {
  OpenedDescription().SetThreadCode(std::move(value));
}

}  // namespace lyr::package
