// File-system and path helpers: folders, deletion of trees, joining paths, environment.
#pragma once

#include <string>
#include <string_view>

namespace lyr::rtl {

// Paths inside the library are windows-1251 text like every other string; the file system's names
// are UTF-8. Every POSIX call receives NativePath(path), and names read from the file system come
// back through LibraryPath, so Cyrillic names work and ASCII names are unchanged. Helpers that join
// or split paths accept both "/" and "\" as separators on input and write "/".

// A library path (windows-1251) as the file system's UTF-8 name.
std::string NativePath(std::string_view path);
// A file-system name (UTF-8) as a library path; characters outside windows-1251 become "?".
std::string LibraryPath(std::string_view native);

// path trimmed of surrounding blanks, with a "/" appended when it is not empty and does not end
// in "/" or "\".
std::string IncludeTrailingBackslash(std::string_view path);

// True when path exists and is a folder (a link to a folder counts).
bool DirectoryExists(const std::string& path);
// True when path exists and is not a folder.
bool FileExists(const std::string& path);

// Makes the file writable for its owner (unless it is a symbolic link), then deletes it. False
// when its attributes cannot be read or set or when it cannot be deleted.
bool ForceDeleteFile(const std::string& path);

// Deletes everything below path, then path itself. Read-only files and folders are deleted too
// (a folder is made accessible before its entries are deleted); symbolic links are deleted as
// links and never followed, so nothing outside the tree is touched; a path that is itself a link
// is deleted as a link. A failure is remembered and the walk goes on. True only when every
// deletion succeeded; an empty path does nothing and succeeds; a missing path fails.
bool DeleteDirectoryTree(const std::string& path);
// As DeleteDirectoryTree, but keeps path itself. A path that is a symbolic link fails without
// touching anything.
bool ClearDirectory(const std::string& path);

// Creates path and every missing folder above it (mode 0700). True when all of them exist as
// folders afterwards; the first creation that fails stops the walk and gives false.
bool ForceDirectories(std::string_view path);

// Joins directory and name: both are trimmed; both empty gives ""; one trailing separator of
// directory and one leading separator of name are dropped; the two are joined with "/" (either
// alone is the result), backslashes become "/", and "." and ".." segments are resolved in the
// text as the platform's path-combining rule does ("/a/b" + "../c" gives "/a/c"; ".." never
// climbs above "/"). Fails with the OS error ENAMETOOLONG when the result has PATH_MAX (4096)
// characters or more.
std::string CombinePath(std::string_view directory, std::string_view name);

// The name part of path: what follows its last "/" or "\" (the whole text when it has none).
std::string FileNamePart(std::string_view path);
// The folder part of path: what precedes its last "/" or "\" ("." for a bare name, "/" for a
// name in the root folder).
std::string FolderPart(std::string_view path);

// The file-name part of path (after the last "/" or "\") without its extension (from the last
// ".", so "a.tar.gz" gives "a.tar" and ".profile" gives "").
std::string FileNameWithoutExt(std::string_view path);

// The value of the environment variable name (UTF-8 in the environment, windows-1251 here), ""
// when it is not set.
std::string GetEnvironmentValue(const std::string& name);

// The temporary folder: the environment variable TMP, else TMPDIR, else "/tmp" (empty values
// count as unset).
std::string GetTempDirectory();

}  // namespace lyr::rtl
