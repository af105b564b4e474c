// Tests of CXMLClass and CXMLCollection: writing and reading through own and given writers and
// readers, wrapper and item tags, guarded errors.
#include <gtest/gtest.h>

#include <string>

#include "rtl/errors.h"
#include "rtl/xml_class.h"
#include "rtl/xml_collection.h"
#include "support/expect_raises.h"

namespace lyr::rtl {
namespace {

using lyr::test::ExpectRaises;

// <item v="..."/>
class Item final : public CXMLClass {
 public:
  std::string value;

 protected:
  void WriteTo(CXMLTextWriter& writer) override {
    writer.StartElement("item");
    writer.AddAttribute("v", value);
    writer.EndElement();
  }
  void ReadFrom(CXMLTextReader& reader) override {
    value = reader.ReadAttribute("v");
    reader.ReadStartElement("item");
  }
};

class ItemList : public CTypedCollection<Item, CXMLCollection> {
 public:
  [[nodiscard]] std::string GetItemTag() const override { return "item"; }
};

class WrappedItemList final : public ItemList {
 public:
  [[nodiscard]] std::string GetCollectionTag() const override { return "items"; }
};

// <root> with a collection, then <after/>.
template <typename Collection>
class Root final : public CXMLClass {
 public:
  Collection items;
  bool after = false;

 protected:
  void WriteTo(CXMLTextWriter& writer) override {
    writer.StartDocument();
    writer.StartElement("root");
    items.WriteTo(writer);
    writer.WriteElement("after", "");
    writer.EndDocument();
  }
  void ReadFrom(CXMLTextReader& reader) override {
    reader.ReadStartElement("root");
    items.ReadFrom(reader);
    after = reader.GetCurrentElementName() == "after";
  }
};

TEST(XMLCollection, WritesItemsWithoutWrapperAndReadsThemBack) {
  Root<ItemList> root;
  root.items.Add().value = "1";
  root.items.Add().value = "2";
  const std::string text = root.GetXML();
  EXPECT_EQ(text, R"(<?xml version="1.0" encoding="windows-1251"?>)"
                  "\r\n<root>\r\n\t<item v=\"1\"/>\r\n\t<item v=\"2\"/>\r\n\t<after/>\r\n"
                  "</root>\r\n");
  Root<ItemList> read;
  read.SetXML(text);
  read.Read();
  ASSERT_EQ(read.items.Count(), 2);
  EXPECT_EQ(read.items.Items(0).value, "1");
  EXPECT_EQ(read.items.Items(1).value, "2");
  EXPECT_TRUE(read.after);
}

TEST(XMLCollection, WrappedItemsReadBackAndAMissingWrapperFailsWithTheReadersMessage) {
  Root<WrappedItemList> root;
  root.items.Add().value = "x";
  Root<WrappedItemList> read;
  read.SetXML(root.GetXML());
  read.Read();
  ASSERT_EQ(read.items.Count(), 1);
  EXPECT_EQ(read.items.Items(0).value, "x");
  EXPECT_TRUE(read.after);
  read.SetXML("<root><item v='1'/></root>");
  ExpectRaises([&] { read.Read(); },
               Msg(u8"Не найден ожидаемый узел [items] (вместо найденного <item v='1'/>)"));
}

TEST(XMLClass, WriteAndReadUseGivenWriterAndReader) {
  Item item;
  item.value = "given";
  CXMLTextWriter writer;
  item.Write(&writer);
  EXPECT_EQ(writer.GetXML(), "<item v=\"given\"/>");
  CXMLTextReader reader;
  reader.SetXML("<item v='r'/>");
  item.Read(&reader);
  EXPECT_EQ(item.value, "r");
  EXPECT_EQ(reader.CurrentKind(), TXMLTokenKind::EndOfData);
}

TEST(XMLClass, ErrorReachesCallerWithSameMessageAndClearedHandlerReturns) {
  Item item;
  ExpectRaises([&] { (void)item.GetXML(); },
               Msg(u8"Попытка записи пустого значения в атрибут [v]"));
  item.SetErrorHandler(nullptr);
  item.SetXML("<other/>");
  item.Read();
  EXPECT_EQ(item.value, "");
}

}  // namespace
}  // namespace lyr::rtl
