// Text and byte-buffer values and the operations the program uses on them.
//
// A Text is an owned, NUL-terminated byte string in the ANSI code page (the
// program's own texts are code page 936). Holding no block is the empty text,
// and every operation reads it as "". As in code page 936, a byte from 0x81
// to 0xFE starts a two-byte character (0x80 and 0xFF stand alone); a lead
// byte that is a text's last byte stands alone, so no character scan passes
// the terminating NUL. That rule is code page 936's, the code page of
// everything the program writes; the ANSI code page may be another (65001,
// 1252, 950, ...), so what the user gives or the registry names is judged
// on its UTF-16 form (runtime/wide_text.h), not with these scans.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>

namespace varneth {

class Text {
 public:
  Text() = default;
  Text(const Text& other);
  Text(Text&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  Text& operator=(const Text& other);
  Text& operator=(Text&& other) noexcept;
  ~Text();

  // Takes ownership of a block made by AllocateBlock that holds a NUL.
  static Text Adopt(char* block);

  bool HasBlock() const { return block_ != nullptr; }
  // The bytes up to the NUL; "" when there is no block.
  const char* Bytes() const { return block_ != nullptr ? block_ : ""; }
  // The block itself, for platform calls that write into it; nullptr when
  // there is no block.
  char* Data() { return block_; }

 private:
  char* block_ = nullptr;
};

// A borrowed text argument: an owned Text or one of the program's literals.
// A null pointer is the empty text, like a Text without a block.
struct TextRef {
  TextRef(const Text& text) : bytes(text.HasBlock() ? text.Bytes() : nullptr) {}
  TextRef(const char* literal) : bytes(literal) {}
  const char* Bytes() const { return bytes != nullptr ? bytes : ""; }

  const char* bytes;
};

// An owned run of bytes. No block is the empty buffer; the operations here
// never make a buffer of 0 bytes.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(const ByteBuffer& other);
  ByteBuffer(ByteBuffer&& other) noexcept : block_(other.block_), count_(other.count_) {
    other.block_ = nullptr;
    other.count_ = 0;
  }
  ByteBuffer& operator=(const ByteBuffer& other);
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ~ByteBuffer();

  // A buffer of `count` bytes copied from `source`, or zeros when source is
  // nullptr; no block when count is 0 or less.
  static ByteBuffer FromBytes(const void* source, std::int32_t count);

  bool HasBlock() const { return block_ != nullptr; }
  const unsigned char* Data() const { return block_; }
  unsigned char* Data() { return block_; }
  std::int32_t Count() const { return count_; }

 private:
  unsigned char* block_ = nullptr;
  std::int32_t count_ = 0;
};

// Number of bytes before the NUL.
std::int32_t TextLength(TextRef text);
// Byte-wise comparison of unsigned bytes up to and including the first NUL:
// exactly -1, 0 or 1.
int CompareText(TextRef a, TextRef b);
// -1, 0 or 1 over the first `count` unsigned bytes; 0 when count is 0.
int CompareBytes(const void* a, const void* b, std::int32_t count);
// Always a new block, also when every part is empty.
Text ConcatTexts(std::initializer_list<TextRef> parts);
// No block for an empty text.
Text CopyText(TextRef text);
// Exactly `count` bytes and a NUL; no block when count is 0 or less.
Text TextFromBytes(const void* bytes, std::int32_t count);
// `count` spaces; no block when count is 0 or less.
Text BlankText(std::int32_t count);
// The one-character text of the code's low byte; no block when it is 0.
Text CharText(std::int32_t code);
// Removes every half-width space (0x20) and every full-width space (A1 A1,
// only where a character starts), wherever they stand.
Text RemoveSpaces(TextRef text);
// Replaces occurrences of `search` from byte position `start` (1-based), at
// most `count` of them; without a replacement they are removed. Case-
// insensitive matching folds A to Z only. A match never starts on the second
// byte of a two-byte character.
Text ReplaceText(TextRef text, TextRef search, std::optional<TextRef> replacement = std::nullopt,
                 std::optional<std::int32_t> start = std::nullopt,
                 std::optional<std::int32_t> count = std::nullopt, bool caseSensitive = false);
// Lowers A to Z; two-byte characters stay as they are.
Text ToLowerCase(TextRef text);

// The text's bytes without the NUL; no block for an empty text.
ByteBuffer TextToBytes(TextRef text);
// `count` zero bytes; no block when count is 0 or less.
ByteBuffer BlankBytes(std::int32_t count);
std::int32_t BytesLength(const ByteBuffer& buffer);
// The first min(count, length) bytes; no block when that is 0.
ByteBuffer LeftBytes(const ByteBuffer& buffer, std::int32_t count);

// True when the byte starts a two-byte character in code page 936: 0x81 to
// 0xFE. 0x80 (the euro sign) is a character of one byte.
inline bool IsLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

}  // namespace varneth
