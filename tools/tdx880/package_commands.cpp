// tdx880 pack|show|verify|extract: building a transport package from files, showing what it
// holds, verifying its signatures and writing its documents out, each over the package container.
#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "command.h"
#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
#include "crypt_options.h"
#include "options.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package_report.h"
#include "rtl/atomic_file.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/whole_file.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using package::CTdx880Doc;
using rtl::Format;

constexpr std::string_view kPackUsage =
    "pack --flow CODE --transaction CODE --sender ID --receiver ID [--sos ID] "
    "--doc CODE:CONTENT-TYPE:FILE... [--sign THUMBPRINT [FILE...]]... "
    "[--encrypt-for THUMBPRINT | --encrypt-cert CERT] [-o DIR|FILE] [--machine]";
constexpr std::string_view kShowUsage = "show PACKAGE";
constexpr std::string_view kVerifyUsage = "verify PACKAGE [--no-download] [--no-crl] [--machine]";
constexpr std::string_view kExtractUsage = "extract PACKAGE -o DIR [--machine]";

// One --doc: a document type code, a content type and the file holding the document.
struct DocumentSpec {
  std::string code;
  std::string content_type;
  std::string path;  // as given (UTF-8)
};

// One --sign: the signer's thumbprint and the documents it signs (none: every document).
struct SignSpec {
  std::string thumbprint;
  std::vector<std::string> files;  // as given (UTF-8)
};

struct PackOptions {
  std::map<std::string, std::string> values;  // single options -> value (UTF-8)
  std::vector<DocumentSpec> documents;
  std::vector<SignSpec> signers;
  bool machine = false;

  [[nodiscard]] std::string Value(const std::string& name) const {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
  }
};

// CODE:CONTENT-TYPE:FILE; the file name may hold further colons.
std::optional<DocumentSpec> ParseDocument(const std::string& text) {
  const size_t first = text.find(':');
  const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second == std::string::npos || first == 0 || second == first + 1 ||
      second + 1 == text.size()) {
    return std::nullopt;
  }
  return DocumentSpec{text.substr(0, first), text.substr(first + 1, second - first - 1),
                      text.substr(second + 1)};
}

// The options of pack: --doc and --sign may repeat, --sign takes a thumbprint and then the file
// names up to the next option. Nothing when they are wrong.
std::optional<PackOptions> ParsePack(const Arguments& arguments) {
  static const std::set<std::string> kSingle = {
      "--flow", "--transaction", "--sender",       "--receiver",
      "--sos",  "--encrypt-for", "--encrypt-cert", "-o"};
  PackOptions options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool has_value = i + 1 < arguments.size();
    if (argument == "--machine" && !options.machine) {
      options.machine = true;
    } else if (kSingle.contains(argument) && has_value && !options.values.contains(argument)) {
      options.values[argument] = arguments[++i];
    } else if (argument == "--doc" && has_value) {
      const std::optional<DocumentSpec> document = ParseDocument(arguments[++i]);
      if (!document) {
        return std::nullopt;
      }
      options.documents.push_back(*document);
    } else if (argument == "--sign" && has_value) {
      SignSpec signer{arguments[++i], {}};
      while (i + 1 < arguments.size() && !arguments[i + 1].starts_with("-")) {
        signer.files.push_back(arguments[++i]);
      }
      options.signers.push_back(signer);
    } else {
      return std::nullopt;
    }
  }
  for (const char* required : {"--flow", "--transaction", "--sender", "--receiver"}) {
    if (!options.values.contains(required)) {
      return std::nullopt;
    }
  }
  if (options.documents.empty() ||
      (options.values.contains("--encrypt-for") && options.values.contains("--encrypt-cert"))) {
    return std::nullopt;
  }
  return options;
}

// A thumbprint from the command line as the stores compare it; raises when it is none.
std::string ThumbprintOf(const std::string& text) {
  const std::optional<std::string> thumbprint = NormalThumbprint(text);
  if (!thumbprint) {
    throw rtl::Exception("not a SHA-1 thumbprint (40 hexadecimal digits): " + FromTerminal(text));
  }
  return *thumbprint;
}

// The name part of a path as the package keeps original file names.
std::string NamePart(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Signs the documents of one --sign with the personal key of that thumbprint.
void SignDocuments(CTdx880Doc& package, const SignSpec& signer, bool user_storage) {
  crypt::CTdx880Crypt crypt;
  crypt.Init(user_storage);
  crypt::CTdx880Key key;
  crypt.GetPrivateKeyBySha1(ThumbprintOf(signer.thumbprint), &key);
  std::vector<std::string> names;
  for (const std::string& file : signer.files) {
    names.push_back(NamePart(FromTerminal(file)));
  }
  if (names.empty()) {
    for (int32_t i = 0; i < package.GetFileCount(); ++i) {
      names.push_back(package.GetFile(i)->OriginalFilename());
    }
  }
  for (const std::string& name : names) {
    package.SignFile(name, &key);
  }
}

void EncryptPackage(CTdx880Doc& package, const PackOptions& options) {
  if (options.values.contains("--encrypt-for")) {
    crypt::CTdx880Key key;
    key.SetSha1(ThumbprintOf(options.Value("--encrypt-for")));
    package.Encrypt(&key);
  } else if (options.values.contains("--encrypt-cert")) {
    package.EncryptByCertificate(
        rtl::LoadFileToString(FromTerminal(options.Value("--encrypt-cert"))));
  }
}

// Saves into the folder -o names (an existing one, or one written with a trailing "/"), under
// the file name -o names, or into the current folder.
void SavePackage(CTdx880Doc& package, const std::string& output) {
  const std::string target = FromTerminal(output);
  if (target.empty()) {
    package.Save(package::ExpandPackagePath(""));
  } else if (rtl::DirectoryExists(target) || target.ends_with('/')) {
    if (!rtl::ForceDirectories(target)) {
      throw rtl::Exception("cannot create the folder " + target);
    }
    package.Save(target);
  } else {
    package.SaveAs(target);
  }
}

int RunPack(const Arguments& arguments) {
  const std::optional<PackOptions> options = ParsePack(arguments);
  if (!options) {
    return UsageError(kPackUsage);
  }
  CTdx880Doc package;
  package.SetFlagUsageUserStorage(!options->machine);
  package.New(FromTerminal(options->Value("--flow")),
              FromTerminal(options->Value("--transaction")));
  package.SetSenderIdentifier(FromTerminal(options->Value("--sender")));
  package.SetReceiverIdentifier(FromTerminal(options->Value("--receiver")));
  if (options->values.contains("--sos")) {
    package.SetSOSIdentifier(FromTerminal(options->Value("--sos")));
  }
  for (const DocumentSpec& document : options->documents) {
    const std::string path = FromTerminal(document.path);
    package.AddFile(FromTerminal(document.code), FromTerminal(document.content_type), path,
                    rtl::LoadFileToString(path));
  }
  for (const SignSpec& signer : options->signers) {
    SignDocuments(package, signer, !options->machine);
  }
  EncryptPackage(package, *options);
  SavePackage(package, options->Value("-o"));
  Print(package.FileName() + "\n");
  return 0;
}

// Opens the package named by the command line.
void OpenPackage(CTdx880Doc& package, const std::string& argument, bool machine) {
  package.SetFlagUsageUserStorage(!machine);
  package.Open(FromTerminal(argument));
}

int RunShow(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {});
  if (!options || options->positional.size() != 1) {
    return UsageError(kShowUsage);
  }
  CTdx880Doc package;
  OpenPackage(package, options->positional[0], false);
  Print("package: " + package.FileName() + "\n" + PackageText(package));
  return 0;
}

int RunVerify(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {}, {"--no-download", "--no-crl", "--machine"});
  if (!options || options->positional.size() != 1) {
    return UsageError(kVerifyUsage);
  }
  CTdx880Doc package;
  OpenPackage(package, options->positional[0], options->Has("--machine"));
  const PackageCheck decryption = DecryptPackage(package);
  const PackageCheck verification =
      VerifyPackage(package, !options->Has("--no-download"), !options->Has("--no-crl"));
  std::string text = decryption.text + verification.text;
  const int32_t failed = decryption.failed + verification.failed;
  if (verification.checked == 0 && failed == 0) {
    Print(text + "no signatures to verify\n");
    return 1;
  }
  if (failed == 0) {
    text += Format("all %d signature(s) valid\n", verification.checked);
  } else {
    text += Format("%d failure(s): the package is not valid\n", failed);
  }
  Print(text);
  return failed == 0 ? 0 : 1;
}

// The file name a document is written under: the name part of its original name (a package
// comes from strangers: "../x" or "/etc/x" become "x"), or its content file's name when it has
// none. Raises when nothing usable is left ("", ".", "..").
std::string ExtractName(const package::CTdx880Document& item, int32_t index) {
  const std::string original = item.OriginalFilename();
  const std::string name = NamePart(original.empty() ? item.FileName() : original);
  if (name.empty() || name == "." || name == "..") {
    throw rtl::Exception(
        Format("document %d: the original name \"%s\" names no file", index + 1, original));
  }
  if (name != original && !original.empty()) {
    PrintError(Format("tdx880: document %d: the original name \"%s\" is written as \"%s\"\n",
                      index + 1, original, name));
  }
  return name;
}

// True when something (a file, a folder or a link, even a dangling one) has that path.
bool PathTaken(const std::string& path) {
  struct stat st {};
  return ::lstat(rtl::NativePath(path).c_str(), &st) == 0;
}

int RunExtract(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {"-o"}, {"--machine"});
  if (!options || options->positional.size() != 1 || !options->Has("-o")) {
    return UsageError(kExtractUsage);
  }
  CTdx880Doc package;
  OpenPackage(package, options->positional[0], options->Has("--machine"));
  const PackageCheck decryption = DecryptPackage(package);
  if (decryption.failed > 0) {
    PrintError(decryption.text);
    return 1;
  }
  const std::string folder = FromTerminal(options->Value("-o"));
  // Every name is checked before anything is written: a refused name writes no file at all.
  std::vector<std::string> targets;
  std::set<std::string> names;
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    const std::string name = ExtractName(*package.GetFile(i), i);
    const std::string target = rtl::CombinePath(folder, name);
    if (!names.insert(name).second || PathTaken(target)) {
      throw rtl::Exception(
          Format("document %d: %s exists already; nothing was written", i + 1, target));
    }
    targets.push_back(target);
  }
  if (!rtl::ForceDirectories(folder)) {
    throw rtl::Exception("cannot create the folder " + folder);
  }
  std::string text;
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    const std::string content = package.GetFile(i)->PlainContent();
    rtl::WriteFileAtomically(targets[i], content, 0600);
    text += Format("%s (%d bytes)\n", targets[i], static_cast<int64_t>(content.size()));
  }
  Print(text);
  return 0;
}

}  // namespace

std::vector<Command> PackageCommands() {
  return {
      {"pack", kPackUsage.substr(std::string_view("pack ").size()),
       "build a package of a flow and transaction: add each document (type code, content type, "
       "file), sign documents (all, or those named) with the personal certificate of a "
       "thumbprint, encrypt the types that require it for a certificate of addressbook or a "
       "certificate file, and save it into DIR under its generated name, as FILE, or into the "
       "current folder; prints the package's path",
       &Guarded<&RunPack>},
      {"show", kShowUsage.substr(std::string_view("show ").size()),
       "show a package: flow, transaction, participants, and every document with its type, "
       "flags, names and signatures with their signers",
       &Guarded<&RunShow>},
      {"verify", kVerifyUsage.substr(std::string_view("verify ").size()),
       "decrypt what the user's keys open and verify every signature with its certificate chain "
       "and revocation lists (downloading what is missing unless --no-download; no revocation "
       "check with --no-crl); one verdict per signature; exit status 0 only when all are valid",
       &Guarded<&RunVerify>},
      {"extract", kExtractUsage.substr(std::string_view("extract ").size()),
       "decrypt a package and write each document into DIR under the name part of its original "
       "name; existing files are never replaced and nothing is written outside DIR",
       &Guarded<&RunExtract>},
  };
}

}  // namespace lyr::tool
