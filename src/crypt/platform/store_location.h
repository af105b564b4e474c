// Where the certificate stores and key containers of a store location live on disk. Paths are
// library text (windows-1251) and reach the file system through rtl::NativePath.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyr::crypt {

// Store locations with the system's codes.
enum class StoreLocation : uint8_t { kLocalMachine = 1, kCurrentUser = 2 };

// The root folder of a location: current user $LYR_TDX_HOME, else
// ${XDG_DATA_HOME:-$HOME/.local/share}/lyr-tdx880; local machine $LYR_TDX_MACHINE_HOME, else
// /var/lib/lyr-tdx880.
std::string LocationFolder(StoreLocation location);

// Creates folder and any missing parents with mode 0700. Raises ECryptError (E_ACCESSDENIED,
// ERROR_PATH_NOT_FOUND, ERROR_DISK_FULL or CRYPT_E_FILE_ERROR, with the path and the system's
// text) when a folder cannot be made.
void EnsurePrivateFolder(const std::string& folder);

// Writes bytes to path atomically (a temporary file in the same folder, renamed into place) with
// the given mode. Raises ECryptError as EnsurePrivateFolder does.
void WriteFileAtomic(const std::string& path, std::string_view bytes, uint32_t mode);

// Size limits of the files of store and key-container folders (docs/crypto-layer.md, Limits):
// certificates, key-provider bindings, keys; revocation lists.
inline constexpr uint64_t kStoreFileLimit = uint64_t{1} << 20;
inline constexpr uint64_t kCrlFileLimit = uint64_t{64} << 20;

// Reads one file of a store or key-container folder: a regular file, not a symbolic link, of at
// most limit bytes, opened without waiting (rtl::ReadRegularFile). False when it cannot be read;
// then reason (when given) says why, and the reason is traced unless the file is simply missing
// (reason stays empty then).
bool ReadWholeFile(const std::string& path, std::string& bytes, uint64_t limit = kStoreFileLimit,
                   std::string* reason = nullptr);

// Raises ECryptError for a failed file-system call with errno error_number on path.
[[noreturn]] void RaiseFileError(int error_number, const std::string& path);

}  // namespace lyr::crypt
