// The tool's mail commands, run as a program: a package travels through an .eml file and comes
// back with the same documents; a message without attachment is refused with the library's
// message and leaves nothing behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tool/crypt_tool_fixture.h"

namespace lyr::tool {
namespace {

namespace fs = std::filesystem;
using test::CryptToolTest;
using test::ToolResult;

class MailCommand : public CryptToolTest {};

TEST_F(MailCommand, PackageTravelsThroughAnEmlFile) {
  const std::string declaration = WriteFile("declaration.xml", "<?xml version=\"1.0\"?><d/>\n");
  const std::string description = WriteFile("TR_DEKL.xml", "<?xml version=\"1.0\"?><t/>\n");
  const ToolResult pack =
      Tool("pack --flow 01 --transaction 01 --sender 7701234567 --receiver 7701 --doc 01:xml:" +
           Quote(declaration) + " --doc 02:xml:" + Quote(description) + " -o " +
           Quote(PathOf("out") + "/"));
  ASSERT_EQ(pack.status, 0) << pack.err;
  const std::string package = pack.out.substr(0, pack.out.size() - 1);
  const ToolResult to = Tool("mail to-eml " + Quote(package) +
                             " --from a@example.ru --to b@example.ru -o " + Quote(PathOf("m.eml")));
  EXPECT_EQ(to.status, 0) << to.err;
  EXPECT_EQ(to.out, "wrote " + PathOf("m.eml") + "\n");
  const ToolResult from =
      Tool("mail from-eml " + Quote(PathOf("m.eml")) + " -o " + Quote(PathOf("in")));
  EXPECT_EQ(from.status, 0) << from.err;
  const std::string received = PathOf("in") + "/" + fs::path(package).filename().string();
  EXPECT_EQ(from.out, "wrote " + received + "\n");
  // "show" of both differs only in its first line, the package's path.
  const std::string sent = Tool("show " + Quote(package)).out;
  const std::string got = Tool("show " + Quote(received)).out;
  EXPECT_EQ(got.substr(got.find('\n')), sent.substr(sent.find('\n')));
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

TEST_F(MailCommand, MessageWithoutAttachmentIsRefused) {
  WriteFile("m.eml", "From: a@example.ru\r\nSubject: hello\r\n\r\nno package here\r\n");
  const ToolResult from =
      Tool("mail from-eml " + Quote(PathOf("m.eml")) + " -o " + Quote(PathOf("in")));
  EXPECT_EQ(from.status, 1);
  EXPECT_EQ(from.err, "Неверное количество вложений: [0]\n");
  EXPECT_FALSE(fs::exists(PathOf("in")));
  EXPECT_TRUE(fs::is_empty(PathOf("tmp")));
}

}  // namespace
}  // namespace lyr::tool
