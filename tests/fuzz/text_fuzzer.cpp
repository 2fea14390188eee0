// Fuzzes the text operations and the line-end cut against plain references
// written from their rules with std::string: same bytes out, and (through
// the sanitizers) no read past a text's end and no leak.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "frontend/line_end.h"
#include "runtime/text.h"

namespace {

using namespace varneth;

// A text has no NUL inside.
std::string TakeText(FuzzedDataProvider& input, size_t maxLength = 64) {
  std::string text = input.ConsumeRandomLengthString(maxLength);
  text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
  return text;
}

// Exact-length heap copy, so a read past the NUL is caught.
Text Owned(const std::string& bytes) {
  return TextFromBytes(bytes.data(), static_cast<std::int32_t>(bytes.size()));
}

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Lead(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

// Characters: a lead byte and the byte after it, unless the lead byte ends the text.
size_t Width(const std::string& s, size_t i) { return Lead(s[i]) && i + 1 < s.size() ? 2 : 1; }

std::string ReferenceRemoveSpaces(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); i += Width(s, i)) {
    const std::string character = s.substr(i, Width(s, i));
    if (character != " " && character != "\xA1\xA1") out += character;
  }
  return out;
}

std::string ReferenceLower(const std::string& s) {
  std::string out = s;
  for (size_t i = 0; i < out.size(); i += Width(out, i)) {
    if (Width(out, i) == 1 && out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] + 32);
  }
  return out;
}

std::string Fold(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return s;
}

std::string ReferenceReplace(const std::string& s, const std::string& search,
                             const std::optional<std::string>& replacement, int start, int count,
                             bool caseSensitive) {
  if (search.empty() || search.size() > s.size()) return s;
  if (start < 1 || start > static_cast<int>(s.size() - search.size()) + 1 || count <= 0) return s;
  const std::string haystack = caseSensitive ? s : Fold(s);
  const std::string needle = caseSensitive ? search : Fold(search);
  std::string out = s.substr(0, static_cast<size_t>(start - 1));
  size_t i = static_cast<size_t>(start - 1);
  int done = 0;
  while (i + search.size() <= s.size() && done < count) {
    if (haystack.compare(i, needle.size(), needle) == 0) {
      out += replacement.value_or("");
      i += search.size();
      ++done;
    } else {
      out += s.substr(i, Width(s, i));
      i += Width(s, i);
    }
  }
  return out + s.substr(i);
}

std::string ReferenceCut(const std::string& bytes) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\0' || bytes[i] == '\r' || bytes[i] == '\n') return bytes.substr(0, i);
  }
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0: {
      const std::string s = TakeText(input, 256);
      const Text result = RemoveSpaces(Owned(s));
      Check(result.Bytes() == ReferenceRemoveSpaces(s));
      Check(result.HasBlock() == !ReferenceRemoveSpaces(s).empty());
      break;
    }
    case 1: {
      const std::string s = TakeText(input);
      const std::string search = TakeText(input, 4);
      const bool withReplacement = input.ConsumeBool();
      const std::string replacement = TakeText(input, 4);
      const bool withStart = input.ConsumeBool();
      const int start = input.ConsumeIntegralInRange(-2, 70);
      const bool withCount = input.ConsumeBool();
      const int count = input.ConsumeIntegralInRange(-1, 5);
      const bool caseSensitive = input.ConsumeBool();
      const Text owned = Owned(s);
      const Text replacementText = Owned(replacement);
      const Text result = ReplaceText(
          owned, Owned(search),
          withReplacement ? std::optional<TextRef>(replacementText) : std::nullopt,
          withStart ? std::optional<std::int32_t>(start) : std::nullopt,
          withCount ? std::optional<std::int32_t>(count) : std::nullopt, caseSensitive);
      const std::string expected = s.empty() ? "" :
          ReferenceReplace(s, search, withReplacement ? std::optional<std::string>(replacement) : std::nullopt,
                           withStart ? start : 1, withCount ? count : 2147483647, caseSensitive);
      Check(result.Bytes() == expected);
      break;
    }
    case 2: {
      const std::string s = TakeText(input, 256);
      Check(ToLowerCase(Owned(s)).Bytes() == ReferenceLower(s));
      break;
    }
    case 3: {
      const std::string a = TakeText(input);
      const std::string b = TakeText(input);
      const int expected = a.compare(b) < 0 ? -1 : (a.compare(b) > 0 ? 1 : 0);
      Check(CompareText(Owned(a), Owned(b)) == expected);
      break;
    }
    case 4: {
      const std::string a = TakeText(input);
      const std::string b = TakeText(input);
      const std::string c = TakeText(input);
      const Text joined = ConcatTexts({Owned(a), Owned(b), Owned(c)});
      Check(joined.HasBlock() && joined.Bytes() == a + b + c);
      break;
    }
    default: {
      std::string bytes = input.ConsumeRemainingBytesAsString();
      const std::string expected = ReferenceCut(bytes);
      char* copy = static_cast<char*>(std::malloc(bytes.size() + 1));
      std::copy(bytes.begin(), bytes.end(), copy);
      copy[bytes.size()] = '\0';
      CutLineEnd(copy, static_cast<std::int32_t>(bytes.size()));
      Check(std::string(copy) == expected);
      std::free(copy);
      break;
    }
  }
  return 0;
}
