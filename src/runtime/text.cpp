#include "runtime/text.h"

#include <cstring>

#include "runtime/memory.h"
#include "runtime/text_builder.h"

namespace varneth {
namespace {

char* NewTextBlock(std::int32_t length) {
  return static_cast<char*>(AllocateBlock(static_cast<std::size_t>(length) + 1));
}

// Bytes of the character that starts at `i`: two for a lead byte, unless the
// lead byte is the last byte of the text.
std::int32_t CharacterWidth(const unsigned char* bytes, std::int32_t i, std::int32_t length) {
  return (IsLeadByte(bytes[i]) && i + 1 < length) ? 2 : 1;
}

bool IsFullWidthSpace(const unsigned char* bytes, std::int32_t i, std::int32_t length) {
  return i + 1 < length && bytes[i] == 0xA1 && bytes[i + 1] == 0xA1;
}

unsigned char FoldAsciiLetter(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

bool MatchesAt(const unsigned char* text, const unsigned char* search, std::int32_t searchLength,
               bool caseSensitive) {
  for (std::int32_t k = 0; k < searchLength; ++k) {
    const unsigned char a = caseSensitive ? text[k] : FoldAsciiLetter(text[k]);
    const unsigned char b = caseSensitive ? search[k] : FoldAsciiLetter(search[k]);
    if (a != b) return false;
  }
  return true;
}

}  // namespace

// ---- Text ----

Text::Text(const Text& other) : Text(CopyText(other)) {}

Text& Text::operator=(const Text& other) {
  if (this != &other) *this = CopyText(other);
  return *this;
}

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    ReleaseBlock(block_);
    block_ = other.block_;
    other.block_ = nullptr;
  }
  return *this;
}

Text::~Text() { ReleaseBlock(block_); }

Text Text::Adopt(char* block) {
  Text text;
  text.block_ = block;
  return text;
}

// ---- ByteBuffer ----

ByteBuffer::ByteBuffer(const ByteBuffer& other) : ByteBuffer(FromBytes(other.block_, other.count_)) {}

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other) {
  if (this != &other) *this = FromBytes(other.block_, other.count_);
  return *this;
}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    ReleaseBlock(block_);
    block_ = other.block_;
    count_ = other.count_;
    other.block_ = nullptr;
    other.count_ = 0;
  }
  return *this;
}

ByteBuffer::~ByteBuffer() { ReleaseBlock(block_); }

ByteBuffer ByteBuffer::FromBytes(const void* source, std::int32_t count) {
  ByteBuffer buffer;
  if (count <= 0) return buffer;
  buffer.block_ = static_cast<unsigned char*>(AllocateBlock(static_cast<std::size_t>(count)));
  if (source != nullptr) std::memcpy(buffer.block_, source, static_cast<std::size_t>(count));
  buffer.count_ = count;
  return buffer;
}

// ---- Text operations ----

std::int32_t TextLength(TextRef text) {
  return static_cast<std::int32_t>(std::strlen(text.Bytes()));
}

int CompareText(TextRef a, TextRef b) {
  const int result = std::strcmp(a.Bytes(), b.Bytes());
  return (result > 0) - (result < 0);
}

int CompareBytes(const void* a, const void* b, std::int32_t count) {
  if (count <= 0) return 0;
  const int result = std::memcmp(a, b, static_cast<std::size_t>(count));
  return (result > 0) - (result < 0);
}

Text ConcatTexts(std::initializer_list<TextRef> parts) {
  std::int32_t length = 0;
  for (TextRef part : parts) length += TextLength(part);
  char* block = NewTextBlock(length);
  char* end = block;
  for (TextRef part : parts) {
    const std::size_t partLength = std::strlen(part.Bytes());
    std::memcpy(end, part.Bytes(), partLength);
    end += partLength;
  }
  return Text::Adopt(block);
}

Text CopyText(TextRef text) { return TextFromBytes(text.Bytes(), TextLength(text)); }

Text TextFromBytes(const void* bytes, std::int32_t count) {
  if (count <= 0) return Text();
  char* block = NewTextBlock(count);
  std::memcpy(block, bytes, static_cast<std::size_t>(count));
  return Text::Adopt(block);
}

Text BlankText(std::int32_t count) {
  if (count <= 0) return Text();
  char* block = NewTextBlock(count);
  std::memset(block, ' ', static_cast<std::size_t>(count));
  return Text::Adopt(block);
}

Text CharText(std::int32_t code) {
  const char byte = static_cast<char>(code & 0xFF);
  if (byte == 0) return Text();
  return TextFromBytes(&byte, 1);
}

Text RemoveSpaces(TextRef text) {
  const std::int32_t length = TextLength(text);
  if (length == 0) return Text();
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.Bytes());
  char* block = NewTextBlock(length);
  std::int32_t kept = 0;
  for (std::int32_t i = 0; i < length;) {
    if (bytes[i] == ' ') {
      i += 1;
    } else if (IsFullWidthSpace(bytes, i, length)) {
      i += 2;
    } else {
      const std::int32_t width = CharacterWidth(bytes, i, length);
      std::memcpy(block + kept, bytes + i, static_cast<std::size_t>(width));
      kept += width;
      i += width;
    }
  }
  if (kept == 0) {
    ReleaseBlock(block);
    return Text();
  }
  return Text::Adopt(block);
}

Text ReplaceText(TextRef text, TextRef search, std::optional<TextRef> replacement,
                 std::optional<std::int32_t> start, std::optional<std::int32_t> count,
                 bool caseSensitive) {
  const std::int32_t length = TextLength(text);
  if (length == 0) return Text();
  const std::int32_t searchLength = TextLength(search);
  if (searchLength == 0 || searchLength > length) return CopyText(text);
  const std::int32_t from = start.value_or(1);
  const std::int32_t limit = count.value_or(2147483647);
  if (from < 1 || from > length - searchLength + 1 || limit <= 0) return CopyText(text);

  const auto* bytes = reinterpret_cast<const unsigned char*>(text.Bytes());
  const auto* pattern = reinterpret_cast<const unsigned char*>(search.Bytes());
  const std::int32_t replacementLength = replacement ? TextLength(*replacement) : 0;
  TextBuilder result;
  std::int32_t copiedUpTo = 0;
  std::int32_t replaced = 0;
  for (std::int32_t i = from - 1; i <= length - searchLength && replaced < limit;) {
    if (MatchesAt(bytes + i, pattern, searchLength, caseSensitive)) {
      result.Append(bytes + copiedUpTo, i - copiedUpTo);
      if (replacement) result.Append(replacement->Bytes(), replacementLength);
      i += searchLength;
      copiedUpTo = i;
      ++replaced;
    } else {
      i += CharacterWidth(bytes, i, length);
    }
  }
  result.Append(bytes + copiedUpTo, length - copiedUpTo);
  // From here the result is always a block, "" when everything was replaced.
  char* block = NewTextBlock(result.Used());
  if (result.Used() > 0) std::memcpy(block, result.Data(), static_cast<std::size_t>(result.Used()));
  return Text::Adopt(block);
}

Text ToLowerCase(TextRef text) {
  Text lowered = CopyText(text);
  if (!lowered.HasBlock()) return lowered;
  auto* bytes = reinterpret_cast<unsigned char*>(lowered.Data());
  const std::int32_t length = TextLength(lowered);
  for (std::int32_t i = 0; i < length;) {
    const std::int32_t width = CharacterWidth(bytes, i, length);
    if (width == 1) bytes[i] = FoldAsciiLetter(bytes[i]);
    i += width;
  }
  return lowered;
}

// ---- ByteBuffer operations ----

ByteBuffer TextToBytes(TextRef text) { return ByteBuffer::FromBytes(text.Bytes(), TextLength(text)); }

ByteBuffer BlankBytes(std::int32_t count) { return ByteBuffer::FromBytes(nullptr, count); }

std::int32_t BytesLength(const ByteBuffer& buffer) { return buffer.Count(); }

ByteBuffer LeftBytes(const ByteBuffer& buffer, std::int32_t count) {
  const std::int32_t kept = count < buffer.Count() ? count : buffer.Count();
  return ByteBuffer::FromBytes(buffer.Data(), kept);
}

}  // namespace varneth
