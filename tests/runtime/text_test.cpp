#include "runtime/text.h"

#include <gtest/gtest.h>

#include <string>

namespace varneth {
namespace {

// The bytes of a text, NULs after the first one left out.
std::string Str(const Text& text) { return text.Bytes(); }

TEST(TextValues, NoBlockAndEmptyBlockReadAlike) {
  const Text none;
  const Text emptyBlock = ConcatTexts({""});
  ASSERT_FALSE(none.HasBlock());
  ASSERT_TRUE(emptyBlock.HasBlock());
  for (TextRef text : {TextRef(none), TextRef(emptyBlock), TextRef(nullptr)}) {
    EXPECT_EQ(TextLength(text), 0);
    EXPECT_EQ(CompareText(text, ""), 0);
    EXPECT_FALSE(RemoveSpaces(text).HasBlock());
    EXPECT_FALSE(ReplaceText(text, ".").HasBlock());
    EXPECT_FALSE(ToLowerCase(text).HasBlock());
    EXPECT_FALSE(TextToBytes(text).HasBlock());
    EXPECT_FALSE(CopyText(text).HasBlock());
  }
}

TEST(TextValues, CopiesOwnTheirBytes) {
  char source[] = "abc";
  Text original = TextFromBytes(source, 3);
  source[0] = 'X';
  Text copy = original;
  EXPECT_NE(copy.Bytes(), original.Bytes());
  EXPECT_EQ(Str(copy), "abc");
  Text moved = std::move(copy);
  EXPECT_FALSE(copy.HasBlock());  // NOLINT: moved-from state is part of the contract
  EXPECT_EQ(Str(moved), "abc");
  moved = CopyText(moved);  // computed from the value it replaces
  EXPECT_EQ(Str(moved), "abc");
}

TEST(TextValues, BlankAndCharTexts) {
  EXPECT_EQ(Str(BlankText(3)), "   ");
  EXPECT_FALSE(BlankText(0).HasBlock());
  EXPECT_FALSE(BlankText(-1).HasBlock());
  EXPECT_EQ(Str(CharText(121)), "y");
  EXPECT_EQ(Str(CharText(121 + 256)), "y");
  EXPECT_FALSE(CharText(256).HasBlock());
  EXPECT_FALSE(TextFromBytes("abc", 0).HasBlock());
}

TEST(TextValues, TextFromBytesKeepsBytesAfterANul) {
  const char bytes[] = {'a', '\0', 'b'};
  Text text = TextFromBytes(bytes, 3);
  EXPECT_EQ(TextLength(text), 1);
  EXPECT_EQ(text.Data()[2], 'b');
  EXPECT_EQ(text.Data()[3], '\0');
}

TEST(CompareText, IsByteWiseUnsignedAndExact) {
  EXPECT_EQ(CompareText(Text(), ""), 0);
  EXPECT_EQ(CompareText("a", "B"), 1);
  EXPECT_EQ(CompareText("B", "a"), -1);
  EXPECT_EQ(CompareText("ab", "abc"), -1);
  EXPECT_EQ(CompareText("abc", "ab"), 1);
  EXPECT_EQ(CompareText("\x80", "\x7F"), 1);  // unsigned, not char-signed
  EXPECT_EQ(CompareText("zzzz", "zzzy"), 1);
}

TEST(CompareBytes, ComparesExactlyCountBytes) {
  EXPECT_EQ(CompareBytes("abc", "abd", 2), 0);
  EXPECT_EQ(CompareBytes("abc", "abd", 3), -1);
  EXPECT_EQ(CompareBytes("\xFF", "\x01", 1), 1);
  EXPECT_EQ(CompareBytes("a", "b", 0), 0);
}

TEST(ConcatTexts, AlwaysGivesABlock) {
  const Text both = ConcatTexts({"", ""});
  EXPECT_TRUE(both.HasBlock());
  EXPECT_EQ(Str(both), "");
  EXPECT_EQ(Str(ConcatTexts({"a", Text(), "\xB0\xA1", "c"})), "a\xB0\xA1" "c");
}

TEST(RemoveSpaces, RemovesHalfAndFullWidthSpacesEverywhere) {
  EXPECT_FALSE(RemoveSpaces("   ").HasBlock());
  EXPECT_FALSE(RemoveSpaces("\xA1\xA1").HasBlock());
  EXPECT_EQ(Str(RemoveSpaces("a b\xA1\xA1" "c")), "abc");
  EXPECT_EQ(Str(RemoveSpaces("\xA1\xA1.txt ")), ".txt");
  EXPECT_EQ(Str(RemoveSpaces(" e x e ")), "exe");
  EXPECT_EQ(Str(RemoveSpaces("\r\n")), "\r\n");
  EXPECT_EQ(Str(RemoveSpaces("a\tb")), "a\tb");
}

TEST(RemoveSpaces, SeesFullWidthSpaceOnlyAtACharacterStart) {
  // B0 A1 is one character; its trail byte and the next lead byte A1 do not
  // form a full-width space.
  EXPECT_EQ(Str(RemoveSpaces("\xB0\xA1\xA1\xB0")), "\xB0\xA1\xA1\xB0");
  // A character whose trail byte is 0x20 is kept whole.
  EXPECT_EQ(Str(RemoveSpaces("\x81\x20z")), "\x81\x20z");
  // A lone lead byte at the end is a character by itself.
  EXPECT_EQ(Str(RemoveSpaces("a \xA1")), "a\xA1");
}

TEST(ReplaceText, RemovesDots) {
  EXPECT_EQ(Str(ReplaceText("..txt", ".", std::nullopt, std::nullopt, std::nullopt, true)), "txt");
  EXPECT_EQ(Str(ReplaceText("tar.gz", ".")), "targz");
  const Text allGone = ReplaceText(".", ".");
  EXPECT_TRUE(allGone.HasBlock());
  EXPECT_EQ(Str(allGone), "");
}

TEST(ReplaceText, UnchangedCopyOutsideItsRange) {
  EXPECT_EQ(Str(ReplaceText("ab", "abc", "x")), "ab");
  EXPECT_EQ(Str(ReplaceText("ab", "", "x")), "ab");
  EXPECT_EQ(Str(ReplaceText("a.b", ".", "x", 0)), "a.b");
  EXPECT_EQ(Str(ReplaceText("a.b", ".", "x", 3)), "a.b");  // past the last place it fits
  EXPECT_EQ(Str(ReplaceText("a.b", ".", "x", 1, 0)), "a.b");
  EXPECT_EQ(Str(ReplaceText("a.b", ".", "x", 1, -2)), "a.b");
}

TEST(ReplaceText, StartAndCount) {
  EXPECT_EQ(Str(ReplaceText("a.b.c", ".", std::nullopt, 3)), "a.bc");
  EXPECT_EQ(Str(ReplaceText("a.b.c", ".", std::nullopt, std::nullopt, 1)), "ab.c");
  EXPECT_EQ(Str(ReplaceText("a.b.c", ".", "--", 2, 1)), "a--b.c");
  EXPECT_EQ(Str(ReplaceText("aaaa", "aa", "b")), "bb");
}

TEST(ReplaceText, CaseFoldingIsAsciiOnly) {
  EXPECT_EQ(Str(ReplaceText("TxT", "t", "_")), "_x_");
  EXPECT_EQ(Str(ReplaceText("TxT", "t", "_", std::nullopt, std::nullopt, true)), "TxT");
  // Full-width Ａ (A3 C1) and ａ (A3 E1) are not folded.
  EXPECT_EQ(Str(ReplaceText("\xA3\xC1", "\xA3\xE1", "x")), "\xA3\xC1");
}

TEST(ReplaceText, NeverMatchesOnATrailByte) {
  // The trail byte of B0 2E is a "." by value, but not a character.
  EXPECT_EQ(Str(ReplaceText("\xB0.a.", ".", std::nullopt, std::nullopt, std::nullopt, true)),
            "\xB0.a");
  EXPECT_EQ(Str(ReplaceText("\x81\x5C\\", "\\", "/")), "\x81\x5C/");
}

TEST(ReplaceText, LongResultsLeaveThePool) {
  const std::string longText(3000, '.');
  const Text result = ReplaceText(longText.c_str(), ".", "ab");
  EXPECT_EQ(TextLength(result), 6000);
  EXPECT_EQ(std::string(result.Bytes()).find_first_not_of("ab"), std::string::npos);
}

TEST(ToLowerCase, LowersAsciiLettersOnly) {
  EXPECT_EQ(Str(ToLowerCase("Y")), "y");
  EXPECT_EQ(Str(ToLowerCase("TxT.GZ")), "txt.gz");
  EXPECT_EQ(Str(ToLowerCase("\xA3\xD9")), "\xA3\xD9");  // full-width Ｙ
  // 0x41 after a lead byte is a trail byte, not the letter A.
  EXPECT_EQ(Str(ToLowerCase("\x81\x41" "A")), "\x81\x41" "a");
  EXPECT_EQ(Str(ToLowerCase("A\x81")), "a\x81");
}

// Code page 936's lead bytes are 0x81 to 0xFE; 0x80 (the euro sign) and 0xFF
// are characters of one byte, so the byte after them is a character too.
TEST(LeadBytes, FollowCodePage936) {
  EXPECT_FALSE(IsLeadByte(0x7F));
  EXPECT_FALSE(IsLeadByte(0x80));
  EXPECT_TRUE(IsLeadByte(0x81));
  EXPECT_TRUE(IsLeadByte(0xFE));
  EXPECT_FALSE(IsLeadByte(0xFF));
  EXPECT_EQ(Str(ToLowerCase("\x80" "A\xFF" "B\xFE" "C")), "\x80" "a\xFF" "b\xFE" "C");
  EXPECT_EQ(Str(RemoveSpaces("\x80\xA1\xA1")), "\x80");
}

TEST(ByteBuffers, ConversionsAndLengths) {
  const ByteBuffer bytes = TextToBytes("ab");
  ASSERT_EQ(BytesLength(bytes), 2);
  EXPECT_EQ(CompareBytes(bytes.Data(), "ab", 2), 0);
  EXPECT_EQ(BytesLength(ByteBuffer()), 0);

  const ByteBuffer zeros = BlankBytes(255);
  ASSERT_EQ(BytesLength(zeros), 255);
  for (int i = 0; i < 255; ++i) ASSERT_EQ(zeros.Data()[i], 0);
  EXPECT_FALSE(BlankBytes(0).HasBlock());

  EXPECT_EQ(BytesLength(LeftBytes(zeros, 4)), 4);
  EXPECT_EQ(BytesLength(LeftBytes(bytes, 9)), 2);
  EXPECT_FALSE(LeftBytes(zeros, 0).HasBlock());
  EXPECT_FALSE(LeftBytes(ByteBuffer(), 4).HasBlock());

  ByteBuffer copy = bytes;
  EXPECT_NE(copy.Data(), bytes.Data());
  EXPECT_EQ(CompareBytes(copy.Data(), bytes.Data(), 2), 0);
}

}  // namespace
}  // namespace varneth
