// The tool's "fetch" command against real loopback servers: the body byte for byte to a file or
// standard output, the next address after a failed one, the attempts' errors, and a client
// certificate of "MY" presented to an HTTPS server that requires it.
#include <gtest/gtest.h>

#include <string>

#include "crypt/platform/cert_store.h"
#include "crypt/platform/key_container.h"
#include "http/https_server.h"
#include "http/loopback_server.h"
#include "tool/crypt_tool_fixture.h"

namespace lyr::tool {
namespace {

using lyr::test::LoopbackServer;
using test::CryptToolTest;
using test::ToolResult;

std::string Utf8(std::u8string_view text) {
  return std::string(text.begin(), text.end());
}

LoopbackServer::Handler Answer(std::string body) {
  return [=](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(200, "OK", body));
  };
}

std::string ClosedUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(lyr::test::ClosedPort()) + "/" + path;
}

std::string CannotConnect(const std::string& url) {
  return Utf8(
             u8"Не удалось соединиться с сервером: The attempt to connect to the server "
             u8"failed. (код 12029)[") +
         url + "]";
}

class FetchCommand : public CryptToolTest {
 protected:
  void SetUp() override {
    CryptToolTest::SetUp();
    for (const char* name :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      ::unsetenv(name);
    }
  }
};

TEST_F(FetchCommand, WritesTheBodyToAFile) {
  const std::string body("binary\0body\xFF\r\n", 15);
  LoopbackServer server(Answer(body));
  const ToolResult result =
      Tool("fetch " + server.Url("root.crl") + " -o " + Quote(PathOf("root.crl")));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(lyr::test::ReadAll(PathOf("root.crl")), body);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].rfind("GET /root.crl HTTP/1.1\r\n", 0), 0u);
  EXPECT_NE(server.Requests()[0].find("\r\nUser-Agent: LYR-KORAL-HTTPSClient\r\n"),
            std::string::npos);
}

TEST_F(FetchCommand, WritesTheBodyToStandardOutputUnchanged) {
  const std::string body("\x30\x82\x01\x0A\0\x80 windows-1251 \xE0\xE1", 22);
  LoopbackServer server(Answer(body));
  const ToolResult result = Tool("fetch " + server.Url("a.cer"));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, body);
}

TEST_F(FetchCommand, TriesTheNextAddressAfterAFailedOne) {
  LoopbackServer server(Answer("second"));
  const ToolResult result =
      Tool("fetch '" + ClosedUrl("a.crl") + ", ," + server.Url("b.crl") + "'");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "second");
}

TEST_F(FetchCommand, ReportsEveryFailedAttemptAndWritesNothing) {
  const std::string first = ClosedUrl("a.crl");
  const std::string second = ClosedUrl("b.crl");
  const ToolResult result =
      Tool("fetch '" + first + "," + second + "' -o " + Quote(PathOf("out.crl")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, CannotConnect(first) + ", " + CannotConnect(second) + "\n");
  EXPECT_FALSE(std::filesystem::exists(PathOf("out.crl")));
}

TEST_F(FetchCommand, ReportsAnEmptyList) {
  const ToolResult result = Tool("fetch ''");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Передан пустой аргумент: url\n"));
}

struct UsageCase {
  std::string name;
  std::string arguments;
  std::string err;
};

class FetchCommandUsage : public CryptToolTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(FetchCommandUsage, FailsWithExitStatusTwo) {
  const ToolResult result = Tool(GetParam().arguments);
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.err, GetParam().err);
}

const std::string kFetchUsage =
    "usage: tdx880 fetch URL[,URL...] [-o FILE] [--client-cert THUMBPRINT]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, FetchCommandUsage,
    ::testing::Values(UsageCase{"NoUrl", "fetch", kFetchUsage},
                      UsageCase{"TwoUrls", "fetch http://a/ http://b/", kFetchUsage},
                      UsageCase{"OutputWithoutFile", "fetch http://a/ -o", kFetchUsage},
                      UsageCase{"BadThumbprint", "fetch http://a/ --client-cert 12AB",
                                "tdx880: '12AB' is not a SHA-1 thumbprint (40 hexadecimal "
                                "digits)\n"}),
    [](const ::testing::TestParamInfo<UsageCase>& info) { return info.param.name; });

// An HTTPS server that requires a client certificate, and that certificate in "MY" bound to a
// container with its key (TLS peers speak ECDSA, so the certificate is a P-256 one).
class FetchCommandTls : public FetchCommand {
 protected:
  void SetUp() override {
    FetchCommand::SetUp();
    MakeEcCertificate("server", "wrong-name.example");
    MakeEcCertificate("client", "lyr-client");
  }

  void MakeEcCertificate(const std::string& name, const std::string& common_name) {
    ASSERT_EQ(lyr::test::RunCommand(
                  "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                  "-days 2 -subj /CN=" +
                  common_name + " -keyout " + Quote(PathOf(name + ".key")) + " -out " +
                  Quote(PathOf(name + ".pem")) + " 2>/dev/null"),
              0);
  }

  void PutClientIntoMy() {
    MakeContainer("tls client", PathOf("client.key"));
    AddToStore("MY", crypt::Certificate::FromPem(lyr::test::ReadAll(PathOf("client.pem"))),
               "tls client");
  }

  lyr::test::HttpsServer StartServer() {
    return lyr::test::HttpsServer(
        {PathOf("server.pem"), PathOf("server.key"), PathOf("client.pem")}, PathOf("server.log"));
  }
};

TEST_F(FetchCommandTls, PresentsTheCertificateOfMyWhenTheServerAsks) {
  PutClientIntoMy();
  const lyr::test::HttpsServer server = StartServer();
  ASSERT_NE(server.Port(), 0);
  const ToolResult result = Tool("fetch " + server.Url("private.crl") + " --client-cert " +
                                 OpenSslThumbprint(PathOf("client.pem")));
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.out, "secure GET /private.crl HTTP/1.1 for lyr-client");
}

TEST_F(FetchCommandTls, ReportsClientAuthenticationWithoutACertificate) {
  PutClientIntoMy();
  const lyr::test::HttpsServer server = StartServer();
  const ToolResult result = Tool("fetch " + server.Url("a"));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err, Utf8(u8"Не удалось соединиться с сервером: The server is requesting "
                             u8"client authentication. (код 12044)[") +
                            server.Url("a") + "]\n");
}

TEST_F(FetchCommandTls, ReportsACertificateThatMyDoesNotHold) {
  const lyr::test::HttpsServer server = StartServer();
  const ToolResult result = Tool("fetch " + server.Url("a") + " --client-cert " +
                                 OpenSslThumbprint(PathOf("client.pem")));
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            Utf8(u8"Ошибка получения контекста сертификата[") + server.Url("a") + "]\n");
}

}  // namespace
}  // namespace lyr::tool
