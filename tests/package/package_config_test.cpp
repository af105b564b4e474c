// CTdx880PackageConfig and CTdx880ItemConfig: defaults, settings and copying of the references.
#include <gtest/gtest.h>

#include "package/tdx880_item_config.h"
#include "package/tdx880_package_config.h"
#include "package/xml/xml_gpr_package.h"
#include "rtl/errors.h"

namespace lyr::package {
namespace {

// Stand-ins for description objects: the configurations only keep their addresses.
xml::CXMLGprPackage* FakeDescription() {
  static char storage;
  return reinterpret_cast<xml::CXMLGprPackage*>(&storage);
}
rtl::CXMLClass* FakeEntry(int n) {
  static char storage[2];
  return reinterpret_cast<rtl::CXMLClass*>(&storage[n]);
}

TEST(PackageConfig, StartsWithoutDescriptionOrFolderAndUsesUserStorage) {
  const CTdx880PackageConfig config;
  EXPECT_EQ(config.Description(), nullptr);
  EXPECT_EQ(config.WorkingDirectory(), "");
  EXPECT_TRUE(config.FlagUsageUserStorage());
}

TEST(PackageConfig, KeepsWhatTheContainerSets) {
  CTdx880PackageConfig config;
  config.SetDescription(FakeDescription());
  config.SetWorkingDirectory("/tmp/0123456789abcdef0123456789abcdef/");
  config.SetFlagUsageUserStorage(false);
  EXPECT_EQ(config.Description(), FakeDescription());
  EXPECT_EQ(config.WorkingDirectory(), "/tmp/0123456789abcdef0123456789abcdef/");
  EXPECT_FALSE(config.FlagUsageUserStorage());
}

TEST(PackageConfig, GivesTheDescriptionsThreadTypeCode) {
  xml::CXMLGprPackage description;
  description.SetThreadTypeCode("01");
  CTdx880PackageConfig config;
  config.SetDescription(&description);
  EXPECT_EQ(config.ThreadTypeCode(), "01");
  description.SetThreadTypeCode("02");  // read at each call, not copied
  EXPECT_EQ(config.ThreadTypeCode(), "02");
  EXPECT_THROW((void)CTdx880PackageConfig().ThreadTypeCode(), rtl::EAssertionFailed);
}

TEST(ItemConfig, IsCreatedFromAnEntryAndAPackageConfiguration) {
  CTdx880PackageConfig package;
  const CTdx880ItemConfig item(FakeEntry(0), &package);
  EXPECT_EQ(item.Entry(), FakeEntry(0));
  EXPECT_EQ(item.PackageConfig(), &package);
  EXPECT_EQ(CTdx880ItemConfig().Entry(), nullptr);
  EXPECT_EQ(CTdx880ItemConfig().PackageConfig(), nullptr);
}

TEST(ItemConfig, AssignCopiesBothReferencesAndLaterChangesOfThePackageShow) {
  CTdx880PackageConfig package;
  const CTdx880ItemConfig from_container(FakeEntry(1), &package);
  CTdx880ItemConfig own(FakeEntry(0), nullptr);
  own.Assign(from_container);
  EXPECT_EQ(own.Entry(), FakeEntry(1));
  EXPECT_EQ(own.PackageConfig(), &package);
  // The package configuration is shared, not copied: the item sees the container's settings.
  package.SetFlagUsageUserStorage(false);
  EXPECT_FALSE(own.PackageConfig()->FlagUsageUserStorage());
}

}  // namespace
}  // namespace lyr::package
