// Tests of CHTTPClientTool.DownloadFromAnyUrl against real loopback servers.
#include "http/http_client_tool.h"

#include <gtest/gtest.h>

#include <string>

#include "http/http_fixture.h"
#include "http/loopback_server.h"
#include "rtl/text.h"

namespace lyr::http {
namespace {

using test::ErrorOf;
using test::LoopbackServer;
using test::TransportError;

LoopbackServer::Handler Answer(int status, std::string reason, std::string body) {
  return [=](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(status, reason, body));
  };
}

std::string ClosedUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/" + path;
}

const std::string kCannotConnect =
    TransportError("The attempt to connect to the server failed.", 12029);

class DownloadFromAnyUrl : public test::HttpTest {};

TEST_F(DownloadFromAnyUrl, ReturnsTheFirstUrlThatWorksSkippingBlankPieces) {
  LoopbackServer first(Answer(200, "OK", "first"));
  LoopbackServer second(Answer(404, "Not Found", "second"));
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(first.Url("a") + "," + second.Url("b")), "first");
  EXPECT_TRUE(second.Requests().empty());
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(" " + ClosedUrl("a.crl") + " , ,  " +
                                                second.Url("b.crl")),
            "second")
      << "a 404 body is content";
  EXPECT_EQ(second.Requests().size(), 1u);
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(" , ,"), "");
}

TEST_F(DownloadFromAnyUrl, JoinsTheAttemptTextsWhenEveryUrlFails) {
  const std::string first = ClosedUrl("a.crl");
  const std::string second = "http://no-such-host.invalid/b.crl";
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl(first + ",," + second); }),
            kCannotConnect + "[" + first + "], " +
                TransportError("The server name could not be resolved.", 12007) + "[" + second +
                "]");
  // Percent signs of a failed URL are written as blanks.
  const std::string url = ClosedUrl("ca%20root.crl");
  std::string shown = url;
  shown.replace(shown.find('%'), 1, " ");
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl(url); }),
            kCannotConnect + "[" + shown + "]");
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl("http://nohost"); }),
            TransportError("The URL is invalid.", 12005) + "[http://nohost]");
  for (const auto& download : {+[] { CHTTPClientTool::DownloadFromAnyUrl(""); },
                               +[] { CHTTPClientTool::DownloadFromAnyUrl("", {}); }}) {
    EXPECT_EQ(ErrorOf(download), rtl::Msg(u8"Передан пустой аргумент: url"));
  }
}

TEST_F(DownloadFromAnyUrl, UsesTheGivenConfigurationForEveryAttempt) {
  LoopbackServer failing(Answer(404, "Not Here", "absent"));
  LoopbackServer working(Answer(200, "OK", "found"));
  CHttpsClientConfig config;
  config.UserAgent = "chain-builder";
  config.CheckStatus = true;
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(failing.Url("a") + "," + working.Url("b"), config),
            "found");
  for (const LoopbackServer* server : {&failing, &working}) {
    ASSERT_EQ(server->Requests().size(), 1u);
    EXPECT_NE(server->Requests()[0].find("\r\nUser-Agent: chain-builder\r\n"), std::string::npos);
  }
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl(failing.Url("a"), config); }),
            "Not Here[" + failing.Url("a") + "]");
}

}  // namespace
}  // namespace lyr::http
