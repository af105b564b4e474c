// tdx880 pack|show|verify|extract: building a transport package from files, showing what it
// holds, verifying its signatures and writing its documents out, each over the package container.
#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
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
#include "extraction.h"
#include "options.h"
#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "package_report.h"
#include "rtl/errors.h"
#include "rtl/file_utils.h"
#include "rtl/format.h"
#include "rtl/whole_file.h"
#include "signal_cleanup.h"
#include "terminal.h"

namespace lyr::tool {
namespace {

using package::CTdx880Doc;
using rtl::Format;

constexpr std::string_view kPackUsage =
    "pack --flow CODE --transaction CODE --sender ID --receiver ID [--sos ID] "
    "--doc CODE:CONTENT-TYPE:FILE... [--sign THUMBPRINT [FILE...]]... "
    "[--encrypt-for THUMBPRINT | --encrypt-cert CERT] [--cipher NAME] [-o DIR|FILE] [--machine]";
constexpr std::string_view kShowUsage = "show PACKAGE";
constexpr std::string_view kVerifyUsage =
    "verify PACKAGE [--allow-unsigned] [--no-download] [--no-crl] [--machine]";
constexpr std::string_view kExtractUsage =
    "extract PACKAGE -o DIR [--allow-unsigned | --no-verify] [--no-download] [--no-crl] "
    "[--machine]";

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
  static const std::set<std::string> kSingle = {"--flow",         "--transaction", "--sender",
                                                "--receiver",     "--sos",         "--encrypt-for",
                                                "--encrypt-cert", "--cipher",      "-o"};
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
    throw rtl::Exception("not a SHA-1 thumbprint (40 hexadecimal digits): " +
                         Escaped(FromTerminal(text)));
  }
  return *thumbprint;
}

// Signs the documents of one --sign with the personal key of that thumbprint.
void SignDocuments(CTdx880Doc& package, const SignSpec& signer, bool user_storage) {
  crypt::CTdx880Crypt crypt;
  crypt.Init(user_storage);
  crypt::CTdx880Key key;
  crypt.GetPrivateKeyBySha1(ThumbprintOf(signer.thumbprint), &key);
  std::vector<std::string> names;
  for (const std::string& file : signer.files) {
    names.push_back(rtl::FileNamePart(FromTerminal(file)));
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
  package.Config().SetEnvelopeCipher(ContentCipherOf(options.Value("--cipher")));
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
      throw rtl::Exception("cannot create the folder " + Escaped(target));
    }
    package.Save(target);
  } else {
    package.SaveAs(target);
  }
}

// A package whose working folder lies in a private folder of the tool, so that a signal which
// stops the tool removes the package's plain files with it.
struct ToolPackage {
  TempWorkspace workspace;
  CTdx880Doc package;

  explicit ToolPackage(bool machine) {
    package.SetTmpDir(workspace.Path());
    package.SetFlagUsageUserStorage(!machine);
  }
};

int RunPack(const Arguments& arguments) {
  const std::optional<PackOptions> options = ParsePack(arguments);
  if (!options) {
    return UsageError(kPackUsage);
  }
  ToolPackage tool_package(options->machine);
  CTdx880Doc& package = tool_package.package;
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
  Print(Escaped(package.FileName()) + "\n");
  return 0;
}

// The package the command line names, opened.
struct OpenedPackage : ToolPackage {
  OpenedPackage(const std::string& argument, bool machine) : ToolPackage(machine) {
    package.Open(FromTerminal(argument));
  }
};

int RunShow(const Arguments& arguments) {
  const std::optional<Options> options = ParseOptions(arguments, {});
  if (!options || options->positional.size() != 1) {
    return UsageError(kShowUsage);
  }
  OpenedPackage opened(options->positional[0], false);
  Print("package: " + Escaped(opened.package.FileName()) + "\n" + PackageText(opened.package));
  return 0;
}

int RunVerify(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {}, {"--allow-unsigned", "--no-download", "--no-crl", "--machine"});
  if (!options || options->positional.size() != 1) {
    return UsageError(kVerifyUsage);
  }
  OpenedPackage opened(options->positional[0], options->Has("--machine"));
  const PackageCheck decryption = DecryptPackage(opened.package);
  const PackageCheck verification =
      VerifyPackage(opened.package, !options->Has("--no-download"), !options->Has("--no-crl"));
  const PackageVerdict verdict =
      JudgePackage(decryption, verification, options->Has("--allow-unsigned"));
  Print(decryption.text + verification.text + verdict.line);
  return verdict.valid ? 0 : 1;
}

// The file name a document is written under: the name part of its original name (a package
// comes from strangers: "../x" or "/etc/x" become "x"), or its content file's name when it has
// none. Raises when nothing usable is left ("", ".", ".."), when the name holds a control
// character, and when it is longer than a file name may be.
std::string ExtractName(const package::CTdx880Document& item, int32_t index) {
  const std::string original = item.OriginalFilename();
  const std::string name = rtl::FileNamePart(original.empty() ? item.FileName() : original);
  if (name.empty() || name == "." || name == ".." ||
      std::any_of(name.begin(), name.end(), IsControlCharacter)) {
    throw rtl::Exception(Format("document %d: the original name \"%s\" names no file", index + 1,
                                Escaped(original)));
  }
  const size_t bytes = rtl::NativePath(name).size();
  if (bytes > NAME_MAX) {
    throw rtl::Exception(
        Format("document %d: the name \"%s\" is too long for a file (%d bytes, at most %d)",
               index + 1, Escaped(name), static_cast<int64_t>(bytes), NAME_MAX));
  }
  if (name != original && !original.empty()) {
    PrintError(Format("tdx880: document %d: the original name \"%s\" is written as \"%s\"\n",
                      index + 1, Escaped(original), Escaped(name)));
  }
  return name;
}

// True when something (a file, a folder or a link, even a dangling one) has that path.
bool PathTaken(const std::string& path) {
  struct stat st {};
  return ::lstat(rtl::NativePath(path).c_str(), &st) == 0;
}

// The names every document of the package is written under in folder (ending in "/"), each
// checked before anything is written: a refused name, a path too long, two documents of one name
// or a path already taken stop the extraction.
std::vector<ExtractedName> PlanExtraction(CTdx880Doc& package, const std::string& folder) {
  std::vector<ExtractedName> plan;
  std::set<std::string> names;
  for (int32_t i = 0; i < package.GetFileCount(); ++i) {
    const std::string name = ExtractName(*package.GetFile(i), i);
    const std::string target = folder + name;
    const size_t bytes = rtl::NativePath(target).size();
    if (bytes >= PATH_MAX) {
      throw rtl::Exception(Format("document %d: the path %s is too long (%d bytes, at most %d)",
                                  i + 1, Escaped(target), static_cast<int64_t>(bytes),
                                  PATH_MAX - 1));
    }
    if (!names.insert(name).second || PathTaken(target)) {
      throw rtl::Exception(
          Format("document %d: %s exists already; nothing was written", i + 1, Escaped(target)));
    }
    plan.push_back({i + 1, name});
  }
  return plan;
}

// What extract says about a written document's signatures.
std::string SignatureState(const package::CTdx880Document& item, bool verified) {
  if (item.GetSignatureCount() == 0) {
    return "NOT SIGNED";
  }
  return verified ? "signature(s) valid" : "signature(s) not checked";
}

int RunExtract(const Arguments& arguments) {
  const std::optional<Options> options =
      ParseOptions(arguments, {"-o"},
                   {"--allow-unsigned", "--no-verify", "--no-download", "--no-crl", "--machine"});
  if (!options || options->positional.size() != 1 || !options->Has("-o") ||
      (options->Has("--no-verify") && options->Has("--allow-unsigned"))) {
    return UsageError(kExtractUsage);
  }
  OpenedPackage opened(options->positional[0], options->Has("--machine"));
  CTdx880Doc& package = opened.package;
  const PackageCheck decryption = DecryptPackage(package);
  if (decryption.failed > 0) {
    PrintError(decryption.text);
    return 1;
  }
  const bool verify = !options->Has("--no-verify");
  if (verify) {
    const PackageCheck verification =
        VerifyPackage(package, !options->Has("--no-download"), !options->Has("--no-crl"));
    const PackageVerdict verdict =
        JudgePackage(decryption, verification, options->Has("--allow-unsigned"));
    if (!verdict.valid) {
      PrintError(verification.text + verdict.line + "nothing was written\n");
      return 1;
    }
  }
  const std::string folder = rtl::IncludeTrailingBackslash(FromTerminal(options->Value("-o")));
  const std::vector<ExtractedName> plan = PlanExtraction(package, folder);
  const std::vector<ExtractedFile> files = WriteAllOrNothing(folder, plan, [&](size_t i) {
    return package.GetFile(static_cast<int32_t>(i))->PlainContent();
  });
  std::string text;
  for (size_t i = 0; i < files.size(); ++i) {
    text += Format("%s (%d bytes): %s\n", Escaped(files[i].path), files[i].size,
                   SignatureState(*package.GetFile(static_cast<int32_t>(i)), verify));
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
       "check with --no-crl); one verdict per signature and one line per unsigned document; exit "
       "status 0 only when all are valid and every document is signed (or --allow-unsigned)",
       &Guarded<&RunVerify>},
      {"extract", kExtractUsage.substr(std::string_view("extract ").size()),
       "decrypt and verify a package as verify does (--no-verify: no signature check) and, only "
       "when it is valid, write every document into DIR under the name part of its original "
       "name: all of them or none; existing files are never replaced and nothing is written "
       "outside DIR",
       &Guarded<&RunExtract>},
  };
}

}  // namespace lyr::tool
