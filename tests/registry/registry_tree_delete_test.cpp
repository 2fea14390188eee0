#include "registry/registry_tree_delete.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "registry/registry_open.h"
#include "scratch_registry.h"

namespace varneth {
namespace {

using namespace testing_support;

struct Opened {
  HKEY parent;
  std::string name;
  DWORD options;
  REGSAM access;
  HKEY key;
};
std::vector<Opened> g_opened;
std::vector<HKEY> g_deleted;

LONG WINAPI RecordOpen(HKEY parent, LPCSTR name, DWORD options, REGSAM access, PHKEY key) {
  const LONG status = RegOpenKeyExA(parent, name, options, access, key);
  if (status == ERROR_SUCCESS) g_opened.push_back({parent, name, options, access, *key});
  return status;
}
LONG WINAPI RecordDelete(HKEY key) {
  g_deleted.push_back(key);
  return DeleteKeyByHandle(key);
}

class DeleteRegistryTreeTest : public ScratchKeyTest {
 protected:
  void TearDown() override {
    RemoveLink(At("t\\a\\link"));
    RemoveTree(HKEY_LOCAL_MACHINE, kTarget);
    ScratchKeyTest::TearDown();
  }
  // The keys opened to be deleted, by name.
  std::map<std::string, Opened> Run(bool expected) {
    g_opened.clear();
    g_deleted.clear();
    SetRegistryCalls({RecordOpen, RegOpenKeyExW, RecordDelete});
    EXPECT_EQ(DeleteRegistryTree(3, At("t").c_str()), expected);
    SetRegistryCalls({});
    std::map<std::string, Opened> deletable;
    for (const Opened& opened : g_opened) {
      if ((opened.access & DELETE) == 0) continue;
      EXPECT_TRUE(deletable.emplace(opened.name, opened).second) << "opened twice: " << opened.name;
      EXPECT_EQ(opened.access, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS | DELETE |
                                   KEY_WOW64_64KEY);
      EXPECT_NE(opened.options & REG_OPTION_OPEN_LINK, 0u);
    }
    return deletable;
  }
  static constexpr char kTarget[] = "Software\\VarnethTestTreeLinkTarget";
};

TEST_F(DeleteRegistryTreeTest, OpensEachKeyOnceBelowItsParentAndDeletesItThroughThatHandle) {
  AddString(HKEY_CURRENT_USER, At("t"), "v", "x");
  AddString(HKEY_CURRENT_USER, At("t\\a"), "w", "y");
  AddKey(HKEY_CURRENT_USER, At("t\\a\\deep"));
  AddKey(HKEY_CURRENT_USER, At("t\\b"));
  AddString(HKEY_CURRENT_USER, At(""), "t", "a value of the place's name");
  std::map<std::string, Opened> keys = Run(true);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, At("t")));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, At(""), "t"));
  ASSERT_EQ(keys.size(), 4u);
  // Each below the handle its parent was opened as, kept open meanwhile.
  EXPECT_EQ(keys["a"].parent, keys["t"].key);
  EXPECT_EQ(keys["deep"].parent, keys["a"].key);
  EXPECT_EQ(keys["b"].parent, keys["t"].key);
  EXPECT_EQ(g_deleted,
            (std::vector<HKEY>{keys["deep"].key, keys["a"].key, keys["b"].key, keys["t"].key}));
}

TEST_F(DeleteRegistryTreeTest, ALinkStaysWithTheKeysAboveItAndItsTargetUntouched) {
  AddString(HKEY_LOCAL_MACHINE, kTarget, "v", "target");
  AddString(HKEY_CURRENT_USER, At("t"), "v", "x");
  AddKey(HKEY_CURRENT_USER, At("t\\b"));
  MakeLink(At("t\\a\\link"), L"\\Registry\\Machine\\Software\\VarnethTestTreeLinkTarget");
  Run(false);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, At("t\\a")));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, At("t\\b")));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, At("t"), "v"));
  EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kTarget, "v"));
  EXPECT_TRUE(LinkExists(At("t\\a\\link")));
}

}  // namespace
}  // namespace varneth
