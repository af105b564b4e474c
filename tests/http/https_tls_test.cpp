// Tests of CHttpsClient.Get over TLS against a real loopback HTTPS server (python3's ssl module)
// with certificates made by openssl: server certificates are not checked, and a client
// certificate is presented, once, when the server asks for one.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "http/http_fixture.h"
#include "http/https_client.h"
#include "http/https_server.h"
#include "http/loopback_server.h"
#include "rtl/hex.h"
#include "rtl/text.h"

namespace lyr::http {
namespace {

using test::ErrorOf;
using test::HttpsServer;
using test::TransportError;

class HttpsClientTls : public test::HttpTest {
 protected:
  void SetUp() override {
    HttpTest::SetUp();
    // The server's certificate is self-signed and names another host: neither may matter.
    MakeCertificate("server", "wrong-name.example");
    MakeCertificate("client", "lyr-client");
    MakeCertificate("stranger", "someone-else");
  }

  void MakeCertificate(const std::string& name, const std::string& common_name) {
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1"
        " -nodes -days 2 -subj /CN=" +
        common_name + " -keyout '" + PathOf(name + ".key") + "' -out '" + PathOf(name + ".pem") +
        "' 2>/dev/null";
    ASSERT_EQ(test::RunCommand(command), 0) << command;
  }

  // The certificate's SHA-1 thumbprint as upper-case hexadecimal text.
  std::string Thumbprint(const std::string& name) {
    std::string output;
    EXPECT_EQ(
        test::RunCommand(
            "openssl x509 -noout -fingerprint -sha1 -in '" + PathOf(name + ".pem") + "'", &output),
        0);
    std::string hex;
    for (const char c : output.substr(output.find('=') + 1)) {
      if (std::isxdigit(static_cast<unsigned char>(c))) {
        hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      }
    }
    return hex;
  }

  HttpsServer StartServer(bool require_client_certificate) {
    std::vector<std::string> arguments{PathOf("server.pem"), PathOf("server.key")};
    if (require_client_certificate) {
      arguments.push_back(PathOf("client.pem"));
    }
    return HttpsServer(arguments, PathOf("server.log"));
  }

  // A source that knows the named certificate and records what it was asked for.
  ClientCertificateSource SourceOf(const std::string& name) {
    const ClientCertificate certificate{test::ReadAll(PathOf(name + ".pem")),
                                        test::ReadAll(PathOf(name + ".key"))};
    const std::string hash = rtl::HexToBytes(Thumbprint(name));
    return [this, certificate, hash](const std::string& asked) -> std::optional<ClientCertificate> {
      asked_.push_back(asked);
      if (asked != hash) {
        return std::nullopt;
      }
      return certificate;
    };
  }

  std::vector<std::string> asked_;
};

TEST_F(HttpsClientTls, ServerCertificatesAreNotCheckedAndNoClientOneIsSoughtUnlessAsked) {
  const HttpsServer server = StartServer(false);
  ASSERT_NE(server.Port(), 0);
  CHttpsClient client;
  EXPECT_EQ(client.Get(server.Url("x/y.crl")), "secure GET /x/y.crl HTTP/1.1 for anonymous");
  client.Config.ClientCertificate = Thumbprint("client");
  client.Config.CertificateSource = SourceOf("client");
  EXPECT_EQ(client.Get(server.Url("a")), "secure GET /a HTTP/1.1 for anonymous");
  EXPECT_TRUE(asked_.empty());
}

TEST_F(HttpsClientTls, RetriesOnceWithTheConfiguredClientCertificateWhenAsked) {
  const HttpsServer server = StartServer(true);
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("a")); }),
            TransportError("The server is requesting client authentication.", 12044));
  client.Config.ClientCertificate = Thumbprint("client");
  client.Config.CertificateSource = SourceOf("client");
  EXPECT_EQ(client.Get(server.Url("private.crl")),
            "secure GET /private.crl HTTP/1.1 for lyr-client");
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0], rtl::HexToBytes(Thumbprint("client")));
  std::string lower = Thumbprint("client");
  for (char& c : lower) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  client.Config.ClientCertificate = lower;
  EXPECT_EQ(client.Get(server.Url("a")), "secure GET /a HTTP/1.1 for lyr-client");
}

TEST_F(HttpsClientTls, CertificateThatCannotBeHadFailsWithTheCertificateContextMessage) {
  const HttpsServer server = StartServer(true);
  const auto pair = [this](const char* certificate, const char* key) {
    return [this, certificate, key](const std::string&) {
      return std::optional<ClientCertificate>(
          ClientCertificate{test::ReadAll(PathOf(certificate)), test::ReadAll(PathOf(key))});
    };
  };
  struct Case {
    const char* name;
    std::string thumbprint;
    ClientCertificateSource source;
  };
  const std::string client_thumbprint = Thumbprint("client");
  const std::vector<Case> cases{
      {"NoSource", client_thumbprint, nullptr},
      {"UnknownThumbprint", std::string(40, 'A'), SourceOf("client")},
      {"ThumbprintNotHex", "not a thumbprint", SourceOf("client")},
      {"SourceHandsOutAnotherCertificate", client_thumbprint, pair("stranger.pem", "stranger.key")},
      {"KeyDoesNotMatch", client_thumbprint, pair("client.pem", "stranger.key")},
      {"SourceFails", client_thumbprint,
       [](const std::string&) -> std::optional<ClientCertificate> { rtl::Raise("store broken"); }}};
  for (const Case& c : cases) {
    CHttpsClient client;
    client.Config.ClientCertificate = c.thumbprint;
    client.Config.CertificateSource = c.source;
    EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("a")); }),
              rtl::Msg(u8"Ошибка получения контекста сертификата"))
        << c.name;
  }
}

// Connects to 127.0.0.1:port.
int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Copies bytes both ways between a and b until one side closes.
void Relay(int a, int b) {
  std::array<pollfd, 2> fds{pollfd{a, POLLIN, 0}, pollfd{b, POLLIN, 0}};
  std::array<char, 4096> buffer{};
  while (::poll(fds.data(), fds.size(), 10000) > 0) {
    for (size_t i = 0; i < fds.size(); ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
        continue;
      }
      const ssize_t n = ::recv(fds[i].fd, buffer.data(), buffer.size(), 0);
      if (n <= 0) {
        return;
      }
      test::LoopbackServer::Send(fds[1 - i].fd, std::string_view(buffer.data(), n));
    }
  }
}

// A proxy that tunnels CONNECT requests for the server's port and refuses anything else.
test::LoopbackServer::Handler TunnelTo(int port) {
  return [port](int socket, const std::string& request) {
    if (!request.starts_with("CONNECT 127.0.0.1:" + std::to_string(port) + " ")) {
      test::LoopbackServer::Send(socket, test::LoopbackServer::Response(400, "Bad Request", ""));
      return;
    }
    const int upstream = ConnectLoopback(port);
    test::LoopbackServer::Send(socket, "HTTP/1.1 200 Connection established\r\n\r\n");
    Relay(socket, upstream);
    ::close(upstream);
  };
}

TEST_F(HttpsClientTls, TunnelsThroughTheNamedOrTheEnvironmentProxy) {
  const HttpsServer server = StartServer(false);
  const test::LoopbackServer proxy(TunnelTo(server.Port()));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(proxy.Port());
  EXPECT_EQ(client.Get(server.Url("tunnel.crl")), "secure GET /tunnel.crl HTTP/1.1 for anonymous");
  ::setenv("https_proxy", ("http://" + proxy.Authority()).c_str(), 1);
  CHttpsClient by_environment;
  EXPECT_EQ(by_environment.Get(server.Url("env.crl")),
            "secure GET /env.crl HTTP/1.1 for anonymous");
  ASSERT_EQ(proxy.Requests().size(), 2u);
  EXPECT_TRUE(proxy.Requests()[1].starts_with("CONNECT 127.0.0.1:"));
}

}  // namespace
}  // namespace lyr::http
