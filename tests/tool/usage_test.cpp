// The command lines the tool refuses: exit status 2 (wrong command line) or 1 (refused by the
// library, whose messages are checked where made), the exact standard error, nothing written.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "crypt/platform/key_container.h"
#include "tool/tool_fixture.h"

namespace lyr::tool {
namespace {

using test::Utf8;

struct UsageCase {
  std::string arguments;
  int status;
  std::string err;  // the whole of standard error; without a final line end, its start
};

const std::string kContainerNew =
    "usage: tdx880 container new NAME --subject DN [-o FILE] [--self-signed [--days N]] [--alg "
    "gost2001|gost2012-256|gost2012-512] [--paramset P] [--machine]\n";
const std::string kCertList = "usage: tdx880 cert list [--store S] [--machine] [--json]\n";
const std::string kEncrypt =
    "usage: tdx880 encrypt FILE (--cert CERT | --for THUMBPRINT) -o OUT [--cipher NAME] "
    "[--machine]\n";
const std::string kSign = "usage: tdx880 sign FILE --key THUMBPRINT [-o SIG]\n";
const std::string kVerifySignature =
    "usage: tdx880 verify-signature FILE SIG [--no-download] [--no-crl]\n";
const std::string kFetch =
    "usage: tdx880 fetch URL[,URL...] [-o FILE] [--client-cert THUMBPRINT]\n";
const std::string kNotThumbprint = "' is not a SHA-1 thumbprint (40 hexadecimal digits)\n";
const std::string kUnknownStore = "' (MY, ROOT, CA or addressbook)\n";
const std::string kPack = "pack --flow 01 --transaction 01 --sender 1 --receiver 2 ";

const UsageCase kCases[] = {
    {"codes 01 02", 2, "usage: tdx880 codes [FLOW]\n"},
    // A command without a guard of its own: the tool's last catch.
    {"codes 1", 1, Utf8(u8"Неизвестный код документооборота [1]\n")},
    {"inn", 2, "usage: tdx880 inn NUMBER\n"},
    {"typelib all", 2, "usage: tdx880 typelib\n"},
    {"keys --everything", 2, "usage: tdx880 keys [--machine] [--json]\n"},
    {"container", 2, "tdx880: unknown command 'container' (see tdx880 --help)\n"},
    {"container new k", 2, kContainerNew},
    {"container new a b --subject CN=a", 2, kContainerNew},
    {"container new k --subject CN=a --subject CN=b", 2, kContainerNew},
    {"container new k --subject CN=a --paramset C", 2, kContainerNew},
    {"container new k --subject CN=a --self-signed --days 0", 2, kContainerNew},
    {"container new k --subject CN=a --days 5", 2, kContainerNew},
    {"container new k --subject CN=a --alg gost94", 2, kContainerNew},
    {"container new bad --subject 'CN=x,nonsense'", 1, "0x80070057 (-2147024809): "},
    // The key made before the request could not be written goes again.
    {"container new lost --subject CN=Lost -o none/req.pem", 1,
     "cannot write none/req.pem: System Error.  Code: 2."},
    {"container list x", 2, "usage: tdx880 container list [--machine] [--json]\n"},
    {"description", 2, "usage: tdx880 description [--rewrite] FILE\n"},
    {"description /nonexistent/none.xml", 1, Utf8(u8"Файл не найден: [/nonexistent/none.xml]\n")},
    {"cert list --store Trash", 2, "tdx880: unknown store 'Trash" + kUnknownStore},
    {"cert list --store", 2, kCertList},
    {"cert show", 2, "usage: tdx880 cert show FILE|THUMBPRINT [--machine] [--json]\n"},
    {"cert import", 2,
     "usage: tdx880 cert import FILE [--store S] [--container NAME] [--machine]\n"},
    {"cert import a --store other", 2, "tdx880: unknown store 'other" + kUnknownStore},
    {"cert import a --store CA --container k", 2,
     "tdx880: --container NAME binds a certificate of the MY store to a key container\n"},
    {"cert import-chain a b", 2, "usage: tdx880 cert import-chain FILE [--machine]\n"},
    {"cert remove x", 2, "tdx880: unknown command 'cert remove' (see tdx880 --help)\n"},
    {"encrypt a -o b", 2, kEncrypt},
    {"encrypt a --cert c --for d -o b", 2, kEncrypt},
    {"encrypt a --for xyz -o b", 2, "tdx880: 'xyz" + kNotThumbprint},
    {"decrypt a b -o c", 2, "usage: tdx880 decrypt FILE -o OUT [--machine]\n"},
    {"fetch", 2, kFetch},
    {"fetch http://a/ --client-cert 12AB", 2, "tdx880: '12AB" + kNotThumbprint},
    {"sign file.txt", 2, kSign},
    {"sign file.txt --key ABC --fast", 2, kSign},
    {"verify-signature file.txt", 2, kVerifySignature},
    {kPack, 2, "usage: tdx880 pack "},
    {kPack + "--doc 01:a", 2, "usage: tdx880 pack "},
    {kPack + "--doc 01:xml:a --encrypt-for A --encrypt-cert b", 2, "usage: tdx880 pack "},
    {"show", 2, "usage: tdx880 show "},
    {"verify p.zip --fast", 2, "usage: tdx880 verify "},
    {"extract p.zip", 2, "usage: tdx880 extract "},
    {"receipt p.zip --id 7701 -o out", 2, "usage: tdx880 receipt "},
    {"receipt p.zip --by xx --id 7701 -o out", 1, "--by takes ul, fl, no or sos: xx\n"},
    {"receipt p.zip --by ul --id 7702 --inn 7701234560 --kpp 770101001 --sender-inn 7701234560 "
     "--sender-kpp 770101001 -o out",
     1,
     Utf8(u8"На документооборот [01][Декларация] и транзакцию [01][ДекларацияНП] не может быть "
          u8"сформировано извещение о получении от [налогоплательщик]\n")},
    {"error-package p.zip --text p.zip --sender 7701:2 -o out", 2, "usage: tdx880 error-package "},
    {"error-package p.zip --text p.zip --sender 7701:7 --receiver 1:1 -o out", 1,
     Utf8(u8"Неизвестный тип субъекта: [7]\n")},
    {"inbox in --stats --once", 2, "usage: tdx880 inbox "},
    {"inbox in --outbox out --id 7701", 2, "usage: tdx880 inbox "},
    {"inbox in --outbox out --by xx --id 7701", 1, "--by takes ul, fl, no or sos: xx\n"},
    {"inbox in --outbox out --by no --id 7701 --sign 12", 1,
     "not a SHA-1 thumbprint (40 hexadecimal digits): 12\n"},
    {"register now", 2, "usage: tdx880 register|unregister [--machine] [--server FILE]\n"},
    {"register --server none.so", 1, "tdx880: cannot load the server none.so: "},
    {"demo --alg gost94", 2, "usage: tdx880 demo "},
};

class ToolUsage : public test::ToolTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(ToolUsage, FailsWithItsStatusAndMessage) {
  if (GetParam().arguments.find("p.zip") != std::string::npos) {
    SavePackage("p.zip");
  }
  const test::ToolResult result = Tool(GetParam().arguments);
  EXPECT_EQ(result.status, GetParam().status) << result.err;
  if (GetParam().err.ends_with('\n')) {
    EXPECT_EQ(result.err, GetParam().err);
  } else {
    EXPECT_TRUE(result.err.starts_with(GetParam().err)) << result.err;
  }
  EXPECT_EQ(result.out, "");
  EXPECT_FALSE(std::filesystem::exists(PathOf("out")));
  EXPECT_TRUE(crypt::KeyContainer::Enumerate(crypt::StoreLocation::kCurrentUser).empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, ToolUsage, ::testing::ValuesIn(kCases), [](const auto& info) {
  std::string name = std::to_string(info.index);
  for (const char c : info.param.arguments.substr(0, 40)) {
    name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  }
  return name;
});

}  // namespace
}  // namespace lyr::tool
