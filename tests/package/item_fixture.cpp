// Test fixture for package items.
#include "package/item_fixture.h"

#include <filesystem>

#include "rtl/file_utils.h"

namespace lyr::package::test {

void ItemTest::SetUp() {
  Sandbox::SetUp();
  description_.SetThreadTypeCode("01");
  description_.SetTransactTypeCode("01");
  config_.SetDescription(&description_);
  const std::string work = PathOf("work") + "/";
  ASSERT_TRUE(rtl::ForceDirectories(work));
  config_.SetWorkingDirectory(work);
}

std::shared_ptr<CTdx880Document> ItemTest::NewItem(const std::string& doc_type_code,
                                                   const std::string& content) {
  description_.Documents().Add();
  const int32_t index = description_.Documents().Count() - 1;
  auto item = std::make_shared<CTdx880Document>();
  CTdx880ItemConfig config = ConfigFor(index);
  EXPECT_TRUE(item->New(&config));
  item->SetDocTypeCode(doc_type_code);
  item->SetContentType("bin");
  item->SetContent(content);
  return item;
}

std::shared_ptr<CTdx880Document> ItemTest::LoadItem(int32_t index) {
  auto item = std::make_shared<CTdx880Document>();
  CTdx880ItemConfig config = ConfigFor(index);
  EXPECT_TRUE(item->Open(&config));
  return item;
}

std::string ItemTest::Python(const std::string& script, const std::string& arguments) {
  const std::string path = WriteFile("script.py", script);
  std::string output;
  const int status = lyr::test::RunCommand("python3 " + path + " " + arguments + " 2>&1", &output);
  EXPECT_EQ(status, 0) << output;
  return output;
}

std::string ItemTest::PythonZipEntries(const std::string& archive) {
  return Python(
      "import sys, zipfile\n"
      "z = zipfile.ZipFile(sys.argv[1])\n"
      "assert z.testzip() is None\n"
      "print(' '.join(f'{i.filename}=' + z.read(i).decode('latin-1') for i in z.infolist()), "
      "end='')\n",
      archive);
}

}  // namespace lyr::package::test
