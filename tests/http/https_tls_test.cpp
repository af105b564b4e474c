// CHttpsClient.Get over TLS against a real loopback HTTPS server (python3's ssl module) with
// certificates made by openssl: server certificates are not checked, and a client certificate is
// presented, once, when the server asks for one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "http/http_fixture.h"
#include "http/https_client.h"
#include "http/https_server.h"
#include "rtl/hex.h"

namespace lyr::http {
namespace {

using test::HttpsServer;
using test::MessageOf;

class HttpsClientTls : public test::HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    // The server's certificate is self-signed and names another host: neither may matter.
    for (const auto& [name, subject] : {std::pair{"server", "wrong-name.example"},
                                        {"client", "lyr-client"},
                                        {"stranger", "someone-else"}}) {
      const std::string command =
          "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
          "-subj /CN=" +
          std::string(subject) + " -keyout '" + PathOf(name) + ".key' -out '" + PathOf(name) +
          ".pem' 2>/dev/null";
      ASSERT_EQ(test::RunCommand(command), 0) << command;
    }
    ASSERT_EQ(test::RunCommand("openssl x509 -noout -fingerprint -sha1 -in '" +
                                   PathOf("client.pem") + "' | cut -d= -f2 | tr -d ':\\n'",
                               &thumbprint_),
              0);
  }

  HttpsServer StartServer(bool require_client_certificate) {
    std::vector<std::string> arguments{PathOf("server.pem"), PathOf("server.key")};
    if (require_client_certificate) {
      arguments.push_back(PathOf("client.pem"));
    }
    return HttpsServer(arguments, PathOf("server.log"));
  }

  // A source that hands out the named pair for the client's thumbprint and records what it was
  // asked for.
  ClientCertificateSource SourceOf(const std::string& certificate, const std::string& key) {
    const ClientCertificate pair{test::ReadAll(PathOf(certificate)), test::ReadAll(PathOf(key))};
    return [this, pair](const std::string& asked) -> std::optional<ClientCertificate> {
      asked_.push_back(asked);
      return asked == rtl::HexToBytes(thumbprint_) ? std::optional(pair) : std::nullopt;
    };
  }

  std::string thumbprint_;
  std::vector<std::string> asked_;
};

TEST_F(HttpsClientTls, PresentsTheConfiguredClientCertificateOnlyWhenAskedAndOnce) {
  const HttpsServer open = StartServer(false);
  const HttpsServer strict = StartServer(true);
  ASSERT_NE(open.Port(), 0);
  CHttpsClient client;
  EXPECT_EQ(client.Get(open.Url("x/y.crl")), "secure GET /x/y.crl HTTP/1.1 for anonymous");
  EXPECT_EQ(MessageOf([&] { client.Get(strict.Url("a")); }),
            test::TransportError("The server is requesting client authentication.", 12044));
  client.Config.ClientCertificate = thumbprint_;
  client.Config.CertificateSource = SourceOf("client.pem", "client.key");
  EXPECT_EQ(client.Get(open.Url("a")), "secure GET /a HTTP/1.1 for anonymous");
  EXPECT_TRUE(asked_.empty());
  EXPECT_EQ(client.Get(strict.Url("private.crl")),
            "secure GET /private.crl HTTP/1.1 for lyr-client");
  EXPECT_EQ(asked_, std::vector{rtl::HexToBytes(thumbprint_)});
  std::transform(thumbprint_.begin(), thumbprint_.end(), thumbprint_.begin(), ::tolower);
  client.Config.ClientCertificate = thumbprint_;
  EXPECT_EQ(client.Get(strict.Url("a")), "secure GET /a HTTP/1.1 for lyr-client");
}

TEST_F(HttpsClientTls, CertificateThatCannotBeHadFailsWithTheCertificateContextMessage) {
  const HttpsServer server = StartServer(true);
  const struct {
    const char* name;
    std::string thumbprint;
    ClientCertificateSource source;
  } cases[] = {
      {"NoSource", thumbprint_, nullptr},
      {"UnknownThumbprint", std::string(40, 'A'), SourceOf("client.pem", "client.key")},
      {"ThumbprintNotHex", "not a thumbprint", SourceOf("client.pem", "client.key")},
      {"AnotherCertificate", thumbprint_, SourceOf("stranger.pem", "stranger.key")},
      {"KeyDoesNotMatch", thumbprint_, SourceOf("client.pem", "stranger.key")},
      {"SourceFails", thumbprint_,
       [](const std::string&) -> std::optional<ClientCertificate> { rtl::Raise("store broken"); }}};
  for (const auto& c : cases) {
    CHttpsClient client;
    client.Config.ClientCertificate = c.thumbprint;
    client.Config.CertificateSource = c.source;
    EXPECT_EQ(MessageOf([&] { client.Get(server.Url("a")); }),
              rtl::Msg(u8"Ошибка получения контекста сертификата"))
        << c.name;
  }
}

}  // namespace
}  // namespace lyr::http
