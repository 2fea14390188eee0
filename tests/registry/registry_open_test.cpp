#include "registry/registry_open.h"

#include <gtest/gtest.h>

#include <string>

#include "registry/registry_delete.h"
#include "registry/registry_walker.h"
#include "scratch_registry.h"

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
  EXPECT_TRUE(LinkExists(At("place\\link")));
  // The place's own value still goes; the place itself stays above the link.
  EXPECT_TRUE(DeleteRegistryItem(3, (place + "\\own").c_str(), nullptr, followed));
  EXPECT_FALSE(DeleteRegistryItem(3, place.c_str(), nullptr, followed));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, place));
}

// A user laid out as Windows lays one out: their class keys in the hive
// HKEY_USERS\<SID>_Classes, and HKEY_USERS\<SID>\Software\Classes a link
// (under Wine it is a plain key, so the test makes one).
class PlatformLinkTest : public ::testing::Test {
 protected:
  static constexpr char kSid[] = "S-1-5-21-1000-2000-3000-1029";
  static std::string Hive() { return std::string(kSid) + "_Classes"; }
  static std::string Link() { return std::string(kSid) + "\\Software\\Classes"; }
  void SetUp() override {
    TearDown();
    AddString(HKEY_USERS, Hive() + "\\.vntlink", "v", "user");
    AddKey(HKEY_USERS, std::string(kSid) + "\\Software");
    AddString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vntlink", "v", "machine");
  }
  void TearDown() override {
    RemoveLink(Link(), HKEY_USERS);  // first: a tree deletion would follow it
    RemoveTree(HKEY_USERS, kSid);
    RemoveTree(HKEY_USERS, Hive());
    RemoveTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vntlink");
  }
  static std::string ValueAt(HKEY root, const std::string& path) {
    char text[32] = "";
    DWORD size = sizeof text;
    RegGetValueA(root, path.c_str(), "v", RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
  }
};

TEST_F(PlatformLinkTest, TheUsersOwnLinkLeadsToTheirClassesHive) {
  // Written in another letter case than the platform's \REGISTRY\USER\<SID>_Classes.
  MakeLink(Link(), L"\\registry\\user\\s-1-5-21-1000-2000-3000-1029_classes", HKEY_USERS);
  const std::string place = Link() + "\\.vntlink";
  RegistryKey key;
  ASSERT_EQ(OpenWithoutLinksA(HKEY_USERS, place, ParentLengthA(place), KEY_READ, key),
            ERROR_SUCCESS);
  EXPECT_EQ(ValueAt(key.Get(), ""), "user");
  // The link is taken only as the place's parent, never as the place.
  EXPECT_EQ(OpenWithoutLinksA(HKEY_USERS, Link(), ParentLengthA(Link()), KEY_READ, key),
            kMetRegistryLink);
  EXPECT_TRUE(DeleteRegistryItem(5, (place + "\\v").c_str()));
  EXPECT_TRUE(DeleteRegistryItem(5, place.c_str()));
  EXPECT_FALSE(KeyExists(HKEY_USERS, Hive() + "\\.vntlink"));
  EXPECT_EQ(ValueAt(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.vntlink"), "machine");
}

TEST_F(PlatformLinkTest, ALinkAtSoftwareClassesToAnyOtherKeyIsNotFollowed) {
  const std::string place = Link() + "\\.vntlink";
  for (const wchar_t* target : {L"\\Registry\\Machine\\Software\\Classes",
                                L"\\REGISTRY\\USER\\S-1-5-21-1000-2000-3000-1030_Classes"}) {
    RemoveLink(Link(), HKEY_USERS);
    MakeLink(Link(), target, HKEY_USERS);
    RegistryKey key;
    EXPECT_EQ(OpenWithoutLinksA(HKEY_USERS, place, ParentLengthA(place), KEY_READ, key),
              kMetRegistryLink);
    EXPECT_FALSE(DeleteRegistryItem(5, (place + "\\v").c_str()));
    EXPECT_FALSE(DeleteRegistryItem(5, place.c_str()));
    RegistryRecordList records;
    WalkRegistryTree(4, place.c_str(), kSubtree, records);
    EXPECT_TRUE(records.empty());
  }
  // Followed as named, the first link does lead into the machine's classes.
  RemoveLink(Link(), HKEY_USERS);
  MakeLink(Link(), L"\\Registry\\Machine\\Software\\Classes", HKEY_USERS);
  ASSERT_EQ(ValueAt(HKEY_USERS, place), "machine");
  EXPECT_EQ(ValueAt(HKEY_USERS, Hive() + "\\.vntlink"), "user");
}

}  // namespace
}  // namespace varneth
