#include "cleanup/registry/registry_open.h"

#include <gtest/gtest.h>

#include <string>

#include "cleanup/registry/registry_delete.h"
#include "cleanup/scratch_registry.h"

namespace varneth {
namespace {

using namespace testing_support;

constexpr char kTarget[] = "Software\\VarnethTestLinkTarget";

class OpenWithoutLinksTest : public ScratchKeyTest {
 protected:
  void SetUp() override {
    ScratchKeyTest::SetUp();
    RemoveTree(HKEY_LOCAL_MACHINE, kTarget);
    AddString(HKEY_LOCAL_MACHINE, std::string(kTarget) + "\\deep", "v", "target");
    MakeLink(At("place\\link"), L"\\Registry\\Machine\\Software\\VarnethTestLinkTarget");
  }
  void TearDown() override {
    RemoveLink(At("place\\link"));
    RemoveTree(HKEY_LOCAL_MACHINE, kTarget);
    ScratchKeyTest::TearDown();
  }
};

TEST_F(OpenWithoutLinksTest, ALinkBelowThePlacesParentIsNeverFollowed) {
  const std::string parent = At("place");
  const std::string longPath = parent + "\\" + std::string(200, 'a') + "\\" + std::string(200, 'b');
  {
    // Made with the wide calls: the ANSI ones take no longer path.
    const std::wstring wide(longPath.begin(), longPath.end());
    HKEY deep;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, wide.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &deep, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(deep);
  }
  struct Case {
    std::string path;
    size_t followed;
    LONG status;
  };
  const Case cases[] = {
      {At("place\\link"), parent.size(), kMetRegistryLink},        // the key itself
      {At("place\\link\\deep"), parent.size(), kMetRegistryLink},  // a key on the way
      // A link above the place, which a user's program may have made: only
      // the platform's own (a user's Software\Classes) is followed.
      {At("place\\link\\deep"), parent.size() + 5, kMetRegistryLink},
      {At("place\\missing"), parent.size(), ERROR_FILE_NOT_FOUND},
      {longPath, parent.size(), ERROR_SUCCESS},
      {At("place\\\\link\\"), parent.size(), kMetRegistryLink},  // separators read as the registry reads them
  };
  for (const Case& c : cases) {
    RegistryKey key;
    EXPECT_EQ(OpenWithoutLinksA(HKEY_CURRENT_USER, c.path, c.followed, KEY_READ, key), c.status)
        << c.path << " " << c.followed;
    EXPECT_EQ(key.Get() != nullptr, c.status == ERROR_SUCCESS);
    const std::wstring wide(c.path.begin(), c.path.end());
    EXPECT_EQ(OpenWithoutLinks(HKEY_CURRENT_USER, wide, c.followed, KEY_READ, key), c.status)
        << c.path;
  }
}

TEST_F(OpenWithoutLinksTest, TheDeletionLeavesALinkAndItsTarget) {
  AddString(HKEY_CURRENT_USER, At("place"), "own", "x");
  const std::string place = At("place");
  const std::int32_t followed = static_cast<std::int32_t>(scratch_.size());
  for (const std::string item : {"link\\deep\\v", "link\\deep", "link\\", "link"}) {
    EXPECT_FALSE(DeleteRegistryItem(3, (place + "\\" + item).c_str(), nullptr, followed)) << item;
  }
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, std::string(kTarget) + "\\deep", "v"));
  HKEY link;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, At("place\\link").c_str(), REG_OPTION_OPEN_LINK,
                          KEY_READ, &link),
            ERROR_SUCCESS);
  EXPECT_TRUE(IsRegistryLink(link));
  RegCloseKey(link);
  // The place's own value still goes; the place itself stays above the link.
  EXPECT_TRUE(DeleteRegistryItem(3, (place + "\\own").c_str(), nullptr, followed));
  EXPECT_FALSE(DeleteRegistryItem(3, place.c_str(), nullptr, followed));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, place));
}

}  // namespace
}  // namespace varneth
