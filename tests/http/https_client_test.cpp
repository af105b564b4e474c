// The HTTPS client: the table of Internet-client error codes, taking addresses apart, and
// CHttpsClient.Get and CHTTPClientTool.DownloadFromAnyUrl against real loopback servers, over TLS
// against python3's ssl module with certificates made by openssl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "http/http_client_tool.h"
#include "http/http_fixture.h"
#include "http/http_status_exception.h"
#include "http/https_client.h"
#include "http/internet_errors.h"
#include "http/loopback_server.h"
#include "http/parsed_url.h"
#include "rtl/hex.h"

namespace lyr::http {
namespace {

using test::Answer;
using test::HttpsServer;
using test::LoopbackServer;
using test::MessageOf;
using test::TransportError;

// 76 rows in ascending order (looked up by halves), each with its own name and a sentence; codes
// without a row are "Error".
TEST(InternetErrors, RowsAreAscendingNamedSentencesAndOtherCodesAreError) {
  int32_t previous = 0;
  std::set<std::string> names;
  for (const InternetError& error : InternetErrors()) {
    EXPECT_GT(error.Code, previous) << error.Name;
    previous = error.Code;
    EXPECT_TRUE(std::string(error.Name).starts_with("ERROR_") && names.insert(error.Name).second &&
                std::string(error.Text).ends_with('.'))
        << error.Code;
    EXPECT_EQ(InternetErrorText(error.Code), error.Text);
  }
  EXPECT_EQ(names.size(), 76u);
  for (const int32_t code : {0, 5, 12000, 12034, 12035, 12051, 12054, 12149, 12172, -1}) {
    EXPECT_EQ(InternetErrorText(code), "Error") << code;
  }
}

TEST(ParseUrl, SplitsHostPathPortAndScheme) {
  for (const auto& [url, host, path, port, secure] : {
           std::tuple{"https://ca.example.ru:8443/x/y.crl", "ca.example.ru", "x/y.crl", 8443, true},
           {"http://ca.example.ru", "", "", 0, false},  // no slash after the host: no host
           {"HTTPS://ca.example.ru/a", "ca.example.ru", "a", 0, false},  // case-sensitive scheme
           {"xhttpsx://h/a", "h", "a", 0, true},  // a scheme containing "https" is secure
           {"http://h:abc/a", "h", "a", 0, false},
           {"http://h:80x/a", "h", "a", 0, false},
           {"http://u:p@h/a", "u", "a", 0, false},  // user information is part of the host
           {"http://h/redirect?to=https://x/y", "h", "redirect?to=https://x/y", 0, false},
           {"h:8080/a/b", "h", "a/b", 8080, false},  // no scheme separator: the whole address
       }) {
    const ParsedUrl parsed = ParseUrl(url);
    EXPECT_EQ(std::tuple(parsed.Host, parsed.Path, parsed.Port, parsed.Secure),
              std::tuple(std::string(host), std::string(path), port, secure))
        << url;
  }
}

// The value of a header in a request head, or "<none>".
std::string HeaderOf(const std::string& request, const std::string& name) {
  const size_t start = request.find("\r\n" + name + ": ");
  const size_t value = start + name.size() + 4;
  return start == std::string::npos ? "<none>"
                                    : request.substr(value, request.find("\r\n", value) - value);
}

std::string RequestLine(const std::string& request) {
  return request.substr(0, request.find("\r\n"));
}

class HttpsClientGet : public test::HttpTest {};

TEST_F(HttpsClientGet, SendsGetForThePathWithItsHeadersAndEscapesOnlyBlanksAndNonAscii) {
  LoopbackServer server(Answer(200, "OK", "body"));
  CHttpsClient client;
  client.Get(server.Url("x/y.crl"));
  client.Get(server.Url("dir/../a b\xC0%41.crl?x=1#frag"));
  ASSERT_EQ(server.Requests().size(), 2u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(RequestLine(request), "GET /x/y.crl HTTP/1.1");
  EXPECT_EQ(HeaderOf(request, "User-Agent"), "LYR-KORAL-HTTPSClient");
  EXPECT_EQ(HeaderOf(request, "Host"), server.Authority());
  EXPECT_EQ(HeaderOf(request, "Accept"), "<none>");
  EXPECT_EQ(HeaderOf(request, "Cache-Control"), "no-cache");
  EXPECT_EQ(RequestLine(server.Requests()[1]), "GET /dir/../a%20b%C0%41.crl?x=1%23frag HTTP/1.1");
}

// What each kind of server behaviour gives: the body, or the message of the failure.
TEST_F(HttpsClientGet, ServerBehavioursGiveTheBodyOrTheirMessage) {
  // Sends bytes, then (wait) holds the connection until the client gives up.
  const auto send = [](std::string bytes, bool wait) -> LoopbackServer::Handler {
    return [=](int socket, const std::string&) {
      LoopbackServer::Send(socket, bytes);
      if (wait) {
        LoopbackServer::WaitForClose(socket);
      }
    };
  };
  const std::string binary("CRL\0\x01\x02\xFF binary\0", 15);
  const std::string too_big = rtl::Msg(u8"Ответ сервера больше допустимого размера (");
  for (const auto& [name, handler, limit, expected] :
       {std::tuple<const char*, LoopbackServer::Handler, int64_t, std::string>{
            "BinaryOfExactlyTheLimit", Answer(200, "OK", binary), 15, binary},
        {"BodyStalls", send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nbegin", true), 0,
         TransportError("The request has timed out.", 12002)},
        {"DropsMidBody", send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npart", false), 0,
         TransportError("The connection with the server has been terminated.", 12030)},
        {"NotHttp", send("SSH-2.0-OpenSSH_9.2\r\n", false), 0,
         TransportError("The server response could not be parsed.", 12152)},
        {"AnnouncedAboveTheLimit", Answer(200, "OK", std::string(5000, 'x')), 1000,
         too_big + rtl::Msg(u8"1000 байт)")},
        {"UnannouncedGrowsAboveTheLimit",
         send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(65536, 'x'), false),
         10000, too_big + rtl::Msg(u8"10000 байт)")}}) {
    LoopbackServer server(handler);
    CHttpsClient client;
    client.Config.ReceiveTimeout = 300;
    if (limit != 0) {
      client.Config.MaxContentSize = limit;
    }
    std::string body;
    const std::string error = MessageOf([&] { body = client.Get(server.Url("a")); });
    EXPECT_EQ(error.empty() ? body : error, expected) << name;
  }
}

// A checked status raises its code with the reason, before the size limit is looked at.
TEST_F(HttpsClientGet, CheckedStatusRaisesStatusExceptionWithCodeAndReason) {
  LoopbackServer server(Answer(500, "Internal Error", std::string(4096, 'x')));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  client.Config.MaxContentSize = 100;
  const std::optional<CHttpStatusException> error =
      test::Raised<CHttpStatusException>([&] { client.Get(server.Url("a")); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->StatusCode(), 500);
  EXPECT_EQ(error->Message(), "Internal Error");
}

TEST_F(HttpsClientGet, AddressesThatCannotBeReachedGiveTheirMessages) {
  const std::string invalid = TransportError("The URL is invalid.", 12005);
  const std::string unresolved = TransportError("The server name could not be resolved.", 12007);
  for (const auto& [url, expected] :
       {std::pair{std::string(), rtl::Msg(u8"Передан пустой URL")},
        {std::string("http://127.0.0.1"), invalid},
        {"http://127.0.0.1:70000/a", invalid},
        {std::string("http://user@127.0.0.1:1/a"), unresolved},  // no user name smuggled in
        {std::string("http://no-such-host.invalid/a.crl"), unresolved},
        {"http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/a",
         TransportError("The attempt to connect to the server failed.", 12029)}}) {
    CHttpsClient client;
    client.Config.ConnectTimeout = 20000;
    EXPECT_EQ(MessageOf([&] { client.Get(url); }), expected) << url;
  }
}

TEST_F(HttpsClientGet, FollowsUpToFiveRedirectsOfTheSameSchemes) {
  LoopbackServer target(Answer(200, "OK", "moved body"));
  LoopbackServer server(
      Answer(302, "Found", "", "Location: " + target.Url("new/place.crl") + "\r\n"));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  EXPECT_EQ(client.Get(server.Url("old.crl")), "moved body");
  EXPECT_EQ(RequestLine(target.Requests().at(0)), "GET /new/place.crl HTTP/1.1");
  LoopbackServer loop(Answer(301, "Moved", "", "Location: /again\r\n"));
  CHttpsClient plain;
  EXPECT_EQ(MessageOf([&] { plain.Get(loop.Url("loop")); }),
            TransportError("The redirection failed because either the scheme changed (for "
                           "example, HTTP to FTP) or all attempts made to redirect failed "
                           "(default is five attempts).",
                           12156));
  EXPECT_EQ(loop.Requests().size(), 6u);
  LoopbackServer elsewhere(Answer(302, "Found", "", "Location: file:///etc/passwd\r\n"));
  EXPECT_EQ(MessageOf([&] { plain.Get(elsewhere.Url("a")); }),
            TransportError("The function could not handle the redirection, because the scheme "
                           "changed (for example, HTTP to FTP).",
                           12048));
}

TEST_F(HttpsClientGet, GoesThroughTheNamedProxyWithoutBypassListOrTheEnvironmentsUnlessOff) {
  LoopbackServer proxy(Answer(200, "OK", "via proxy"));
  LoopbackServer server(Answer(200, "OK", "direct"));
  ::setenv("no_proxy", "*", 1);
  CHttpsClient client;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(proxy.Port());
  EXPECT_EQ(client.Get("http://certs.example.test/a.crl"), "via proxy");
  EXPECT_EQ(HeaderOf(proxy.Requests().at(0), "Proxy-Authorization"), "<none>");
  client.Config.ProxyConfig.UserName = "user";
  client.Config.ProxyConfig.Password = "secret";
  EXPECT_EQ(client.Get("http://certs.example.test/ca/root.crl"), "via proxy");
  EXPECT_EQ(HeaderOf(proxy.Requests().at(1), "Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
  ::unsetenv("no_proxy");
  ::setenv("http_proxy", ("http://" + proxy.Authority()).c_str(), 1);
  EXPECT_EQ(CHttpsClient().Get("http://certs.example.test:8080/a.crl"), "via proxy");
  EXPECT_EQ(RequestLine(proxy.Requests().at(2)),
            "GET http://certs.example.test:8080/a.crl HTTP/1.1");
  client.Config.UseProxy = false;
  EXPECT_EQ(client.Get(server.Url("a")), "direct");
  EXPECT_EQ(proxy.Requests().size(), 3u);
}

std::string ClosedUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/" + path;
}

using DownloadFromAnyUrl = test::HttpTest;

TEST_F(DownloadFromAnyUrl, ReturnsTheFirstUrlThatWorksSkippingBlankPiecesWithTheConfiguration) {
  std::string (*const download)(std::string_view) = &CHTTPClientTool::DownloadFromAnyUrl;
  LoopbackServer first(Answer(200, "OK", "first"));
  LoopbackServer second(Answer(404, "Not Here", "second"));
  EXPECT_EQ(download(first.Url("a") + "," + second.Url("b")), "first");
  EXPECT_TRUE(second.Requests().empty());
  EXPECT_EQ(download(" " + ClosedUrl("a.crl") + " , ,  " + second.Url("b.crl")), "second")
      << "a 404 body is content";
  EXPECT_EQ(download(" , ,"), "");
  CHttpsClientConfig config;
  config.UserAgent = "chain-builder";
  config.CheckStatus = true;
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(second.Url("b") + "," + first.Url("a"), config),
            "first");
  EXPECT_EQ(HeaderOf(first.Requests().back(), "User-Agent"), "chain-builder");
  EXPECT_EQ(MessageOf([&] { CHTTPClientTool::DownloadFromAnyUrl(second.Url("b"), config); }),
            "Not Here[" + second.Url("b") + "]");
}

TEST_F(DownloadFromAnyUrl, JoinsTheAttemptTextsWhenEveryUrlFails) {
  const auto download = [](std::string_view urls) {
    return MessageOf([&] { CHTTPClientTool::DownloadFromAnyUrl(urls); });
  };
  const std::string cannot_connect =
      TransportError("The attempt to connect to the server failed.", 12029);
  const std::string first = ClosedUrl("a.crl");
  const std::string second = "http://no-such-host.invalid/b.crl";
  EXPECT_EQ(download(first + ",," + second),
            cannot_connect + "[" + first + "], " +
                TransportError("The server name could not be resolved.", 12007) + "[" + second +
                "]");
  const std::string url = ClosedUrl("ca%20root.crl");  // percent signs are written as blanks
  EXPECT_EQ(download(url),
            cannot_connect + "[" + std::string(url).replace(url.find('%'), 1, " ") + "]");
  EXPECT_EQ(download(""), rtl::Msg(u8"Передан пустой аргумент: url"));
}

using HttpsClientTls = test::HttpTest;

// Server certificates are not checked (this one is self-signed and names another host); a client
// certificate is presented, once, only when the server asks for one, and must be had whole.
TEST_F(HttpsClientTls, PresentsTheConfiguredClientCertificateOnlyWhenAskedAndOnce) {
  for (const auto& [name, subject] : {std::pair{"server", "wrong-name.example"},
                                      {"client", "lyr-client"},
                                      {"stranger", "someone-else"}}) {
    ASSERT_EQ(test::RunCommand("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                               "-nodes -days 2 -subj /CN=" +
                               std::string(subject) + " -keyout '" + PathOf(name) + ".key' -out '" +
                               PathOf(name) + ".pem' 2>/dev/null"),
              0);
  }
  std::string thumbprint;
  ASSERT_EQ(test::RunCommand("openssl x509 -noout -fingerprint -sha1 -in '" + PathOf("client.pem") +
                                 "' | cut -d= -f2 | tr -d ':\\n'",
                             &thumbprint),
            0);
  std::vector<std::string> asked;
  // A source that hands out the pair for the client's thumbprint and records what it was asked.
  const auto source = [&](const std::string& certificate, const std::string& key) {
    const ClientCertificate pair{test::ReadAll(PathOf(certificate)), test::ReadAll(PathOf(key))};
    return [&, pair](const std::string& hash) -> std::optional<ClientCertificate> {
      asked.push_back(hash);
      return hash == rtl::HexToBytes(thumbprint) ? std::optional(pair) : std::nullopt;
    };
  };
  const HttpsServer open({PathOf("server.pem"), PathOf("server.key")}, PathOf("server.log"));
  const HttpsServer strict({PathOf("server.pem"), PathOf("server.key"), PathOf("client.pem")},
                           PathOf("server.log"));
  ASSERT_NE(open.Port(), 0);
  CHttpsClient client;
  EXPECT_EQ(client.Get(open.Url("x/y.crl")), "secure GET /x/y.crl HTTP/1.1 for anonymous");
  EXPECT_EQ(MessageOf([&] { client.Get(strict.Url("a")); }),
            TransportError("The server is requesting client authentication.", 12044));
  client.Config.ClientCertificate = thumbprint;
  client.Config.CertificateSource = source("client.pem", "client.key");
  EXPECT_EQ(client.Get(open.Url("a")), "secure GET /a HTTP/1.1 for anonymous");
  EXPECT_TRUE(asked.empty());
  EXPECT_EQ(client.Get(strict.Url("private.crl")),
            "secure GET /private.crl HTTP/1.1 for lyr-client");
  EXPECT_EQ(asked, std::vector{rtl::HexToBytes(thumbprint)});
  for (const auto& [name, wanted, given] :
       {std::tuple<const char*, std::string, ClientCertificateSource>{"NoSource", thumbprint,
                                                                      nullptr},
        {"UnknownThumbprint", std::string(40, 'A'), source("client.pem", "client.key")},
        {"ThumbprintNotHex", "not a thumbprint", source("client.pem", "client.key")},
        {"AnotherCertificate", thumbprint, source("stranger.pem", "stranger.key")},
        {"KeyDoesNotMatch", thumbprint, source("client.pem", "stranger.key")}}) {
    client.Config.ClientCertificate = wanted;
    client.Config.CertificateSource = given;
    EXPECT_EQ(MessageOf([&] { client.Get(strict.Url("a")); }),
              rtl::Msg(u8"Ошибка получения контекста сертификата"))
        << name;
  }
}

}  // namespace
}  // namespace lyr::http
