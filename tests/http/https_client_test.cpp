// Tests of CHttpsClient.Get against real loopback servers.
#include "http/https_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "http/http_fixture.h"
#include "http/http_status_exception.h"
#include "http/loopback_server.h"
#include "rtl/text.h"
#include "support/expect_raises.h"

namespace lyr::http {
namespace {

using test::ErrorOf;
using test::LoopbackServer;
using test::TransportError;

// A server that answers every request with status, reason and body.
LoopbackServer::Handler Answer(int status, std::string reason, std::string body,
                               std::string headers = {}) {
  return [=](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(status, reason, body, headers));
  };
}

// The value of a header in a request head, or "<none>".
std::string HeaderOf(const std::string& request, const std::string& name) {
  const std::string key = "\r\n" + name + ": ";
  const size_t start = request.find(key);
  if (start == std::string::npos) {
    return "<none>";
  }
  const size_t value = start + key.size();
  return request.substr(value, request.find("\r\n", value) - value);
}

std::string RequestLine(const std::string& request) {
  return request.substr(0, request.find("\r\n"));
}

// The body Get returns, or the message of the error it raises.
std::string BodyOrError(CHttpsClient& client, const std::string& url) {
  std::string body;
  const std::string error = ErrorOf([&] { body = client.Get(url); });
  return error == "<no error>" ? body : error;
}

class HttpsClientGet : public test::HttpTest {};

TEST_F(HttpsClientGet, SendsGetForThePathWithItsHeadersAndEscapesOnlyBlanksAndNonAscii) {
  LoopbackServer server(Answer(200, "OK", "body"));
  CHttpsClient client;
  client.Get(server.Url("x/y.crl"));
  client.Config.UserAgent = "Agent/2.0";
  client.Get(server.Url("dir/../a b\xC0%41.crl?x=1#frag"));
  ASSERT_EQ(server.Requests().size(), 2u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(RequestLine(request), "GET /x/y.crl HTTP/1.1");
  EXPECT_EQ(HeaderOf(request, "User-Agent"), "LYR-KORAL-HTTPSClient");
  EXPECT_EQ(HeaderOf(request, "Host"), server.Authority());
  EXPECT_EQ(HeaderOf(request, "Accept"), "<none>");
  EXPECT_EQ(HeaderOf(request, "Cache-Control"), "no-cache");
  EXPECT_EQ(RequestLine(server.Requests()[1]), "GET /dir/../a%20b%C0%41.crl?x=1%23frag HTTP/1.1");
  EXPECT_EQ(HeaderOf(server.Requests()[1], "User-Agent"), "Agent/2.0");
  EXPECT_EQ(client.Config.MaxContentSize, 64 * 1024 * 1024) << "the default limit";
}

// What each kind of server behaviour gives: the body, or the message of the failure.
TEST_F(HttpsClientGet, ServerBehavioursGiveTheBodyOrTheirMessage) {
  using Behaviour = std::function<void(LoopbackServer & server, int socket)>;
  const auto answer = [](int status, std::string reason, std::string body) -> Behaviour {
    return [=](LoopbackServer&, int socket) {
      LoopbackServer::Send(socket, LoopbackServer::Response(status, reason, body));
    };
  };
  const auto send = [](std::string bytes, bool wait) -> Behaviour {
    return [=](LoopbackServer& server, int socket) {
      LoopbackServer::Send(socket, bytes);
      if (wait) {
        server.WaitForClose(socket);
      }
    };
  };
  std::string binary("CRL\0\x01\x02\xFF binary\0", 15);
  struct Case {
    const char* name;
    Behaviour behaviour;
    bool check_status;
    int64_t limit;
    std::string expected;
  };
  const std::string too_big = rtl::Msg(u8"Ответ сервера больше допустимого размера (");
  const std::vector<Case> cases{
      {"Binary200", answer(200, "OK", binary), false, 0, binary},
      {"Checked200", answer(200, "OK", "fine"), true, 0, "fine"},
      {"Unchecked404", answer(404, "Not Found", "no such list"), false, 0, "no such list"},
      {"NeverAnswers", send("", true), false, 0,
       TransportError("The request has timed out.", 12002)},
      {"BodyStalls", send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nbegin", true), false, 0,
       TransportError("The request has timed out.", 12002)},
      {"DropsMidBody", send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly a part", false),
       false, 0, TransportError("The connection with the server has been terminated.", 12030)},
      {"SaysNothing", send("", false), false, 0,
       TransportError("The connection with the server has been terminated.", 12030)},
      {"NotHttp", send("SSH-2.0-OpenSSH_9.2\r\n", false), false, 0,
       TransportError("The server response could not be parsed.", 12152)},
      {"AnnouncedAboveTheLimit", answer(200, "OK", std::string(5000, 'x')), false, 1000,
       too_big + rtl::Msg(u8"1000 байт)")},
      {"ExactlyTheLimit", answer(200, "OK", std::string(1000, 'y')), false, 1000,
       std::string(1000, 'y')},
      {"UnannouncedGrowsAboveTheLimit",
       [](LoopbackServer&, int socket) {
         LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
         for (int i = 0; i < 64; ++i) {
           LoopbackServer::Send(socket, std::string(1024, 'x'));
         }
       },
       false, 10000, too_big + rtl::Msg(u8"10000 байт)")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackServer server([&](int socket, const std::string&) { c.behaviour(server, socket); });
    CHttpsClient client;
    client.Config.ReceiveTimeout = 300;
    client.Config.CheckStatus = c.check_status;
    if (c.limit != 0) {
      client.Config.MaxContentSize = c.limit;
    }
    EXPECT_EQ(BodyOrError(client, server.Url("a")), c.expected);
  }
}

// A checked status raises its code with the reason, before the size limit is looked at.
TEST_F(HttpsClientGet, CheckedStatusRaisesStatusExceptionWithCodeAndReason) {
  for (const auto& [status, reason, body] :
       {std::tuple{404, "Not Found", std::string("no such list")},
        {503, "Service Unavailable", std::string()},
        {500, "Internal Error", std::string(4096, 'x')}}) {
    LoopbackServer server(Answer(status, reason, body));
    CHttpsClient client;
    client.Config.CheckStatus = true;
    client.Config.MaxContentSize = 100;
    const std::optional<CHttpStatusException> error =
        test::Raised<CHttpStatusException>([&] { client.Get(server.Url("a")); });
    ASSERT_TRUE(error) << status;
    EXPECT_EQ(error->StatusCode(), status);
    EXPECT_EQ(error->Message(), reason);
  }
}

TEST_F(HttpsClientGet, AddressesThatCannotBeReachedGiveTheirMessages) {
  LoopbackServer server(Answer(200, "OK", "body"));
  const std::string invalid = TransportError("The URL is invalid.", 12005);
  const std::string unresolved = TransportError("The server name could not be resolved.", 12007);
  for (const auto& [url, expected] :
       {std::pair{std::string(), rtl::Msg(u8"Передан пустой URL")},
        {std::string("http://127.0.0.1"), invalid},
        {"http://127.0.0.1:70000/a", invalid},
        {"http://user@" + server.Authority() + "/a", unresolved},
        {std::string("http://no-such-host.invalid/a.crl"), unresolved},
        {"http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/a",
         TransportError("The attempt to connect to the server failed.", 12029)}}) {
    CHttpsClient client;
    client.Config.ConnectTimeout = 20000;
    EXPECT_EQ(ErrorOf([&] { client.Get(url); }), expected) << url;
  }
  EXPECT_TRUE(server.Requests().empty());
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
  EXPECT_EQ(ErrorOf([&] { plain.Get(loop.Url("loop")); }),
            TransportError("The redirection failed because either the scheme changed (for "
                           "example, HTTP to FTP) or all attempts made to redirect failed "
                           "(default is five attempts).",
                           12156));
  EXPECT_EQ(loop.Requests().size(), 6u);
  for (const char* location : {"file:///etc/passwd", "ftp://127.0.0.1/pub/a.crl",
                               "ldap://127.0.0.1/cn=ca", "gopher://127.0.0.1/a"}) {
    LoopbackServer elsewhere(
        Answer(302, "Found", "", "Location: " + std::string(location) + "\r\n"));
    EXPECT_EQ(ErrorOf([&] { plain.Get(elsewhere.Url("a")); }),
              TransportError("The function could not handle the redirection, because the scheme "
                             "changed (for example, HTTP to FTP).",
                             12048))
        << location;
  }
}

TEST_F(HttpsClientGet, GoesThroughTheNamedProxyWithItsCredentialsAndNoBypassList) {
  LoopbackServer proxy(Answer(200, "OK", "via proxy"));
  ::setenv("no_proxy", "*", 1);
  CHttpsClient client;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(proxy.Port());
  EXPECT_EQ(client.Get("http://certs.example.test/a.crl"), "via proxy");
  EXPECT_EQ(HeaderOf(proxy.Requests().at(0), "Proxy-Authorization"), "<none>");
  client.Config.ProxyConfig.UserName = "user";
  client.Config.ProxyConfig.Password = "secret";
  EXPECT_EQ(client.Get("http://certs.example.test/ca/root.crl"), "via proxy");
  const std::string request = proxy.Requests().at(1);
  EXPECT_EQ(RequestLine(request), "GET http://certs.example.test/ca/root.crl HTTP/1.1");
  EXPECT_EQ(HeaderOf(request, "Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
  client.Config.ProxyConfig.Port = std::to_string(test::ClosedPort());
  EXPECT_EQ(ErrorOf([&] { client.Get("http://certs.example.test/a.crl"); }),
            TransportError("The attempt to connect to the server failed.", 12029));
}

TEST_F(HttpsClientGet, UsesTheEnvironmentProxyUnlessProxiesAreOff) {
  LoopbackServer proxy(Answer(200, "OK", "via environment proxy"));
  LoopbackServer server(Answer(200, "OK", "direct"));
  ::setenv("http_proxy", ("http://" + proxy.Authority()).c_str(), 1);
  CHttpsClient client;
  EXPECT_EQ(client.Get("http://certs.example.test:8080/a.crl"), "via environment proxy");
  EXPECT_EQ(RequestLine(proxy.Requests().at(0)),
            "GET http://certs.example.test:8080/a.crl HTTP/1.1");
  client.Config.UseProxy = false;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(proxy.Port());
  EXPECT_EQ(client.Get(server.Url("a")), "direct");
  EXPECT_EQ(proxy.Requests().size(), 1u);
}

}  // namespace
}  // namespace lyr::http
