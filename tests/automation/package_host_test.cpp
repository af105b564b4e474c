// Packages driven by name and through the C++ example host; the Manager's answers, the notice
// read by Python. Keys are made by the tdx880 tool.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "rtl/text.h"
#include "server_host.h"

namespace lyr::automation::host {
namespace {

using lyr::rtl::AnsiToUtf16;
using lyr::rtl::Utf16ToAnsi;
using lyr::test::DescribeErrorInfo;

constexpr char16_t kPackage[] = u"LyrTdxPackage880.Tdx880Package";
constexpr char16_t kManager[] = u"LyrTdxPackage880.Tdx880Manager";
constexpr char16_t kCrypt[] = u"LyrTdxPackage880.Tdx880Crypt";

// A declaration whose bytes run through all 256 values.
std::string Declaration() {
  std::string bytes = "<?xml version=\"1.0\" encoding=\"windows-1251\"?><Файл/>";
  for (int b = 0; b < 256; ++b) {
    bytes += static_cast<char>(b);
  }
  return bytes;
}

// Standard output of a peer's command that must succeed (standard error joins it).
std::string Peer(const std::string& command) {
  std::string output;
  EXPECT_EQ(lyr::test::RunCommand(command + " 2>&1", &output), 0) << command << "\n" << output;
  return output;
}

// The current user's self-signed key "Package User", its certificate in MY, ROOT and addressbook.
class HostSandbox : public ServerHost {
 protected:
  void SetUp() override {
    ServerHost::SetUp();
    thumbprint_ = NewKey("user-key", "Package User");
    for (const char* store : {"ROOT", "addressbook"}) {
      ASSERT_EQ(Tool("cert import " + Quote(PathOf("user-key.pem")) + " --store " + store), 0);
    }
  }
  // A key container with a self-signed certificate (name.pem) in MY; its thumbprint.
  std::u16string NewKey(const std::string& name, const std::string& subject) {
    std::string out;
    EXPECT_EQ(Tool("container new " + name + " --subject 'CN=" + subject + "' --self-signed -o " +
                       Quote(PathOf(name + ".pem")),
                   &out),
              0);
    return AnsiToUtf16(out.substr(0, 40));
  }
  std::u16string thumbprint_;
};

using PackageHost = HostSandbox;

TEST_F(PackageHost, DeclarationRoadByNameGivesBackEveryByte) {
  Ref<IDispatch> crypt, manager, package, reader;
  Create(kCrypt, IID_IDispatch, crypt);
  Create(kManager, IID_IDispatch, manager);
  Create(kPackage, IID_IDispatch, package);
  Create(kPackage, IID_IDispatch, reader);
  EXPECT_TRUE(Call(crypt.get(), u"Init").Bool());
  const Var key = Call(crypt.get(), u"GetPrivateKeyBySha1", {Var(thumbprint_)});
  const Var opponent = Call(crypt.get(), u"GetOpponentKeyBySha1", {Var(thumbprint_)});
  const Var dekl = Call(manager.get(), u"CreateTrDekl");
  Put(dekl.Object(), u"FormName", u"Декларация");
  Put(dekl.Object(), u"Year", u"2026");
  Put(dekl.Object(), u"DeklKind", Var(LONG{DEKL_KIND_TYPE_PRIMARY}));
  EXPECT_EQ(Call(dekl.Object(), u"DeklKind").Long(), DEKL_KIND_TYPE_PRIMARY);
  const std::string description = Utf16ToAnsi(Call(dekl.Object(), u"XML").Str());
  Put(dekl.Object(), u"XML", AnsiToUtf16(description));  // read back

  EXPECT_TRUE(Call(package.get(), u"New", {Var(u"01"), Var(u"01")}).Bool());
  Put(package.get(), u"SenderIdentifier", u"7701000001");
  Put(package.get(), u"ReceiverIdentifier", u"7702");
  Call(package.get(), u"AddFile",
       {Var(u"01"), Var(u"xml"), Var(u"declaration.xml"), Var(AnsiToUtf16(Declaration()))});
  Call(package.get(), u"AddSpecDoc", {Var(dekl.Object())});
  EXPECT_TRUE(
      Call(package.get(), u"SignFile", {Var(u"declaration.xml"), Var(key.Object())}).Bool());
  EXPECT_TRUE(Call(package.get(), u"Encrypt", {Var(opponent.Object())}).Bool());
  EXPECT_TRUE(Call(package.get(), u"Save", {Var(AnsiToUtf16(Home().string()))}).Bool());
  const Var signature = Call(package.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
  Put(signature.Object(), u"FileName", Call(signature.Object(), u"FileName"));
  ExpectException(signature.Object(), u"FileName", {Var(u"")},
                  u"Передан пустой аргумент: signFilename", DISPATCH_PROPERTYPUT);

  EXPECT_TRUE(Call(reader.get(), u"Open", {Call(package.get(), u"FileName")}).Bool());
  EXPECT_TRUE(Call(reader.get(), u"Decrypt").Bool());
  ASSERT_EQ(Call(reader.get(), u"GetFileCount").Long(), 2);
  for (const LONG i : {0, 1}) {
    const Var item = Call(reader.get(), u"GetFile", {Var(i)});
    EXPECT_TRUE(Call(item.Object(), u"CheckSign").Bool());
    EXPECT_EQ(Utf16ToAnsi(Call(item.Object(), u"RawContent").Str()),
              i == 0 ? Declaration() : description);
  }
  const Var read = Call(reader.get(), u"GetFileSignature", {Var(LONG{0}), Var(LONG{0})});
  const Var signer = Call(read.Object(), u"SignKey");
  EXPECT_EQ(Call(signer.Object(), u"SubjectCN").Str(), u"Package User");
  EXPECT_FALSE(Call(read.Object(), u"SignatureContent").Str().empty());
  // Once the item dropped it, the Signature object stays and its reads fail.
  EXPECT_TRUE(Call(reader.get(), u"DeleteFileSignatures", {Var(LONG{0})}).Bool());
  ExpectException(read.Object(), u"SignatureContent", {}, u"Документ не открыт");
}

// examples/cpp, early bound, on the demo's two homes: sends, receives, decrypts, checks the chain.
using ExampleHost = ServerHost;

TEST_F(ExampleHost, CppExampleSendsAndReceivesThroughTheVtables) {
  ASSERT_EQ(Tool("demo --keep " + Quote(PathOf("demo")) + " >/dev/null 2>&1"), 0);
  std::filesystem::create_directory(PathOf("outbox"));
  EXPECT_NE(Peer(std::string(LYR_AUTOMATION_CPP_HOST) + " " + Quote(PathOf("demo/abonent")) + " " +
                 Quote(PathOf("demo/tax-authority")) + " " + Quote(PathOf("outbox")))
                .find("signature of \"ООО Ромашка\" valid"),
            std::string::npos);
}

class AnswerHost : public HostSandbox {
 protected:
  void SetUp() override {
    HostSandbox::SetUp();
    second_ = NewKey("second-key", "Second Signer");
    Create(kManager, IID_IDispatch, manager_);
  }
  void TearDown() override {
    manager_.Reset();
    HostSandbox::TearDown();
  }
  // A declaration from 7707083893 to 7702, its main file signed by two keys, a second unsigned
  // file; saved and opened again when saved is true.
  Var Source(bool saved = true) {
    const Var main_name(u"NO_NDS _7702_7702_7707083893773601001_20260101_A1.xml");
    Ref<IDispatch> crypt, made;
    Create(kCrypt, IID_IDispatch, crypt);
    EXPECT_TRUE(Call(crypt.get(), u"Init").Bool());
    Create(kPackage, IID_IDispatch, made);
    EXPECT_TRUE(Call(made.get(), u"New", {Var(u"01"), Var(u"01")}).Bool());
    Put(made.get(), u"SenderIdentifier", u"7707083893");
    Put(made.get(), u"ReceiverIdentifier", u"7702");
    Call(made.get(), u"AddFile", {Var(u"01"), Var(u"xml"), main_name, Var(u"<a/>")});
    Call(made.get(), u"AddFile", {Var(u"10"), Var(u"xml"), Var(u"extra.xml"), Var(u"<b/>")});
    for (const std::u16string& thumbprint : {thumbprint_, second_}) {
      const Var key = Call(crypt.get(), u"GetPrivateKeyBySha1", {Var(thumbprint)});
      EXPECT_TRUE(Call(made.get(), u"SignFile", {main_name, Var(key.Object())}).Bool());
    }
    if (saved) {
      EXPECT_TRUE(Call(made.get(), u"Save", {Var(AnsiToUtf16(Home().string()))}).Bool());
      EXPECT_TRUE(Call(made.get(), u"Open", {Call(made.get(), u"FileName")}).Bool());
    }
    return Var(made.get());
  }
  Var Subject(const char16_t* kind, std::u16string_view identifier = u"") {
    Var subject = Call(manager_.get(), kind);
    if (!identifier.empty()) {
      Put(subject.Object(), u"Indentifier", identifier);
    }
    return subject;
  }
  Var Payer() {
    Var payer = Subject(u"CreateSubjectUL", u"7707083893");
    Put(payer.Object(), u"Inn", u"7707083893");
    Put(payer.Object(), u"Kpp", u"773601001");
    Put(payer.Object(), u"Name", u"Плательщик");
    return payer;
  }
  Ref<IDispatch> manager_;
  std::u16string second_;
};

TEST_F(AnswerHost, NoticeOfTaxAuthorityListsEverySignatureOfTheSource) {
  const Var source = Source();
  const Var receiver = Subject(u"CreateSubjectNO");
  const Var notice =
      Call(manager_.get(), u"CreateIPPackage",
           {source, Var(Subject(u"CreateSubjectNO", u"7702").Object()), Payer(), receiver});
  ASSERT_NE(notice.Object(), nullptr) << DescribeErrorInfo();
  EXPECT_EQ(Call(notice.Object(), u"TransactTypeCode").Str(), u"02");
  EXPECT_EQ(Call(notice.Object(), u"SenderIdentifier").Str(), u"7702");
  EXPECT_EQ(Call(notice.Object(), u"ReceiverIdentifier").Str(), u"7707083893");
  EXPECT_EQ(Call(receiver.Object(), u"Indentifier").Str(), u"7702");
  ASSERT_EQ(Call(notice.Object(), u"GetFileCount").Long(), 1);
  const Var item = Call(notice.Object(), u"GetFile", {Var(LONG{0})});
  EXPECT_EQ(Call(item.Object(), u"DocTypeCode").Str(), u"09");
  // The first two of seven parts trimmed, the sender's key twice, the corroborant's, date, GUID.
  const std::string name = Utf16ToAnsi(Call(item.Object(), u"OriginalFilename").Str());
  const std::string head = "IP_NONDS_7707083893773601001_7707083893773601001_7702_20";
  EXPECT_EQ(name.substr(0, head.size()), head) << name;
  EXPECT_EQ(name.size(), head.size() + 6 + 1 + 36 + 4) << name;

  // Python's xml.etree: each ЭЦППолФайл decodes to the source's signature entry.
  const std::string xml =
      WriteFile("notice.xml", Utf16ToAnsi(Call(item.Object(), u"RawContent").Str()));
  std::string entries;
  for (LONG i = 0; i < 2; ++i) {
    const Var signature = Call(source.Object(), u"GetFileSignature", {Var(LONG{0}), Var(i)});
    entries += " " + Utf16ToAnsi(Call(signature.Object(), u"FileName").Str());
  }
  const std::string script = WriteFile(
      "notice.py",
      "import sys, zipfile, base64, xml.etree.ElementTree as ET\n"
      "root = ET.fromstring(open(sys.argv[1], 'rb').read().decode('cp1251').split('?>', 1)[1])\n"
      "z = zipfile.ZipFile(sys.argv[2])\n"
      "files = root.find('Документ').find('СвИзвещП').findall('СведПолФайл')\n"
      "texts = [e.text for e in files[0].findall('ЭЦППолФайл')]\n"
      "assert [base64.b64decode(t) for t in texts] == [z.read(n) for n in sys.argv[3:]]\n"
      "print(len(files), len(files[1]), files[1].get('ИмяПостФайла'))\n");
  EXPECT_EQ(Peer("python3 " + script + " " + xml + " " +
                 Quote(Utf16ToAnsi(Call(source.Object(), u"FileName").Str())) + entries),
            "2 0 extra\n");
  // From the payer, transaction 01 has no notice.
  ExpectException(manager_.get(), u"CreateIPPackage",
                  {source, Payer(), Payer(), Subject(u"CreateSubjectNO")},
                  u"На документооборот [01][Декларация] и транзакцию [01][ДекларацияНП] не может "
                  u"быть сформировано извещение о получении от [налогоплательщик]");
}

TEST_F(AnswerHost, ErrorPackagesAnswerNewAndReadSources) {
  const Var fresh = Source(false);
  const Var read = Source();
  const Var one = Call(manager_.get(), u"CreateErrorPackage", {fresh, Var(u"<ошибка/>")});
  ASSERT_NE(one.Object(), nullptr) << DescribeErrorInfo();
  EXPECT_EQ(Call(one.Object(), u"ThreadTypeCode").Str(), u"07");
  ASSERT_EQ(Call(one.Object(), u"GetFileCount").Long(), 1);
  const Var first = Call(one.Object(), u"GetFile", {Var(LONG{0})});
  EXPECT_EQ(Call(first.Object(), u"OriginalFilename").Str(), u"TR_SOSH.xml");
  EXPECT_EQ(Call(first.Object(), u"RawContent").Str(), u"<ошибка/>");

  const Var given =
      Call(manager_.get(), u"CreateErrorPackageEx",
           {read, Var(u"0001"), Var(LONG{2}), Var(u"0002"), Var(LONG{4}), Var(u"<ошибка/>")});
  ASSERT_NE(given.Object(), nullptr) << DescribeErrorInfo();
  EXPECT_EQ(Call(given.Object(), u"SenderIdentifier").Str(), u"0001");
  EXPECT_EQ(Call(given.Object(), u"ReceiverIdentifier").Str(), u"0002");
  EXPECT_EQ(Call(given.Object(), u"ThreadCode").Str(), Call(read.Object(), u"ThreadCode").Str());
  ASSERT_EQ(Call(given.Object(), u"GetFileCount").Long(), 2);
  const Var second = Call(given.Object(), u"GetFile", {Var(LONG{1})});
  EXPECT_EQ(Call(second.Object(), u"RawContent").Str(),
            Call(read.Object(), u"PackageDescriptionContent").Str());
}

}  // namespace
}  // namespace lyr::automation::host
