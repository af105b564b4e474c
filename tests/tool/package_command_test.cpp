// The tool's package commands (pack, show, verify, extract) and the demo, run as a program in a
// sandbox home whose stores and key containers the test prepares with the library's PKI builder:
// the saved archive checked with unzip -t and xmllint; signed, encrypted, tampered and
// undecryptable packages; hostile original names; the tool stopped by signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "package/tdx880_doc.h"
#include "package/tdx880_document.h"
#include "rtl/format.h"
#include "tool/tool_fixture.h"

namespace lyr::tool {
namespace {

namespace fs = std::filesystem;
using crypt::Certificate;
using rtl::Format;
using test::Occurrences;
using test::Quote;
using test::ToolResult;
using test::Utf8;

// A sandbox home with two documents to pack.
class PackageCommand : public test::ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    declaration_ =
        WriteFile("declaration.xml", "<?xml version=\"1.0\"?><declaration sum=\"125000\"/>\n");
    description_ = WriteFile("TR_DEKL.xml", "<?xml version=\"1.0\"?><description/>\n");
  }

  // "pack" of the two documents for flow 01, transaction 01 with extra arguments; the package's
  // path (the tool's output without its line end).
  std::string Pack(const std::string& extra) {
    const ToolResult result =
        Tool("pack --flow 01 --transaction 01 --sender 7701234567 --receiver 7701 --doc 01:xml:" +
             Quote(declaration_) + " --doc 02:xml:" + Quote(description_) + " " + extra);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.out.empty() ? std::string() : result.out.substr(0, result.out.size() - 1);
  }

  // Rewrites every entry of the package as the Python expression change of name and data, with
  // arg[0], arg[1] the bytes of args and inner(data, a, b) replacing a by b in a stored ZIP.
  void Rewrite(const std::string& package, const std::string& change,
               const std::vector<std::string>& args = {}) const {
    std::string files;
    for (size_t i = 0; i < args.size(); ++i) {
      files += " " + Quote(WriteFile("arg" + std::to_string(i), args[i]));
    }
    const std::string script = WriteFile(
        "rewrite.py",
        "import io, sys, zipfile\n"
        "arg = [open(f, 'rb').read() for f in sys.argv[2:]]\n"
        "def inner(data, a, b):\n"
        "  if not data.startswith(b'PK'): return data\n"
        "  src = zipfile.ZipFile(io.BytesIO(data)).read('file')\n"
        "  if a not in src: return data\n"
        "  out = io.BytesIO()\n"
        "  with zipfile.ZipFile(out, 'w') as one: one.writestr('file', src.replace(a, b))\n"
        "  return out.getvalue()\n"
        "with zipfile.ZipFile(sys.argv[1]) as z: entries = [(i.filename, z.read(i)) for i in "
        "z.infolist()]\n"
        "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as out:\n"
        "  for name, data in entries: out.writestr(name, " +
            change + ")\n");
    ASSERT_EQ(lyr::test::RunCommand("python3 " + Quote(script) + " " + Quote(package) + files), 0);
  }
  // Replaces from by to in the package's description.
  void ReplaceInDescription(const std::string& package, const std::string& from,
                            const std::string& to) const {
    Rewrite(package, "data.replace(arg[0], arg[1]) if name == 'packageDescription.xml' else data",
            {from, to});
  }

  std::string declaration_;
  std::string description_;
};

// pack, show and extract of an unsigned package (the archive read by the peers); an extract that
// would replace a file writes nothing.
TEST_F(PackageCommand, PacksShowsAndExtracts) {
  const std::string path = Pack("-o " + Quote(PathOf("out") + "/"));
  EXPECT_TRUE(std::regex_match(
      path, std::regex(PathOf("out") + "/TDX_7701234567_7701_[0-9a-f]{32}_01_01_01\\.zip")));
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq " + Quote(path) + " >/dev/null && unzip -p " +
                                  Quote(path) + " packageDescription.xml | xmllint --noout - 2>&1"),
            0);
  const ToolResult show = Tool("show " + Quote(path));
  EXPECT_NE(show.out.find(Utf8(u8"flow: 01 Декларация\ntransaction: 01 ДекларацияНП\n")),
            std::string::npos)
      << show.out;
  for (const char8_t* line :
       {u8"sender: 7701234567 (абонент)\nreceiver: 7701 (налоговыйОрган)\n", u8"documents: 2\n",
        u8"document 1: declaration.xml\n  type: 01 декларация, content type xml\n  compressed: "
        u8"yes, encrypted: no\n  content file: "}) {
    EXPECT_NE(show.out.find(Utf8(line)), std::string::npos) << Utf8(line) << show.out;
  }
  EXPECT_EQ(Occurrences(show.out, "  signatures: 0 (NOT SIGNED)\n"), 2) << show.out;
  const std::string extract = "extract " + Quote(path) + " -o " + Quote(PathOf("docs"));
  WriteFile("docs/TR_DEKL.xml", "mine");
  ToolResult result = Tool(extract + " --no-verify");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "document 2: " + PathOf("docs/TR_DEKL.xml") + " exists already; nothing was written\n");
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/TR_DEKL.xml")), "mine");
  EXPECT_FALSE(fs::exists(PathOf("docs/declaration.xml")));
  fs::remove(PathOf("docs/TR_DEKL.xml"));
  result = Tool(extract + " --allow-unsigned");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/declaration.xml")), lyr::test::ReadAll(declaration_));
  EXPECT_EQ(result.out, PathOf("docs/declaration.xml") + " (49 bytes): NOT SIGNED\n" +
                            PathOf("docs/TR_DEKL.xml") + " (36 bytes): NOT SIGNED\n");
  const std::string named = Pack("--sos 2AE -o " + Quote(PathOf("named.zip")));
  EXPECT_EQ(named, PathOf("named.zip"));
  EXPECT_NE(Tool("show " + Quote(named)).out.find("special operator: 2AE\n"), std::string::npos);
}

// The same home with the chain scenario's root trusted, its intermediate and both revocation
// lists in "CA", the abonent's (the scenario's user) and the tax authority's (its directly issued
// user) certificates in "MY" bound to their key containers (so one home both sends and receives),
// and the tax authority's also in "addressbook".
class PackageCryptoCommand : public PackageCommand {
 protected:
  void SetUp() override {
    PackageCommand::SetUp();
    scenario_.emplace(Home() / "scenario");
    scenario_->TrustRoot();
    scenario_->AddIntermediateToCa();
    lyr::test::AddCrlToStore(scenario_->root_crl);
    lyr::test::AddCrlToStore(scenario_->inter_crl);
    abonent_ = lyr::test::InstallSigner(scenario_->user, "abonent");
    tax_ = lyr::test::InstallSigner(scenario_->direct, "tax");
    lyr::test::AddToStore(*tax_, "addressbook");
  }
  std::string Signed(const std::string& extra) {
    return Pack("--sign " + abonent_->Thumbprint() + " " + extra);
  }
  // What verify prints for a signature of the abonent on document index (name).
  std::string Signature(int index, const std::string& name, const std::string& verdict) const {
    return Format("document %d (%s), signature 1, signer Scenario User (%s): %s", index, name,
                  abonent_->Thumbprint(), verdict);
  }

  std::optional<lyr::test::ChainScenario> scenario_;
  std::optional<Certificate> abonent_;
  std::optional<Certificate> tax_;
};

// A signed and encrypted package: what "show" prints, every signature valid after decryption,
// extract decrypting every document; then its declaration tampered with.
TEST_F(PackageCryptoCommand, SignsEncryptsVerifiesExtractsAndSeesTampering) {
  const std::string path =
      Signed("--encrypt-for " + tax_->Thumbprint() + " -o " + Quote(PathOf("p.zip")));
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq " + Quote(path) + " >/dev/null"), 0);
  const std::string shown = Tool("show " + Quote(path)).out;
  EXPECT_NE(shown.find(Utf8(u8"declaration.xml\n  type: 01 декларация, content type xml\n  "
                            u8"compressed: yes, encrypted: yes\n")),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("xml\n  compressed: yes, encrypted: no\n"), std::string::npos);
  EXPECT_EQ(Occurrences(shown, Utf8(u8", role абонент, signer Scenario User (") +
                                   abonent_->Thumbprint() + ")\n"),
            2)
      << shown;
  ToolResult result = Tool("verify " + Quote(path) + " --no-download");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "document 1 (declaration.xml): decrypted\n" +
                            Signature(1, "declaration.xml", "valid\n") +
                            Signature(2, "TR_DEKL.xml", "valid\n") +
                            "result: every signature is valid (2)\n");
  result = Tool("extract " + Quote(path) + " -o " + Quote(PathOf("docs")) + " --no-download");
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/declaration.xml")), lyr::test::ReadAll(declaration_));
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/TR_DEKL.xml")), lyr::test::ReadAll(description_));

  const std::string plain = Signed("-o " + Quote(PathOf("plain.zip")));
  Rewrite(plain, "inner(data, b'125000', b'999999')");
  result = Tool("verify " + Quote(plain) + " --no-download");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find(Signature(1, "declaration.xml", "NOT VALID (code 22): ")),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find(Signature(2, "TR_DEKL.xml", "valid\n")), std::string::npos);
  EXPECT_TRUE(result.out.ends_with("result: NOT VALID: 1 failure(s)\n")) << result.out;
}

TEST_F(PackageCryptoCommand, SignsOnlyTheNamedDocumentsAndKeepsWhatNoKeyOpens) {
  const std::string named = Signed(Quote(declaration_) + " -o " + Quote(PathOf("named.zip")));
  const std::string shown = Tool("show " + Quote(named)).out;
  EXPECT_EQ(Occurrences(shown, "  signatures: 1\n"), 1) << shown;
  EXPECT_EQ(Occurrences(shown, "  signatures: 0 (NOT SIGNED)\n"), 1) << shown;
  EXPECT_LT(shown.find("  signatures: 1\n"), shown.find("TR_DEKL.xml"));
  // A recipient whose key is nowhere on this machine.
  const std::string stranger = WriteFile("stranger.cer", scenario_->bare.certificate.Der());
  const std::string path =
      Signed("--encrypt-cert " + Quote(stranger) + " -o " + Quote(PathOf("s.zip")));
  const ToolResult result = Tool("verify " + Quote(path) + " --no-download");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("document 1 (declaration.xml): NOT DECRYPTED: "), std::string::npos);
  EXPECT_NE(
      result.out.find(Signature(1, "declaration.xml", "NOT CHECKED: the document is encrypted\n")),
      std::string::npos)
      << result.out;
  EXPECT_TRUE(result.out.ends_with("result: NOT VALID: 2 failure(s)\n")) << result.out;
  const ToolResult extract = Tool("extract " + Quote(path) + " -o " + Quote(PathOf("docs")));
  EXPECT_EQ(extract.status, 1);
  EXPECT_NE(extract.err.find("document 1 (declaration.xml): NOT DECRYPTED: "), std::string::npos);
  EXPECT_FALSE(fs::exists(PathOf("docs")));
}

// A signed package a stranger altered through the library (opened, changed, saved in place): no
// verify without --allow-unsigned, no extract at all.
struct AlteredCase {
  std::string name;
  std::function<void(package::CTdx880Doc&)> change;
  std::string unsigned_document;  // as verify names it
  int valid;                      // signatures left valid
};

class AlteredPackage : public PackageCryptoCommand,
                       public ::testing::WithParamInterface<AlteredCase> {};

TEST_P(AlteredPackage, IsReportedAndNeverExtracted) {
  const std::string path = Signed("-o " + Quote(PathOf("p.zip")));
  package::CTdx880Doc package;
  package.Open(path);
  GetParam().change(package);
  package.Save();
  const std::string command = "verify " + Quote(path) + " --no-download";
  const ToolResult verify = Tool(command);
  EXPECT_EQ(verify.status, 1);
  EXPECT_NE(verify.out.find(GetParam().unsigned_document + ": NOT SIGNED\n"), std::string::npos);
  EXPECT_TRUE(verify.out.ends_with("result: NOT VALID: 1 document(s) NOT SIGNED\n")) << verify.out;
  const ToolResult allowed = Tool(command + " --allow-unsigned");
  EXPECT_EQ(allowed.status, 0);
  EXPECT_TRUE(allowed.out.ends_with(
      Format("result: every signature is valid (%d); 1 document(s) NOT SIGNED, allowed by "
             "--allow-unsigned\n",
             GetParam().valid)))
      << allowed.out;
  const ToolResult extract =
      Tool("extract " + Quote(path) + " -o " + Quote(PathOf("docs")) + " --no-download");
  EXPECT_EQ(extract.status, 1);
  EXPECT_TRUE(
      extract.err.ends_with("result: NOT VALID: 1 document(s) NOT SIGNED\nnothing was written\n"))
      << extract.err;
  EXPECT_FALSE(fs::exists(PathOf("docs")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AlteredPackage,
    ::testing::Values(AlteredCase{"SignatureEntryRemoved",
                                  [](package::CTdx880Doc& p) { p.DeleteFileSignatures(1); },
                                  "document 2 (TR_DEKL.xml)", 1},
                      AlteredCase{"UnsignedSecondDocumentWithNewContent",
                                  [](package::CTdx880Doc& p) {
                                    p.DeleteFileSignatures(1);
                                    p.GetFile(1)->SetContent("<forged/>");
                                  },
                                  "document 2 (TR_DEKL.xml)", 1},
                      AlteredCase{"ExtraUnsignedDocument",
                                  [](package::CTdx880Doc& p) {
                                    p.AddFile("02", "xml", "forged.xml", "<forged/>");
                                  },
                                  "document 3 (forged.xml)", 2}),
    [](const ::testing::TestParamInfo<AlteredCase>& info) { return info.param.name; });

// Control characters of a description never reach the terminal.
TEST_F(PackageCommand, ShowEscapesControlCharactersOfTheDescription) {
  const std::string path = Pack("-o " + Quote(PathOf("c.zip")));
  ReplaceInDescription(path, "=\"declaration.xml\"", "=\"a\x1b[2J&#13;&#10;b&#9;.xml\"");
  ReplaceInDescription(path, "7701234567", "77\x1b]0;owned\x07\x1b[2J");
  const ToolResult result = Tool("show " + Quote(path));
  EXPECT_NE(result.out.find("document 1: a\\x1B[2J\\r\\nb\\t.xml\n"), std::string::npos);
  EXPECT_NE(result.out.find(Utf8(u8"sender: 77\\x1B]0;owned\\x07\\x1B[2J (абонент)\n")),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find_first_of("\x1b\x07\r"), std::string::npos);
}

// A hostile original name in a package's description: extract writes the file under the name's
// last part and says so, or refuses the package and writes nothing; nothing lands outside.
struct HostileCase {
  std::string name;
  std::string original;  // as the description holds it
  std::string written;   // the file written, "" when extract refuses the package
  std::string message;   // the refusal, after "document 1: "
};

std::string NamesNoFile(const std::string& shown) {
  return "the original name \"" + shown + "\" names no file";
}

std::string Repeated(const std::string& text, int times) {
  std::string result;
  for (int i = 0; i < times; ++i) {
    result += text;
  }
  return result;
}

std::string TooLong(const std::string& name) {
  return "the name \"" + name + "\" is too long for a file (256 bytes, at most 255)";
}

class ExtractHostileName : public PackageCommand,
                           public ::testing::WithParamInterface<HostileCase> {
 protected:
  // Extracts a package whose declaration has the original name into folder.
  ToolResult Extract(const std::string& original, const std::string& folder) {
    const std::string path = Pack("-o " + Quote(PathOf("h.zip")));
    ReplaceInDescription(path, "=\"declaration.xml\"", "=\"" + original + "\"");
    fs::create_directories(PathOf("a/b/docs"));
    return Tool("extract " + Quote(path) + " -o " + Quote(folder) + " --allow-unsigned");
  }
  void ExpectRefused(const ToolResult& result, const std::string& message) {
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "document 1: " + message + "\n");
    EXPECT_TRUE(fs::is_empty(PathOf("a/b/docs")));
    EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
  }
};

TEST_P(ExtractHostileName, StaysInsideTheFolder) {
  const HostileCase& c = GetParam();
  const ToolResult result = Extract(c.original, PathOf("a/b/docs"));
  for (const char* outside : {"a/b/x", "a/x", "x"}) {
    EXPECT_FALSE(fs::exists(PathOf(outside))) << outside;
  }
  if (c.written.empty()) {
    ExpectRefused(result, c.message);
    return;
  }
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "tdx880: document 1: the original name \"" + c.original +
                            "\" is written as \"" + c.written + "\"\n");
  EXPECT_EQ(lyr::test::ReadAll(PathOf("a/b/docs/" + c.written)), lyr::test::ReadAll(declaration_));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractHostileName,
    ::testing::Values(HostileCase{"ParentFolder", "../x", "x", ""},
                      HostileCase{"TwoParentFolders", "../../x", "x", ""},
                      HostileCase{"AbsolutePath", "/etc/x", "x", ""},
                      HostileCase{"Backslashes", "..\\..\\x", "x", ""},
                      HostileCase{"OnlyDotDot", "..", "", NamesNoFile("..")},
                      HostileCase{"TrailingSlash", "x/", "", NamesNoFile("x/")},
                      HostileCase{"Escape", "a\x1b[2Jb", "", NamesNoFile("a\\x1B[2Jb")},
                      HostileCase{"LineEnds", "a&#13;&#10;b", "", NamesNoFile("a\\r\\nb")},
                      HostileCase{"Tab", "a&#9;b", "", NamesNoFile("a\\tb")},
                      HostileCase{"NameOverNameMax", std::string(256, 'n'), "",
                                  TooLong(std::string(256, 'n'))},
                      // 128 characters, but 256 bytes of UTF-8.
                      HostileCase{"CyrillicNameOverNameMax", Repeated("&#1078;", 128), "",
                                  TooLong(Repeated(Utf8(u8"ж"), 128))}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

TEST_F(ExtractHostileName, PathOverPathMax) {
  const std::string folder = PathOf("a/b/docs/" + Repeated(std::string(250, 'f') + "/", 16));
  const std::string target = folder + std::string(255, 'p');
  ExpectRefused(Extract(std::string(255, 'p'), folder),
                Format("the path %s is too long (%d bytes, at most 4095)", target,
                       static_cast<int64_t>(target.size())));
}

// Twenty processes extract twenty packages with the same document names into one folder: one
// writes both files, every other fails clearly, replaces nothing and leaves nothing behind.
TEST_F(PackageCommand, ConcurrentExtractsNeverReplaceAFile) {
  std::string script;
  for (int i = 0; i < 20; ++i) {
    WriteFile("declaration.xml", Format("<d n=\"%d\"/>", i));
    WriteFile("TR_DEKL.xml", Format("<t n=\"%d\"/>", i));
    const std::string path = Pack("-o " + Quote(PathOf(Format("p%d.zip", i))));
    script +=
        Format("(%s extract '%s' -o '%s' --allow-unsigned >/dev/null 2>'%s'; echo $? >'%s') &\n",
               std::string(LYR_TDX880_TOOL), path, PathOf("docs"), PathOf(Format("e%d", i)),
               PathOf(Format("s%d", i)));
  }
  ASSERT_EQ(lyr::test::RunCommand(script + "wait\n"), 0);
  int winner = -1;
  for (int i = 0; i < 20; ++i) {
    if (lyr::test::ReadAll(PathOf(Format("s%d", i))) == "0\n") {
      EXPECT_EQ(winner, -1) << "two extractions succeeded";
      winner = i;
      continue;
    }
    EXPECT_EQ(lyr::test::ReadAll(PathOf(Format("s%d", i))), "1\n");
    EXPECT_EQ(
        lyr::test::ReadAll(PathOf(Format("e%d", i))),
        "document 1: " + PathOf("docs/declaration.xml") + " exists already; nothing was written\n");
  }
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/declaration.xml")) +
                lyr::test::ReadAll(PathOf("docs/TR_DEKL.xml")),
            Format("<d n=\"%d\"/><t n=\"%d\"/>", winner, winner));
  EXPECT_EQ(std::distance(fs::directory_iterator(PathOf("docs")), fs::directory_iterator()), 2);
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

// A signal stops the tool at work (verifying or extracting a large signed document, or reading a
// document from a pipe no one writes): what it made goes and the exit status is 128 + signal. A
// tool killed outright leaves its folders, and the next run sweeps them.
struct SignalCase {
  std::string name;
  int signal;
  std::vector<std::string> arguments;  // "PIPE": the pipe, "LARGE": a large signed package
  std::string busy;                    // an entry below this folder shows the tool at work:
  int depth;  // at this depth (0: the tool's own folder in TMP; 1: a staged file)
};

class StoppedTool : public PackageCryptoCommand,
                    public ::testing::WithParamInterface<SignalCase> {};

TEST_P(StoppedTool, LeavesNothingBehind) {
  const std::string pipe = PathOf("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::vector<std::string> arguments = {LYR_TDX880_TOOL};
  std::string command;  // the same as a shell text
  for (const std::string& argument : GetParam().arguments) {
    if (argument == "LARGE") {
      declaration_ = WriteFile("large.xml", std::string(size_t{32} << 20, 'x'));
      arguments.push_back(Signed("-o " + Quote(PathOf("large.zip"))));
    } else if (argument.ends_with("PIPE")) {
      arguments.push_back(argument.substr(0, argument.size() - 4) + pipe);
    } else {
      arguments.push_back(argument == "DOCS" ? PathOf("docs") : argument);
    }
    command += Quote(arguments.back()) + " ";
  }
  std::vector<char*> argv;
  for (std::string& argument : arguments) {
    argv.push_back(argument.data());
  }
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, GetParam().signal);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  // The tool's folder in TMP (a package of this size passes through memory, so no working folder
  // appears inside), or a staged file inside the staging folder; not a lock file, which comes
  // before its folder.
  bool busy = false;
  for (int i = 0; i < 40000 && !busy; ++i) {
    ::usleep(500);
    std::error_code error;
    for (fs::recursive_directory_iterator it(PathOf(GetParam().busy), error), end;
         !error && it != end && !busy; it.increment(error)) {
      busy = it.depth() == GetParam().depth && it->path().extension() != ".lock";
    }
  }
  EXPECT_TRUE(busy);
  ASSERT_EQ(::kill(pid, GetParam().signal), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  if (GetParam().signal == SIGKILL) {
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(fs::is_empty(PathOf(GetParam().busy)));
    const ToolResult again = Tool(command);
    EXPECT_EQ(again.status, 0) << again.err;
    if (GetParam().busy == "docs") {
      EXPECT_EQ(std::distance(fs::directory_iterator(PathOf("docs")), fs::directory_iterator()), 2);
    }
  } else {
    EXPECT_EQ(status, W_EXITCODE(128 + GetParam().signal, 0));
    EXPECT_FALSE(fs::exists(PathOf("docs")));
  }
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

const std::vector<std::string> kVerifyLarge = {"verify", "LARGE", "--no-download"};
const std::vector<std::string> kExtractLarge = {"extract", "LARGE", "-o", "DOCS", "--no-download"};
const std::vector<std::string> kPackPipe = {"pack", "--flow",   "01",         "--transaction",
                                            "01",   "--sender", "1",          "--receiver",
                                            "2",    "--doc",    "01:xml:PIPE"};

INSTANTIATE_TEST_SUITE_P(
    Cases, StoppedTool,
    ::testing::Values(SignalCase{"VerifyBySigterm", SIGTERM, kVerifyLarge, "tmp", 0},
                      SignalCase{"VerifyBySighup", SIGHUP, kVerifyLarge, "tmp", 0},
                      SignalCase{"VerifyBySigint", SIGINT, kVerifyLarge, "tmp", 0},
                      SignalCase{"PackBySigterm", SIGTERM, kPackPipe, "tmp", 0},
                      SignalCase{"VerifyBySigkill", SIGKILL, kVerifyLarge, "tmp", 0},
                      SignalCase{"ExtractBySigterm", SIGTERM, kExtractLarge, "docs", 1},
                      SignalCase{"ExtractBySigkill", SIGKILL, kExtractLarge, "docs", 1}),
    [](const ::testing::TestParamInfo<SignalCase>& info) { return info.param.name; });

// The demonstration ends with every signature valid and the notice of receipt confirming every
// file; run in a temporary home it removes it, kept (here with GOST R 34.10-2012 keys) it leaves a
// package that the tax authority's home opens.
TEST_F(PackageCommand, DemoRemovesItsTemporaryHome) {
  const ToolResult result = Tool("demo --alg gost2012-256");
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(Occurrences(result.out, "): valid\n"), 3) << result.out;
  EXPECT_TRUE(result.out.starts_with("tdx880 demo in " + PathOf("tmp") + "/lyr-tdx880-demo-"));
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
  EXPECT_FALSE(fs::exists(PathOf("user")));
}

TEST_F(PackageCommand, DemoKeepsItsHomeWhereAnotherRunCanReadThePackage) {
  const ToolResult result = Tool("demo --alg gost2012-512 --keep " + Quote(PathOf("demo")));
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(Occurrences(result.out, "): valid\n"), 3) << result.out;
  EXPECT_NE(result.out.find("result: every signature is valid (2)\n"), std::string::npos);
  EXPECT_EQ(Occurrences(result.out, "signature(s) equal to the ones sent\n"), 2) << result.out;
  EXPECT_NE(result.out.find("result: the notice is signed by the tax authority and confirms every "
                            "file sent\n"),
            std::string::npos);
  const fs::path package = fs::directory_iterator(PathOf("demo/outbox"))->path();
  // The sandbox's own home holds no key that opens the package; the tax authority's home does.
  EXPECT_EQ(Tool("verify " + Quote(package) + " --no-download").status, 1);
  ASSERT_EQ(::setenv("LYR_TDX_HOME", PathOf("demo/tax-authority").c_str(), 1), 0);
  const ToolResult verify = Tool("verify " + Quote(package) + " --no-download");
  EXPECT_EQ(verify.status, 0) << verify.out << verify.err;
  const ToolResult full = Tool("demo --keep " + Quote(PathOf("demo")));
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "the folder " + PathOf("demo") + " is not empty\n");
}

}  // namespace
}  // namespace lyr::tool
