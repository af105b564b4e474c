// Tests of CHttpsClient.Get against real loopback servers.
#include "http/https_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "http/http_fixture.h"
#include "http/http_status_exception.h"
#include "http/loopback_server.h"
#include "rtl/text.h"

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

class HttpsClientGet : public test::HttpTest {};

TEST_F(HttpsClientGet, ReturnsTheBodyOfA200ResponseUnchanged) {
  std::string body = "CRL\0\x01\x02\xFF binary";
  body.push_back('\0');
  LoopbackServer server(Answer(200, "OK", body));
  CHttpsClient client;
  EXPECT_EQ(client.Get(server.Url("x/y.crl")), body);
}

TEST_F(HttpsClientGet, SendsGetForThePathWithTheDefaultUserAgentAndNoAcceptTypes) {
  LoopbackServer server(Answer(200, "OK", "body"));
  CHttpsClient client;
  client.Get(server.Url("x/y.crl"));
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(RequestLine(request), "GET /x/y.crl HTTP/1.1");
  EXPECT_EQ(HeaderOf(request, "User-Agent"), "LYR-KORAL-HTTPSClient");
  EXPECT_EQ(HeaderOf(request, "Host"), server.Authority());
  EXPECT_EQ(HeaderOf(request, "Accept"), "<none>");
  EXPECT_EQ(HeaderOf(request, "Cache-Control"), "no-cache");
}

TEST_F(HttpsClientGet, SendsTheConfiguredUserAgent) {
  LoopbackServer server(Answer(200, "OK", "body"));
  CHttpsClient client;
  client.Config.UserAgent = "Agent/2.0";
  client.Get(server.Url("a"));
  EXPECT_EQ(HeaderOf(server.Requests().at(0), "User-Agent"), "Agent/2.0");
}

TEST_F(HttpsClientGet, EscapesBlanksAndNonAsciiInThePathButKeepsItOtherwise) {
  LoopbackServer server(Answer(200, "OK", "body"));
  CHttpsClient client;
  client.Get(server.Url("dir/../a b\xC0%41.crl?x=1#frag"));
  EXPECT_EQ(RequestLine(server.Requests().at(0)),
            "GET /dir/../a%20b%C0%41.crl?x=1%23frag HTTP/1.1");
}

TEST_F(HttpsClientGet, ReturnsThe404BodyWhenStatusIsNotChecked) {
  LoopbackServer server(Answer(404, "Not Found", "no such list"));
  CHttpsClient client;
  EXPECT_EQ(client.Get(server.Url("missing.crl")), "no such list");
}

TEST_F(HttpsClientGet, RaisesStatusExceptionWithCodeAndTextWhenStatusIsChecked) {
  LoopbackServer server(Answer(404, "Not Found", "no such list"));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  try {
    client.Get(server.Url("missing.crl"));
    FAIL() << "no error";
  } catch (const CHttpStatusException& error) {
    EXPECT_EQ(error.StatusCode(), 404);
    EXPECT_EQ(error.Message(), "Not Found");
  }
}

TEST_F(HttpsClientGet, RaisesStatusExceptionForAnEmptyErrorResponse) {
  LoopbackServer server(Answer(503, "Service Unavailable", ""));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  try {
    client.Get(server.Url("a"));
    FAIL() << "no error";
  } catch (const CHttpStatusException& error) {
    EXPECT_EQ(error.StatusCode(), 503);
    EXPECT_EQ(error.Message(), "Service Unavailable");
  }
}

TEST_F(HttpsClientGet, ChecksTheStatusBeforeTheSizeLimit) {
  LoopbackServer server(Answer(500, "Internal Server Error", std::string(4096, 'x')));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  client.Config.MaxContentSize = 100;
  try {
    client.Get(server.Url("a"));
    FAIL() << "no error";
  } catch (const CHttpStatusException& error) {
    EXPECT_EQ(error.StatusCode(), 500);
  }
}

TEST_F(HttpsClientGet, ReturnsA200BodyWhenStatusIsChecked) {
  LoopbackServer server(Answer(200, "OK", "fine"));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  EXPECT_EQ(client.Get(server.Url("a")), "fine");
}

TEST_F(HttpsClientGet, FailsForAnEmptyUrl) {
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get(""); }), rtl::Msg(u8"Передан пустой URL"));
}

TEST_F(HttpsClientGet, FailsWithInvalidUrlWhenNoSlashFollowsTheHost) {
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get("http://127.0.0.1"); }),
            TransportError("The URL is invalid.", 12005));
}

TEST_F(HttpsClientGet, FailsAsUnresolvedForAHostWithUserInfo) {
  LoopbackServer server(Answer(200, "OK", "body"));
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get("http://user@" + server.Authority() + "/a"); }),
            TransportError("The server name could not be resolved.", 12007));
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpsClientGet, FailsWithInvalidUrlForAPortAboveTheRange) {
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get("http://127.0.0.1:70000/a"); }),
            TransportError("The URL is invalid.", 12005));
}

TEST_F(HttpsClientGet, FailsWithNameNotResolvedForAnInvalidHost) {
  CHttpsClient client;
  client.Config.ConnectTimeout = 20000;
  EXPECT_EQ(ErrorOf([&] { client.Get("http://no-such-host.invalid/a.crl"); }),
            TransportError("The server name could not be resolved.", 12007));
}

TEST_F(HttpsClientGet, FailsWithCannotConnectOnAClosedPort) {
  CHttpsClient client;
  const std::string url = "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/a";
  EXPECT_EQ(ErrorOf([&] { client.Get(url); }),
            TransportError("The attempt to connect to the server failed.", 12029));
}

TEST_F(HttpsClientGet, FailsWithTimeOutWhenTheServerNeverAnswers) {
  LoopbackServer server([&](int socket, const std::string&) { server.WaitForClose(socket); });
  CHttpsClient client;
  client.Config.ReceiveTimeout = 300;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("slow")); }),
            TransportError("The request has timed out.", 12002));
}

TEST_F(HttpsClientGet, FailsWithTimeOutWhenTheBodyStalls) {
  LoopbackServer server([&](int socket, const std::string&) {
    LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nbegin");
    server.WaitForClose(socket);
  });
  CHttpsClient client;
  client.Config.ReceiveTimeout = 300;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("slow")); }),
            TransportError("The request has timed out.", 12002));
}

TEST_F(HttpsClientGet, FailsWithConnectionTerminatedWhenTheServerDropsMidBody) {
  LoopbackServer server([](int socket, const std::string&) {
    LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly a part");
  });
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("a")); }),
            TransportError("The connection with the server has been terminated.", 12030));
}

TEST_F(HttpsClientGet, FailsWithConnectionTerminatedWhenTheServerSaysNothing) {
  LoopbackServer server([](int, const std::string&) {});
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("a")); }),
            TransportError("The connection with the server has been terminated.", 12030));
}

TEST_F(HttpsClientGet, FailsWhenTheServerAnswersWithSomethingElseThanHttp) {
  LoopbackServer server([](int socket, const std::string&) {
    LoopbackServer::Send(socket, "SSH-2.0-OpenSSH_9.2\r\n");
  });
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("a")); }),
            TransportError("The server response could not be parsed.", 12152));
}

TEST_F(HttpsClientGet, RefusesABodyAnnouncedAboveTheLimit) {
  LoopbackServer server(Answer(200, "OK", std::string(5000, 'x')));
  CHttpsClient client;
  client.Config.MaxContentSize = 1000;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("big")); }),
            rtl::Msg(u8"Ответ сервера больше допустимого размера (1000 байт)"));
}

TEST_F(HttpsClientGet, StopsAnUnannouncedBodyThatGrowsAboveTheLimit) {
  LoopbackServer server([](int socket, const std::string&) {
    LoopbackServer::Send(socket, "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    for (int i = 0; i < 64; ++i) {
      LoopbackServer::Send(socket, std::string(1024, 'x'));
    }
  });
  CHttpsClient client;
  client.Config.MaxContentSize = 10000;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("endless")); }),
            rtl::Msg(u8"Ответ сервера больше допустимого размера (10000 байт)"));
}

TEST_F(HttpsClientGet, AcceptsABodyOfExactlyTheLimit) {
  LoopbackServer server(Answer(200, "OK", std::string(1000, 'y')));
  CHttpsClient client;
  client.Config.MaxContentSize = 1000;
  EXPECT_EQ(client.Get(server.Url("a")), std::string(1000, 'y'));
}

TEST_F(HttpsClientGet, HasA64MebibyteLimitByDefault) {
  EXPECT_EQ(CHttpsClient().Config.MaxContentSize, 64 * 1024 * 1024);
}

// --- Redirects ---

TEST_F(HttpsClientGet, FollowsARedirectToTheNewAddress) {
  LoopbackServer target(Answer(200, "OK", "moved body"));
  LoopbackServer server(
      Answer(302, "Found", "", "Location: " + target.Url("new/place.crl") + "\r\n"));
  CHttpsClient client;
  client.Config.CheckStatus = true;
  EXPECT_EQ(client.Get(server.Url("old.crl")), "moved body");
  EXPECT_EQ(RequestLine(target.Requests().at(0)), "GET /new/place.crl HTTP/1.1");
}

TEST_F(HttpsClientGet, FailsAfterFiveRedirects) {
  LoopbackServer server([&](int socket, const std::string&) {
    LoopbackServer::Send(socket,
                         LoopbackServer::Response(301, "Moved", "", "Location: /again\r\n"));
  });
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("loop")); }),
            TransportError("The redirection failed because either the scheme changed (for "
                           "example, HTTP to FTP) or all attempts made to redirect failed "
                           "(default is five attempts).",
                           12156));
  EXPECT_EQ(server.Requests().size(), 6u);
}

class HttpsClientRefusedRedirect : public test::HttpTest,
                                   public ::testing::WithParamInterface<const char*> {};

TEST_P(HttpsClientRefusedRedirect, FailsWithSchemeChange) {
  const std::string location = GetParam();
  LoopbackServer server(Answer(302, "Found", "", "Location: " + location + "\r\n"));
  CHttpsClient client;
  EXPECT_EQ(ErrorOf([&] { client.Get(server.Url("a")); }),
            TransportError("The function could not handle the redirection, because the scheme "
                           "changed (for example, HTTP to FTP).",
                           12048));
}

INSTANTIATE_TEST_SUITE_P(Schemes, HttpsClientRefusedRedirect,
                         ::testing::Values("file:///etc/passwd", "ftp://127.0.0.1/pub/a.crl",
                                           "ldap://127.0.0.1/cn=ca", "gopher://127.0.0.1/a"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           const std::string location = info.param;
                           return location.substr(0, location.find(':'));
                         });

// --- Proxies ---

TEST_F(HttpsClientGet, GoesThroughTheNamedProxyWithItsCredentials) {
  LoopbackServer proxy(Answer(200, "OK", "via proxy"));
  CHttpsClient client;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(proxy.Port());
  client.Config.ProxyConfig.UserName = "user";
  client.Config.ProxyConfig.Password = "secret";
  EXPECT_EQ(client.Get("http://certs.example.test/ca/root.crl"), "via proxy");
  const std::string request = proxy.Requests().at(0);
  EXPECT_EQ(RequestLine(request), "GET http://certs.example.test/ca/root.crl HTTP/1.1");
  EXPECT_EQ(HeaderOf(request, "Proxy-Authorization"), "Basic dXNlcjpzZWNyZXQ=");
}

TEST_F(HttpsClientGet, NamedProxyHasNoBypassList) {
  LoopbackServer proxy(Answer(200, "OK", "via proxy"));
  ::setenv("no_proxy", "*", 1);
  CHttpsClient client;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(proxy.Port());
  EXPECT_EQ(client.Get("http://certs.example.test/a.crl"), "via proxy");
  EXPECT_EQ(HeaderOf(proxy.Requests().at(0), "Proxy-Authorization"), "<none>");
}

TEST_F(HttpsClientGet, UsesTheEnvironmentProxyWhenNoneIsNamed) {
  LoopbackServer proxy(Answer(200, "OK", "via environment proxy"));
  ::setenv("http_proxy", ("http://" + proxy.Authority()).c_str(), 1);
  CHttpsClient client;
  EXPECT_EQ(client.Get("http://certs.example.test:8080/a.crl"), "via environment proxy");
  EXPECT_EQ(RequestLine(proxy.Requests().at(0)),
            "GET http://certs.example.test:8080/a.crl HTTP/1.1");
}

TEST_F(HttpsClientGet, GoesDirectlyWhenProxiesAreOff) {
  LoopbackServer proxy(Answer(200, "OK", "via proxy"));
  LoopbackServer server(Answer(200, "OK", "direct"));
  ::setenv("http_proxy", ("http://" + proxy.Authority()).c_str(), 1);
  CHttpsClient client;
  client.Config.UseProxy = false;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(proxy.Port());
  EXPECT_EQ(client.Get(server.Url("a")), "direct");
  EXPECT_TRUE(proxy.Requests().empty());
}

TEST_F(HttpsClientGet, FailsWithCannotConnectWhenTheProxyIsDown) {
  CHttpsClient client;
  client.Config.ProxyConfig.Host = "127.0.0.1";
  client.Config.ProxyConfig.Port = std::to_string(test::ClosedPort());
  EXPECT_EQ(ErrorOf([&] { client.Get("http://certs.example.test/a.crl"); }),
            TransportError("The attempt to connect to the server failed.", 12029));
}

}  // namespace
}  // namespace lyr::http
