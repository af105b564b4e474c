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

LoopbackServer::Handler Answer(std::string body) {
  return [=](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(200, "OK", body));
  };
}

std::string ClosedUrl(const std::string& path) {
  return "http://127.0.0.1:" + std::to_string(test::ClosedPort()) + "/" + path;
}

const std::string kCannotConnect =
    TransportError("The attempt to connect to the server failed.", 12029);

class DownloadFromAnyUrl : public test::HttpTest {};

TEST_F(DownloadFromAnyUrl, ReturnsTheFirstUrlThatWorksAndTriesNoFurther) {
  LoopbackServer first(Answer("first"));
  LoopbackServer second(Answer("second"));
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(first.Url("a") + "," + second.Url("b")), "first");
  EXPECT_TRUE(second.Requests().empty());
}

TEST_F(DownloadFromAnyUrl, SkipsBlankPiecesAndFallsThroughToTheNextUrl) {
  LoopbackServer second(Answer("second"));
  const std::string failing = ClosedUrl("a.crl");
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(" " + failing + " , ,  " + second.Url("b.crl")),
            "second");
  EXPECT_EQ(second.Requests().size(), 1u);
}

TEST_F(DownloadFromAnyUrl, JoinsTheAttemptTextsWhenEveryUrlFails) {
  const std::string first = ClosedUrl("a.crl");
  const std::string second = "http://no-such-host.invalid/b.crl";
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl(first + ",," + second); }),
            kCannotConnect + "[" + first + "], " +
                TransportError("The server name could not be resolved.", 12007) + "[" + second +
                "]");
}

TEST_F(DownloadFromAnyUrl, WritesPercentSignsOfAFailedUrlAsBlanks) {
  const std::string url = ClosedUrl("ca%20root.crl");
  std::string shown = url;
  shown.replace(shown.find('%'), 1, " ");
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl(url); }),
            kCannotConnect + "[" + shown + "]");
}

TEST_F(DownloadFromAnyUrl, NamesTheUrlOfAnEmptyAddressPiece) {
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl("http://nohost"); }),
            TransportError("The URL is invalid.", 12005) + "[http://nohost]");
}

TEST_F(DownloadFromAnyUrl, ReturnsA404BodyAsContent) {
  LoopbackServer server([](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(404, "Not Found", "absent"));
  });
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(server.Url("a")), "absent");
}

TEST_F(DownloadFromAnyUrl, ReturnsNothingWhenEveryPieceIsBlank) {
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(" , ,"), "");
}

TEST_F(DownloadFromAnyUrl, FailsForAnEmptyList) {
  EXPECT_EQ(ErrorOf([] { CHTTPClientTool::DownloadFromAnyUrl(""); }),
            rtl::Msg(u8"Передан пустой аргумент: url"));
}

TEST_F(DownloadFromAnyUrl, UsesTheGivenConfigurationForEveryAttempt) {
  LoopbackServer failing([](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(404, "Not Here", "absent"));
  });
  LoopbackServer working(Answer("found"));
  CHttpsClientConfig config;
  config.UserAgent = "chain-builder";
  config.CheckStatus = true;
  EXPECT_EQ(CHTTPClientTool::DownloadFromAnyUrl(failing.Url("a") + "," + working.Url("b"), config),
            "found");
  ASSERT_EQ(failing.Requests().size(), 1u);
  ASSERT_EQ(working.Requests().size(), 1u);
  EXPECT_NE(failing.Requests()[0].find("\r\nUser-Agent: chain-builder\r\n"), std::string::npos);
  EXPECT_NE(working.Requests()[0].find("\r\nUser-Agent: chain-builder\r\n"), std::string::npos);
}

TEST_F(DownloadFromAnyUrl, ReportsTheStatusTextOfTheGivenConfigurationsCheck) {
  LoopbackServer server([](int socket, const std::string&) {
    LoopbackServer::Send(socket, LoopbackServer::Response(404, "Not Here", "absent"));
  });
  CHttpsClientConfig config;
  config.CheckStatus = true;
  EXPECT_EQ(ErrorOf([&] { CHTTPClientTool::DownloadFromAnyUrl(server.Url("a"), config); }),
            "Not Here[" + server.Url("a") + "]");
}

TEST_F(DownloadFromAnyUrl, ChecksTheListBeforeUsingTheGivenConfiguration) {
  EXPECT_EQ(ErrorOf([] { CHTTPClientTool::DownloadFromAnyUrl("", CHttpsClientConfig{}); }),
            rtl::Msg(u8"Передан пустой аргумент: url"));
}

}  // namespace
}  // namespace lyr::http
