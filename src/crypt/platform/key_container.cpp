// Key containers as folders of PEM keys and DER certificates.
#include "crypt/platform/key_container.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

#include "base/ascii.h"
#include "base/folder.h"
#include "base/io.h"
#include "base/unique_fd.h"
#include "crypt/platform/crypt_error.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/folder_lock.h"

namespace lyr::crypt {
namespace {

constexpr const char* kKeyFile = "/key.pem";
constexpr const char* kCertificateFile = "/certificate.cer";
// The staging folders of containers being written, beside the containers (hidden, so never
// listed as one).
constexpr std::string_view kStagingPrefix = ".new-";

std::string ContainersFolder(StoreLocation location) {
  return LocationFolder(location) + "/containers";
}

std::string ContainerFolder(StoreLocation location, std::string_view name) {
  return ContainersFolder(location) + "/" + EncodeContainerName(name);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(rtl::NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The names in the folder at native_path (none when it cannot be opened).
std::vector<std::string> FolderNames(const std::string& native_path) {
  const base::UniqueFd dir(::open(native_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.Get() < 0 ? std::vector<std::string>{} : base::FolderEntryNames(dir.Get());
}

// Overwrites the key file path with zeros and flushes it, so the key of an unfinished container
// does not outlive its removal in the file's blocks. Never throws.
void WipeKeyFile(const std::string& path) noexcept {
  const base::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (fd.Get() < 0) {
    return;
  }
  struct stat info {};
  if (::fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode)) {
    const std::string zeros(static_cast<size_t>(info.st_size), '\0');
    static_cast<void>(base::WriteAllAt(fd.Get(), zeros, 0));
    ::fsync(fd.Get());
  }
}

// Removes the staging folders of writes that were killed outright (their lock is free), wiping
// their keys first; a folder whose lock a live process holds is left alone. Never throws.
void SweepStaging(const std::string& root) noexcept {
  try {
    const std::string native = rtl::NativePath(root);
    std::vector<std::string> stale;
    for (const std::string& name : FolderNames(native)) {
      struct stat info {};
      if (name.starts_with(kStagingPrefix) && !name.ends_with(".lock") &&
          ::lstat((native + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        stale.push_back(name);
      }
    }
    for (const std::string& name : stale) {
      try {
        rtl::FolderLock lock(root + "/" + rtl::LibraryPath(name));
        WipeKeyFile(native + "/" + name + kKeyFile);
        lock.Remove();
      } catch (const rtl::Exception&) {
        // In use by a live process, or not ours to remove.
      }
    }
    rtl::SweepStaleFolders(root, kStagingPrefix);
  } catch (...) {
    // A sweep that cannot run leaves the leftovers for the next one.
  }
}

}  // namespace

std::string EncodeContainerName(std::string_view name) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string encoded;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                       (byte >= '0' && byte <= '9') || byte == '_' || byte == '-' ||
                       (byte == '.' && i > 0);
    if (plain) {
      encoded += static_cast<char>(byte);
    } else {
      encoded += '%';
      encoded += kDigits[byte >> 4];
      encoded += kDigits[byte & 0x0F];
    }
  }
  return encoded;
}

std::string DecodeContainerName(std::string_view folder_name) {
  // EncodeContainerName writes upper-case digits, so that one name has one folder.
  return base::PercentDecoded(folder_name, true);
}

std::vector<std::string> KeyContainer::Enumerate(StoreLocation location) {
  std::vector<std::string> folders;
  const std::string root = ContainersFolder(location);
  for (const std::string& name : FolderNames(rtl::NativePath(root))) {
    if (name[0] != '.' && IsFolder(root + "/" + name)) {
      folders.push_back(name);
    }
  }
  std::sort(folders.begin(), folders.end());
  std::vector<std::string> names;
  names.reserve(folders.size());
  for (const std::string& folder : folders) {
    names.push_back(DecodeContainerName(folder));
  }
  return names;
}

bool KeyContainer::Exists(StoreLocation location, std::string_view name) {
  return !name.empty() && IsFolder(ContainerFolder(location, name));
}

KeyContainer KeyContainer::Create(StoreLocation location, std::string_view name,
                                  GostParamSet param_set) {
  if (name.empty()) {
    RaiseCryptError(code::kNteBadKeysetParam, "(empty container name)");
  }
  if (Exists(location, name)) {
    RaiseCryptError(code::kNteExists);
  }
  return Create(location, name, PrivateKey::Generate(param_set));
}

KeyContainer KeyContainer::Create(StoreLocation location, std::string_view name,
                                  GostAlgorithm algorithm, std::string_view param_set) {
  if (name.empty()) {
    RaiseCryptError(code::kNteBadKeysetParam, "(empty container name)");
  }
  if (Exists(location, name)) {
    RaiseCryptError(code::kNteExists);
  }
  return Create(location, name, PrivateKey::Generate(algorithm, param_set));
}

KeyContainer KeyContainer::Create(StoreLocation location, std::string_view name,
                                  const PrivateKey& key) {
  return Write(location, name, key, nullptr, {});
}

KeyContainer KeyContainer::Import(StoreLocation location, std::string_view name,
                                  const PrivateKey& key, const Certificate& certificate,
                                  const BeforeCommit& before_commit) {
  if (!key.Algorithm()) {
    RaiseCryptError(code::kNteBadKey, "(the key is not a GOST R 34.10 key)");
  }
  if (!key.Matches(certificate)) {
    RaiseCryptError(code::kNteBadPublicKey, "(the certificate is not the key's)");
  }
  return Write(location, name, key, &certificate, before_commit);
}

KeyContainer KeyContainer::Write(StoreLocation location, std::string_view name,
                                 const PrivateKey& key, const Certificate* certificate,
                                 const BeforeCommit& before_commit) {
  if (name.empty()) {
    RaiseCryptError(code::kNteBadKeysetParam, "(empty container name)");
  }
  const std::string root = ContainersFolder(location);
  EnsurePrivateFolder(root);
  SweepStaging(root);
  // The key is written into a locked staging folder aside and the folder renamed into place, so
  // no process ever sees a container without its key, two creators cannot both win, and a
  // process killed before the rename leaves a folder whose free lock lets the next write sweep it.
  std::optional<rtl::FolderLock> staging;
  try {
    staging.emplace(rtl::CreateLockedFolder(root, kStagingPrefix));
  } catch (const rtl::EOSError& error) {
    RaiseFileError(error.ErrorCode(), root);
  }
  const std::string aside = staging->Folder();
  const std::string folder = ContainerFolder(location, name);
  try {
    WriteFileAtomic(aside + kKeyFile, key.ToPkcs8Pem(), 0600);
    if (certificate != nullptr) {
      WriteFileAtomic(aside + kCertificateFile, certificate->Der(), 0600);
    }
    if (before_commit) {
      before_commit(KeyContainer(location, std::string(name)));
    }
    if (::rename(rtl::NativePath(aside).c_str(), rtl::NativePath(folder).c_str()) != 0) {
      const int error = errno;
      if (error == EEXIST || error == ENOTEMPTY) {
        RaiseCryptError(code::kNteExists);
      }
      RaiseFileError(error, folder);
    }
  } catch (...) {
    WipeKeyFile(rtl::NativePath(aside + kKeyFile));
    throw;
  }
  return KeyContainer(location, std::string(name));
}

KeyContainer KeyContainer::Open(StoreLocation location, std::string_view name) {
  if (!Exists(location, name)) {
    RaiseCryptError(code::kNteBadKeyset);
  }
  return KeyContainer(location, std::string(name));
}

bool KeyContainer::Delete(StoreLocation location, std::string_view name) {
  if (!Exists(location, name)) {
    return false;
  }
  const std::string folder = ContainerFolder(location, name);
  const std::string native = rtl::NativePath(folder);
  ::unlink((native + kKeyFile).c_str());
  ::unlink((native + kCertificateFile).c_str());
  if (::rmdir(native.c_str()) != 0) {
    RaiseFileError(errno, folder);
  }
  return true;
}

std::string KeyContainer::Folder() const {
  return ContainerFolder(location_, name_);
}

PrivateKey KeyContainer::GetPrivateKey() const {
  std::string pem;
  if (!ReadWholeFile(Folder() + kKeyFile, pem)) {
    RaiseCryptError(code::kNteNoKey);
  }
  // The password is the environment's bytes as they are (no code-page conversion).
  const char* password = std::getenv("LYR_TDX_KEY_PASSWORD");
  PrivateKey key = PrivateKey::FromPem(
      pem, password != nullptr ? std::optional<std::string_view>(password) : std::nullopt);
  std::fill(pem.begin(), pem.end(), '\0');
  return key;
}

std::optional<Certificate> KeyContainer::GetCertificate() const {
  std::string der;
  if (!ReadWholeFile(Folder() + kCertificateFile, der)) {
    return std::nullopt;
  }
  return Certificate::FromDer(der);
}

void KeyContainer::SetCertificate(const Certificate& certificate) const {
  if (!GetPrivateKey().Matches(certificate)) {
    RaiseCryptError(code::kNteBadPublicKey);
  }
  WriteFileAtomic(Folder() + kCertificateFile, certificate.Der(), 0600);
}

}  // namespace lyr::crypt
