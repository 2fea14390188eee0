#include "registry/registry_delete.h"

#include <gtest/gtest.h>

#include <string>

#include "scratch_registry.h"

namespace varneth {
namespace {

using namespace testing_support;

constexpr DeleteRootCode kCurrentUser = 3;

class DeleteRegistryItemTest : public ScratchKeyTest {};

TEST_F(DeleteRegistryItemTest, BadRootCodesAndEmptyPathsTouchNothing) {
  AddString(HKEY_CURRENT_USER, At("k"), "v", "x");
  for (DeleteRootCode code : {0, 6, -1, 100}) {
    EXPECT_FALSE(DeleteRegistryItem(code, At("k\\v").c_str())) << code;
    EXPECT_FALSE(DeleteRegistryItem(code, At("k").c_str())) << code;
  }
  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, ""));
  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, Text()));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, At("k"), "v"));
}

TEST_F(DeleteRegistryItemTest, DeletesANamedValue) {
  AddString(HKEY_CURRENT_USER, At(".abc\\OpenWithProgids"), "abc_auto_file", "");
  AddString(HKEY_CURRENT_USER, At(".abc\\OpenWithProgids"), "other", "");
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, At(".abc\\OpenWithProgids\\abc_auto_file").c_str()));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, At(".abc\\OpenWithProgids"), "abc_auto_file"));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, At(".abc\\OpenWithProgids"), "other"));
}

TEST_F(DeleteRegistryItemTest, FallsBackToTheKeyNamedByTheWholePath) {
  AddString(HKEY_CURRENT_USER, At("parent\\child"), "v", "x");
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, At("parent\\child").c_str()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, At("parent\\child")));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, At("parent")));
  // Nothing of that name left: false.
  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, At("parent\\child").c_str()));
}

TEST_F(DeleteRegistryItemTest, TrailingBackslashNamesTheDefaultValueThenTheKey) {
  AddString(HKEY_CURRENT_USER, At("k"), nullptr, "default");
  AddString(HKEY_CURRENT_USER, At("k"), "named", "x");
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, At("k\\").c_str()));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, At("k"), nullptr));
  EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, At("k"), "named"));
  // No default value left: the key itself goes, with its values.
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, At("k\\").c_str()));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, At("k")));
}

TEST_F(DeleteRegistryItemTest, AKeyWithSubkeysStays) {
  AddKey(HKEY_CURRENT_USER, At("k\\sub"));
  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, At("k").c_str()));
  EXPECT_FALSE(DeleteRegistryItem(kCurrentUser, At("k\\").c_str()));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, At("k\\sub")));
}

TEST_F(DeleteRegistryItemTest, PathsWithoutOrBeginningWithABackslashWorkAtTheRoot) {
  const std::string rootKey = "VarnethTestRootKey";
  RemoveTree(HKEY_CURRENT_USER, rootKey);
  AddString(HKEY_CURRENT_USER, rootKey, nullptr, "default");
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, rootKey.c_str()));  // its default value
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, rootKey));
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, rootKey.c_str()));  // then the key
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, rootKey));

  AddString(HKEY_CURRENT_USER, "", "VarnethTestRootValue", "x");
  EXPECT_TRUE(DeleteRegistryItem(kCurrentUser, "\\VarnethTestRootValue"));
  EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "", "VarnethTestRootValue"));
}

// Wine's RegDeleteTree overflows its stack on a key named by a lone lead
// byte, so that key is removed by its own ANSI name before the scratch root.
TEST_F(DeleteRegistryItemTest, LeavesTheCallersTextUnchanged) {
  AddString(HKEY_CURRENT_USER, At("k"), "v", "x");
  for (const std::string& relative : {std::string("k\\v"), std::string("k\\"), std::string("k"),
                                      std::string("missing\\x")}) {
    const Text path = TextFromBytes(At(relative).data(), static_cast<std::int32_t>(At(relative).size()));
    DeleteRegistryItem(kCurrentUser, path);
    EXPECT_EQ(std::string(path.Bytes()), At(relative));
  }
}

}  // namespace
}  // namespace varneth
