// Many packages in one tool process: verify, extract, show and receipt over a list with worker
// threads, in input order; the --json lines of every command checked against the schema of
// docs/json.md with Python's jsonschema.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "crypt/tdx880_crypt.h"
#include "crypt/tdx880_key.h"
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

// The chain scenario trusted; the abonent (its user) signs in "MY", the tax authority (its direct
// user) decrypts in "MY" and is in addressbook.
class BatchCommand : public test::ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    scenario_.emplace(Home() / "scenario");
    scenario_->TrustAll();
    abonent_ = lyr::test::InstallSigner(scenario_->user, "abonent").Thumbprint();
    tax_ = lyr::test::InstallSigner(scenario_->direct, "tax").Thumbprint();
    lyr::test::AddToStore(scenario_->direct.certificate, "addressbook");
  }

  // A package of a declaration and its description, signed by signer (none: unsigned) and
  // encrypted for the tax authority when signed, saved as name.
  std::string Build(const std::string& name, const std::string& declaration,
                    const std::string& signer,
                    const std::vector<std::string>& names = {"declaration.xml", "TR_DEKL.xml"}) {
    package::CTdx880Doc package;
    package.New("01", "01");
    package.SetSenderIdentifier("7701234560");
    package.SetReceiverIdentifier("7701");
    package.AddFile("01", "xml", names[0], declaration);
    package.AddFile("02", "xml", names[1], "<?xml version=\"1.0\"?><t/>\n");
    if (!signer.empty()) {
      crypt::CTdx880Crypt crypt;
      crypt.Init(true);
      crypt::CTdx880Key key;
      crypt.GetPrivateKeyBySha1(signer, &key);
      package.SignFile(names[0], &key);
      package.SignFile(names[1], &key);
      crypt::CTdx880Key recipient;
      recipient.SetSha1(tax_);
      package.Encrypt(&recipient);
    }
    package.SaveAs(PathOf(name));
    return PathOf(name);
  }

  // Runs the schema check of docs/json.md over the lines; "path ok kind" per package line.
  std::string CheckJson(const std::string& lines) const {
    std::string summary;
    EXPECT_EQ(lyr::test::RunCommand("python3 " LYR_SOURCE_DIR "/tests/tool/json_check.py " +
                                        std::string(LYR_SOURCE_DIR) + "/docs/json.md <" +
                                        Quote(WriteFile("lines.json", lines)),
                                    &summary),
              0)
        << summary;
    return summary;
  }

  std::optional<lyr::test::ChainScenario> scenario_;
  std::string abonent_, tax_;
};

// 1,000 packages, three of them bad: verify --jobs 2 reports exactly those three with their
// reasons, in input order, with status 1; the same as JSON lines that follow the schema.
TEST_F(BatchCommand, VerifyReportsEachBadPackageInInputOrder) {
  const std::string good = Build("good.zip", "<d sum=\"1\"/>", abonent_);
  // The declaration replaced (decrypted, changed and encrypted again by the tax authority).
  package::CTdx880Doc replaced;
  replaced.Open(Build("replaced.zip", "<d sum=\"2\"/>", abonent_));
  replaced.Decrypt();
  replaced.GetFile(0)->SetContent("<d sum=\"999\"/>");
  crypt::CTdx880Key recipient;
  recipient.SetSha1(tax_);
  replaced.Encrypt(&recipient);
  replaced.Save();
  lyr::test::InstallSigner(lyr::test::SharedPki().user_party, "stranger");
  const std::string stranger =
      Build("stranger.zip", "<d/>", lyr::test::SharedPki().user_party.certificate.Thumbprint());
  fs::copy_file(good, PathOf("damaged.zip"));
  fs::resize_file(PathOf("damaged.zip"), 300);
  fs::create_directories(PathOf("in"));
  std::string list;
  for (int i = 0; i < 1000; ++i) {
    const std::string path = PathOf(Format("in/p%d.zip", i));
    const std::string bad = i == 100   ? PathOf("damaged.zip")
                            : i == 500 ? PathOf("replaced.zip")
                                       : stranger;
    fs::copy_file(i == 100 || i == 500 || i == 900 ? bad : good, path);
    list += path + "\n";
  }
  WriteFile("list", list);
  const ToolResult text = Tool("verify - --jobs 2 --no-download <list");
  EXPECT_EQ(text.status, 1) << text.err;
  EXPECT_TRUE(text.out.ends_with("\nsummary: 1000 package(s), 997 passed, 3 failed\n"));
  EXPECT_EQ(Occurrences(text.out, "\nresult: every signature is valid (2)\n"), 997);
  std::string headers;
  for (size_t at = text.out.find("==> "); at != std::string::npos;
       at = text.out.find("\n==> ", at + 1)) {
    const size_t start = text.out.find('/', at);
    headers += text.out.substr(start, text.out.find(" <==", start) - start) + "\n";
  }
  EXPECT_EQ(headers, list);
  const auto block = [&](int i) {
    const size_t at = text.out.find(Format("in/p%d.zip <==\n", i));
    return text.out.substr(at, text.out.find("\n\n", at) - at);
  };
  EXPECT_EQ(block(100), "in/p100.zip <==\nNot a zip archive: [" + PathOf("in/p100.zip") + "]");
  EXPECT_NE(block(500).find("signature 1, signer Scenario User (" + abonent_ +
                            "): NOT VALID (code 22): "),
            std::string::npos)
      << block(500);
  EXPECT_NE(block(900).find("result: NOT VALID: 2 failure(s)"), std::string::npos) << block(900);
  const ToolResult json = Tool("verify - --jobs 2 --no-download --json <list");
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.err, "");
  const std::string summary = CheckJson(json.out);
  EXPECT_EQ(Occurrences(summary, " ok\n"), 997) << summary;
  EXPECT_NE(summary.find(PathOf("in/p100.zip") + " read\n"), std::string::npos) << summary;
  EXPECT_NE(summary.find(PathOf("in/p500.zip") + " signature\n"), std::string::npos);
  EXPECT_NE(summary.find(PathOf("in/p900.zip") + " signature\n"), std::string::npos);
}

// Eight packages into one folder at once: of four with the names a.xml and b.xml none is written
// (b.xml is there already and stays), of four with c.xml and d.xml exactly one writes both.
TEST_F(BatchCommand, ExtractIntoOneFolderNeverReplacesAndWritesAllOrNone) {
  WriteFile("docs/b.xml", "mine");
  std::string packages;
  for (int i = 0; i < 8; ++i) {
    packages += " " + Quote(Build(Format("p%d.zip", i), Format("<d n=\"%d\"/>", i), "",
                                  i < 4 ? std::vector<std::string>{"a.xml", "b.xml"}
                                        : std::vector<std::string>{"c.xml", "d.xml"}));
  }
  const ToolResult result = Tool("extract" + packages + " -o docs --allow-unsigned --jobs 2");
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.out.ends_with("summary: 8 package(s), 1 passed, 7 failed\n")) << result.out;
  EXPECT_EQ(Occurrences(result.out, "exists already; nothing was written\n"), 7) << result.out;
  EXPECT_EQ(lyr::test::ReadAll(PathOf("docs/b.xml")), "mine");
  EXPECT_FALSE(fs::exists(PathOf("docs/a.xml")));
  const std::string c = lyr::test::ReadAll(PathOf("docs/c.xml"));
  EXPECT_TRUE(c.starts_with("<d n=\"") && c.size() == 10) << c;
  EXPECT_EQ(std::distance(fs::directory_iterator(PathOf("docs")), fs::directory_iterator()), 3);
  const ToolResult json = Tool("extract" + packages + " -o docs2 --allow-unsigned --jobs 2 --json");
  EXPECT_EQ(Occurrences(CheckJson(json.out), " ok\n"), 2);
}

// Every command with --json: what a package, a store and a container hold, as schema-checked
// lines; a control character from a package (an identifier holding one is refused, and the
// refusal names it) reaches the output only as an escape.
TEST_F(BatchCommand, JsonLinesFollowTheSchema) {
  const std::string signed_package = Build("s.zip", "<d/>", abonent_);
  const std::string plain = Build("plain.zip", "<d/>", "");
  ASSERT_EQ(lyr::test::RunCommand(
                "python3 -c \"import sys, zipfile as Z\nz = Z.ZipFile(sys.argv[1])\ne = [(i, "
                "z.read(i)) for i in z.infolist()]\nz.close()\nwith Z.ZipFile(sys.argv[1], 'w') "
                "as o:\n  for i, d in e: o.writestr(i, d.replace(b'7701234560', "
                "b'77\\x1b]0;x\\x07'))\" " +
                Quote(plain)),
            0);
  std::string lines;
  for (const std::string& command : std::vector<std::string>{
           "show " + Quote(plain) + " " + Quote(signed_package) + " nothing.zip --json",
           "verify " + Quote(signed_package) + " --no-download --json",
           "receipt " + Quote(Build("r.zip", "<d/>", "")) +
               " --by no --id 7701 --sender-inn 7701234560 --sender-kpp 770101001 -o r --json",
           "keys --json", "cert list --json", "cert list --store CA --json",
           "cert show " + abonent_ + " --json", "container list --json"}) {
    const ToolResult result = Tool(command);
    EXPECT_EQ(result.status, command.starts_with("show") ? 1 : 0) << command << result.err;
    lines += result.out;
  }
  EXPECT_NE(lines.find("77\\u001B]0;x\\u0007"), std::string::npos) << lines;
  EXPECT_EQ(lines.find_first_of("\x1b\x07\r\t"), std::string::npos);
  const std::string summary = CheckJson(lines);
  EXPECT_EQ(summary,
            PathOf("plain.zip") + " read\n" + PathOf("s.zip") + " ok\nnothing.zip read\n" +
                PathOf("s.zip") + " ok\n" + PathOf("r.zip") +
                " ok\nkey\nkey\nkey\nkey\nkey\ncertificate\ncertificate\ncertificate\ncrl\n"
                "crl\ncertificate\ncontainer\ncontainer\n");
}

// Usage errors give status 2; "-" reads the packages' paths, one a line.
TEST_F(BatchCommand, UsageAndPathsFromStandardInput) {
  for (const char* usage : {"verify", "verify a.zip --jobs 0", "verify a.zip --jobs x", "show - -",
                            "extract a.zip b.zip"}) {
    EXPECT_EQ(Tool(usage).status, 2) << usage;
  }
  const std::string plain = Build("plain.zip", "<d/>", "");
  WriteFile("list", plain + "\r\n\n" + plain + "\n");
  const ToolResult result = Tool("verify - --allow-unsigned <list");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(Occurrences(result.out, "==> " + plain + " <==\n"), 2) << result.out;
}

}  // namespace
}  // namespace lyr::tool
