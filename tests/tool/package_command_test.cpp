// The package commands and the demo: archives checked with unzip and xmllint; signed, encrypted,
// altered and undecryptable packages; hostile names; concurrent extracts; signals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include "package/tdx880_document.h"
#include "rtl/format.h"
#include "tool/tool_fixture.h"

namespace lyr::tool {
namespace {

namespace fs = std::filesystem;
using rtl::Format;
using test::Occurrences;
using test::Quote;
using test::ToolResult;
using test::Utf8;

const std::string kRewrite = R"(import io, os, sys, zipfile as Z
arg = [os.fsencode(a) for a in sys.argv[2:]]
def inner(d, a, b):
  s = Z.ZipFile(io.BytesIO(d)).read('file') if d.startswith(b'PK') else b''
  if a not in s: return d
  o = io.BytesIO()
  with Z.ZipFile(o, 'w') as z: z.writestr('file', s.replace(a, b))
  return o.getvalue()
with Z.ZipFile(sys.argv[1]) as z: entries = [(i.filename, z.read(i)) for i in z.infolist()]
with Z.ZipFile(sys.argv[1], 'w', Z.ZIP_DEFLATED) as out:
  for name, data in entries: out.writestr(name, )";

class PackageCommand : public test::ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    declaration_ = WriteFile("declaration.xml", "<?xml version=\"1.0\"?><d sum=\"125000\"/>\n");
    description_ = WriteFile("TR_DEKL.xml", "<?xml version=\"1.0\"?><description/>\n");
  }
  // The path "pack" of the two documents (flow 01, transaction 01) prints.
  std::string Pack(const std::string& extra) {
    const ToolResult result =
        Tool("pack --flow 01 --transaction 01 --sender 7701234567 --receiver 7701 --doc 01:xml:" +
             Quote(declaration_) + " --doc 02:xml:" + Quote(description_) + " " + extra);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    return result.out.substr(0, result.out.find('\n'));
  }
  // Rewrites every entry as the Python expression change of name, data and arg (the arguments as
  // bytes); inner(data, a, b) replaces a by b inside a document's own stored ZIP.
  void Rewrite(const std::string& package, const std::string& change,
               const std::vector<std::string>& args = {}) const {
    std::string command = "python3 " + Quote(WriteFile("rewrite.py", kRewrite + change + ")\n")) +
                          " " + Quote(package);
    for (const std::string& arg : args) {
      command += " " + Quote(arg);
    }
    ASSERT_EQ(lyr::test::RunCommand(command), 0);
  }
  std::string declaration_, description_;
};

// pack, show and extract of an unsigned package; an extract that would replace a file writes
// nothing.
TEST_F(PackageCommand, PacksShowsAndExtracts) {
  const std::string path = Pack("-o " + Quote(PathOf("out") + "/"));
  EXPECT_TRUE(std::regex_match(
      path, std::regex(PathOf("out") + "/TDX_7701234567_7701_[0-9a-f]{32}_01_01_01\\.zip")));
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq " + Quote(path) + " >/dev/null && unzip -p " +
                                  Quote(path) + " packageDescription.xml | xmllint --noout - 2>&1"),
            0);
  const std::string shown = Tool("show " + Quote(path)).out;
  EXPECT_NE(shown.find(Utf8(u8"flow: 01 Декларация\ntransaction: 01 ДекларацияНП\n")),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find(Utf8(u8"sender: 7701234567 (абонент)\nreceiver: 7701 (налоговыйОрган)\n"
                            u8"documents: 2\ndocument 1: declaration.xml\n  type: 01 декларация, "
                            u8"content type xml\n  compressed: yes, encrypted: no\n  content "
                            u8"file: ")),
            std::string::npos)
      << shown;
  EXPECT_EQ(Occurrences(shown, "  signatures: 0 (NOT SIGNED)\n"), 2) << shown;
  const std::string extract = "extract " + Quote(path) + " -o docs";
  WriteFile("docs/TR_DEKL.xml", "mine");
  ToolResult result = Tool(extract + " --no-verify");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "document 2: docs/TR_DEKL.xml exists already; nothing was written\n");
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/TR_DEKL.xml")), "mine");
  EXPECT_FALSE(fs::exists(PathOf("docs/declaration.xml")));
  fs::remove(PathOf("docs/TR_DEKL.xml"));
  result = Tool(extract + " --allow-unsigned");
  EXPECT_EQ(
      result.out,
      "docs/declaration.xml (39 bytes): NOT SIGNED\ndocs/TR_DEKL.xml (36 bytes): NOT SIGNED\n");
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/declaration.xml")), lyr::test::ReadAll(declaration_));
  EXPECT_EQ(Pack("--sos 2AE -o named.zip"), PathOf("named.zip"));
  EXPECT_NE(Tool("show named.zip").out.find("special operator: 2AE\n"), std::string::npos);
}

// The chain scenario's root trusted, its intermediate and CRLs in "CA"; the abonent's (its user)
// and the tax authority's (its direct user) keys in "MY", the tax authority's also in addressbook.
class PackageCryptoCommand : public PackageCommand {
 protected:
  void SetUp() override {
    PackageCommand::SetUp();
    scenario_.emplace(Home() / "scenario");
    scenario_->TrustAll();
    abonent_ = lyr::test::InstallSigner(scenario_->user, "abonent").Thumbprint();
    tax_ = lyr::test::InstallSigner(scenario_->direct, "tax").Thumbprint();
    lyr::test::AddToStore(scenario_->direct.certificate, "addressbook");
  }
  std::string Signed(const std::string& extra) { return Pack("--sign " + abonent_ + " " + extra); }
  // What verify prints for the abonent's signature of a document.
  std::string Signature(int index, const std::string& name, const std::string& verdict) const {
    return Format("document %d (%s), signature 1, signer Scenario User (%s): %s", index, name,
                  abonent_, verdict);
  }
  std::optional<lyr::test::ChainScenario> scenario_;
  std::string abonent_, tax_;
};

TEST_F(PackageCryptoCommand, SignsEncryptsVerifiesExtractsAndSeesTampering) {
  const std::string path = Signed("--encrypt-for " + tax_ + " -o p.zip");
  EXPECT_EQ(lyr::test::RunCommand("unzip -tq " + Quote(path) + " >/dev/null"), 0);
  const std::string shown = Tool("show p.zip").out;
  EXPECT_NE(shown.find("xml\n  compressed: yes, encrypted: yes\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("xml\n  compressed: yes, encrypted: no\n"), std::string::npos);
  EXPECT_EQ(Occurrences(shown, Utf8(u8", role абонент, signer Scenario User (") + abonent_ + ")\n"),
            2);
  ToolResult result = Tool("verify p.zip --no-download");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "document 1 (declaration.xml): decrypted\n" +
                            Signature(1, "declaration.xml", "valid\n") +
                            Signature(2, "TR_DEKL.xml", "valid\n") +
                            "result: every signature is valid (2)\n");
  ASSERT_EQ(Tool("extract p.zip -o docs --no-download").status, 0);
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/declaration.xml")), lyr::test::ReadAll(declaration_));
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/TR_DEKL.xml")), lyr::test::ReadAll(description_));
  Rewrite(Signed("-o plain.zip"), "inner(data, b'125000', b'999999')");
  result = Tool("verify plain.zip --no-download");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find(Signature(1, "declaration.xml", "NOT VALID (code 22): ")),
            std::string::npos)
      << result.out;
  EXPECT_TRUE(result.out.ends_with(Signature(2, "TR_DEKL.xml", "valid\n") +
                                   "result: NOT VALID: 1 failure(s)\n"))
      << result.out;
}

TEST_F(PackageCryptoCommand, SignsOnlyTheNamedDocumentsAndKeepsWhatNoKeyOpens) {
  const std::string shown = Tool("show " + Signed(Quote(declaration_) + " -o named.zip")).out;
  EXPECT_LT(shown.find("  signatures: 1\n"), shown.find("TR_DEKL.xml"));
  EXPECT_EQ(Occurrences(shown, "  signatures: 0 (NOT SIGNED)\n"), 1) << shown;
  // A recipient whose key is nowhere on this machine.
  WriteFile("stranger.cer", scenario_->bare.certificate.Der());
  Signed("--encrypt-cert stranger.cer -o s.zip");
  const ToolResult result = Tool("verify s.zip --no-download");
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.out.starts_with("document 1 (declaration.xml): NOT DECRYPTED: "))
      << result.out;
  EXPECT_NE(
      result.out.find(Signature(1, "declaration.xml", "NOT CHECKED: the document is encrypted\n")),
      std::string::npos)
      << result.out;
  EXPECT_TRUE(result.out.ends_with("result: NOT VALID: 2 failure(s)\n")) << result.out;
  const ToolResult extract = Tool("extract s.zip -o docs");
  EXPECT_EQ(extract.status, 1);
  EXPECT_TRUE(extract.err.starts_with("document 1 (declaration.xml): NOT DECRYPTED: "));
  EXPECT_FALSE(fs::exists(PathOf("docs")));
}

// A signed package a stranger altered through the library (a signature removed, an unsigned
// document added): no verify without --allow-unsigned, no extract at all.
TEST_F(PackageCryptoCommand, AlteredPackagesAreReportedAndNeverExtracted) {
  const std::tuple<std::function<void(package::CTdx880Doc&)>, std::string, int> cases[] = {
      {[](package::CTdx880Doc& p) { p.DeleteFileSignatures(1); }, "document 2 (TR_DEKL.xml)", 1},
      {[](package::CTdx880Doc& p) { p.AddFile("02", "xml", "forged.xml", "<f/>"); },
       "document 3 (forged.xml)", 2}};
  for (const auto& [change, unsigned_document, valid] : cases) {
    package::CTdx880Doc package;
    package.Open(Signed(Format("-o p%d.zip", valid)));
    change(package);
    package.Save();
    const std::string refused = "result: NOT VALID: 1 document(s) NOT SIGNED\n";
    const std::string verify = Format("verify p%d.zip --no-download", valid);
    const ToolResult result = Tool(verify);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.out.find(unsigned_document + ": NOT SIGNED\n" + refused), std::string::npos)
        << result.out;
    const ToolResult allowed = Tool(verify + " --allow-unsigned");
    EXPECT_EQ(allowed.status, 0);
    EXPECT_TRUE(
        allowed.out.ends_with(Format("result: every signature is valid (%d); 1 document(s) "
                                     "NOT SIGNED, allowed by --allow-unsigned\n",
                                     valid)))
        << allowed.out;
    const ToolResult extract = Tool(Format("extract p%d.zip -o docs --no-download", valid));
    EXPECT_EQ(extract.status, 1);
    EXPECT_TRUE(extract.err.ends_with(refused + "nothing was written\n")) << extract.err;
    EXPECT_FALSE(fs::exists(PathOf("docs")));
  }
}

// A hostile original name: extract writes the file under the name's last part and says so, or
// refuses the package and writes nothing; nothing lands outside; show prints no control character.
struct HostileCase {
  std::string name, original;
  std::string written;  // "" when extract refuses the package
  std::string message;  // the refusal, after "document 1: "
};

std::string NamesNoFile(const std::string& shown) {
  return "the original name \"" + shown + "\" names no file";
}

std::string Repeated(const std::string& text, int times) {
  std::string result;
  while (times-- > 0) {
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
  ToolResult Extract(const std::string& original, const std::string& folder) {
    // (An identifier with control characters is refused when the package is read.)
    Rewrite(Pack("-o h.zip"),
            "data.replace(arg[0], arg[1]) if name == 'packageDescription.xml' else data",
            {"=\"declaration.xml\"", "=\"" + original + "\""});
    EXPECT_EQ(Tool("show h.zip").out.find_first_of("\x1b\x07\r\t"), std::string::npos);
    fs::create_directories(PathOf("a/b/docs"));
    return Tool("extract h.zip -o " + Quote(folder) + " --allow-unsigned");
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
  EXPECT_EQ(result.err, "tdx880: document 1: the original name \"" + c.original +
                            "\" is written as \"" + c.written + "\"\n");
  EXPECT_EQ(lyr::test::ReadAll(PathOf("a/b/docs/" + c.written)), lyr::test::ReadAll(declaration_));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExtractHostileName,
    ::testing::Values(
        HostileCase{"ParentFolder", "../x", "x", ""},
        HostileCase{"AbsolutePath", "/etc/x", "x", ""},
        HostileCase{"Backslashes", "..\\..\\x", "x", ""},
        HostileCase{"OnlyDotDot", "..", "", NamesNoFile("..")},
        HostileCase{"TrailingSlash", "x/", "", NamesNoFile("x/")},
        HostileCase{"Escape", "a\x1b[2Jb", "", NamesNoFile("a\\x1B[2Jb")},
        HostileCase{"LineEndsAndTab", "a&#13;&#10;&#9;b", "", NamesNoFile("a\\r\\n\\tb")},
        HostileCase{"NameOverNameMax", std::string(256, 'n'), "", TooLong(std::string(256, 'n'))},
        // 128 characters, but 256 bytes of UTF-8.
        HostileCase{"CyrillicNameOverNameMax", Repeated("&#1078;", 128), "",
                    TooLong(Repeated(Utf8(u8"ж"), 128))}),
    [](const auto& info) { return info.param.name; });

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
    script +=
        Format("(%s extract '%s' -o '%s' --allow-unsigned >/dev/null 2>'%s'; echo $? >'%s') &\n",
               std::string(LYR_TDX880_TOOL), Pack(Format("-o p%d.zip", i)), PathOf("docs"),
               PathOf(Format("e%d", i)), PathOf(Format("s%d", i)));
  }
  const auto taken = [&](int number, const std::string& name) {
    return Format("document %d: %s exists already; nothing was written\n", number,
                  PathOf("docs/" + name));
  };
  ASSERT_EQ(lyr::test::RunCommand(script + "wait\n"), 0);
  int winner = -1;
  for (int i = 0; i < 20; ++i) {
    if (lyr::test::ReadAll(PathOf(Format("s%d", i))) == "0\n") {
      EXPECT_EQ(winner, -1) << "two extractions succeeded";
      winner = i;
      continue;
    }
    EXPECT_EQ(lyr::test::ReadAll(PathOf(Format("s%d", i))), "1\n");
    // The check of the names before anything is staged may fall between the winner's two moves.
    const std::string error = lyr::test::ReadAll(PathOf(Format("e%d", i)));
    EXPECT_TRUE(error == taken(1, "declaration.xml") || error == taken(2, "TR_DEKL.xml")) << error;
  }
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/declaration.xml")) +
                lyr::test::ReadAll(PathOf("docs/TR_DEKL.xml")),
            Format("<d n=\"%d\"/><t n=\"%d\"/>", winner, winner));
  EXPECT_EQ(std::distance(fs::directory_iterator(PathOf("docs")), fs::directory_iterator()), 2);
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

// A signal stops the tool at work (verifying, extracting or mailing a large signed package, or
// reading one back from a message): what it made goes and the exit status is 128 + signal. A
// tool killed outright leaves its folders, and the next run sweeps them.
struct SignalCase {
  std::string name;
  int signal;
  std::string arguments;
  std::string busy;  // an entry below this folder at this depth shows the tool at work (0: its
  int depth;         // own folder in TMP, not the lock file before it; 1: a staged file)
};

class StoppedTool : public PackageCryptoCommand,
                    public ::testing::WithParamInterface<SignalCase> {};

TEST_P(StoppedTool, LeavesNothingBehind) {
  const SignalCase& c = GetParam();
  if (c.arguments.find("large.") != std::string::npos) {
    declaration_ = WriteFile("large.xml", std::string(size_t{32} << 20, 'x'));
    Signed("-o large.zip");
    ASSERT_EQ(Tool("mail to-eml large.zip --from a@x.ru --to b@x.ru -o large.eml").status, 0);
  }
  const std::string command =
      "cd " + Quote(Home()) + " && exec " + LYR_TDX880_TOOL + " " + c.arguments;
  const int signal = c.signal;
  const pid_t pid = ::fork();
  if (pid == 0) {  // only async-signal-safe calls from here
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(signal, SIG_DFL);
    ::execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  bool busy = false;
  for (int i = 0; i < 40000 && !busy; ++i) {
    ::usleep(500);
    std::error_code error;
    for (fs::recursive_directory_iterator it(PathOf(c.busy), error), end;
         !error && it != end && !busy; it.increment(error)) {
      busy = it.depth() == c.depth && it->path().extension() != ".lock";
    }
  }
  EXPECT_TRUE(busy);
  ASSERT_EQ(::kill(pid, signal), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  if (signal == SIGKILL) {
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_FALSE(fs::is_empty(PathOf(c.busy)));
    const ToolResult again = Tool(c.arguments);
    EXPECT_EQ(again.status, 0) << again.err;
    if (c.busy == "docs") {
      EXPECT_EQ(std::distance(fs::directory_iterator(PathOf("docs")), fs::directory_iterator()), 2);
    }
  } else {
    EXPECT_EQ(status, W_EXITCODE(128 + signal, 0));
    EXPECT_FALSE(fs::exists(PathOf("docs")));
  }
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

const std::string kVerify = "verify large.zip --no-download";
const std::string kExtract = "extract large.zip -o docs --no-download";
const std::string kFromEml = "mail from-eml large.eml -o docs";
const std::string kToEml = "mail to-eml large.zip --from a@x.ru --to b@x.ru -o out.eml";

INSTANTIATE_TEST_SUITE_P(
    Cases, StoppedTool,
    ::testing::Values(SignalCase{"VerifyBySigterm", SIGTERM, kVerify, "tmp", 0},
                      SignalCase{"FromEmlBySighup", SIGHUP, kFromEml, "tmp", 0},
                      SignalCase{"ToEmlBySigint", SIGINT, kToEml, "tmp", 0},
                      SignalCase{"FromEmlBySigkill", SIGKILL, kFromEml, "tmp", 0},
                      SignalCase{"VerifyBySigkill", SIGKILL, kVerify, "tmp", 0},
                      SignalCase{"ExtractBySigterm", SIGTERM, kExtract, "docs", 1},
                      SignalCase{"ExtractBySigkill", SIGKILL, kExtract, "docs", 1}),
    [](const auto& info) { return info.param.name; });

// The demo ends with every signature valid and the notice confirming every file; in a temporary
// home it removes it, kept it leaves a package that only the tax authority's home opens.
TEST_F(PackageCommand, DemoRunsTheWholeRoad) {
  ToolResult result = Tool("demo --alg gost2012-256");
  EXPECT_EQ(Occurrences(result.out, "): valid\n"), 3) << result.out << result.err;
  EXPECT_TRUE(result.out.starts_with("tdx880 demo in " + PathOf("tmp") + "/lyr-tdx880-demo-"));
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
  EXPECT_FALSE(fs::exists(PathOf("user")));
  result = Tool("demo --alg gost2012-512 --keep demo");
  ASSERT_EQ(result.status, 0) << result.out << result.err;
  EXPECT_EQ(Occurrences(result.out, "signature(s) equal to the ones sent\n"), 2) << result.out;
  EXPECT_NE(result.out.find("result: every signature is valid (2)\n"), std::string::npos);
  EXPECT_NE(result.out.find(
                "result: the notice is signed by the tax authority and confirms every file sent\n"),
            std::string::npos);
  const fs::path package = fs::directory_iterator(PathOf("demo/outbox"))->path();
  EXPECT_EQ(Tool("verify " + Quote(package) + " --no-download").status, 1);
  ASSERT_EQ(::setenv("LYR_TDX_HOME", PathOf("demo/tax-authority").c_str(), 1), 0);
  EXPECT_EQ(Tool("verify " + Quote(package) + " --no-download").status, 0);
  result = Tool("demo --keep demo");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, "the folder " + PathOf("demo") + " is not empty\n");
}

}  // namespace
}  // namespace lyr::tool
