#include "registry/ansi_path.h"

namespace varneth {

size_t NextSeparatorA(std::string_view path, size_t from, UINT codePage) {
  for (size_t at = from; at < path.size(); ++at) {
    if (path[at] == '\\') return at;
    if (at + 1 < path.size() && IsDBCSLeadByteEx(codePage, static_cast<BYTE>(path[at]))) ++at;
  }
  return path.size();
}

size_t LastSeparatorA(std::string_view path, UINT codePage) {
  size_t last = std::string_view::npos;
  for (size_t at = NextSeparatorA(path, 0, codePage); at < path.size();
       at = NextSeparatorA(path, at + 1, codePage)) {
    last = at;
  }
  return last;
}

size_t TrimmedLengthA(std::string_view path, UINT codePage) {
  for (size_t at = NextSeparatorA(path, 0, codePage); at < path.size();
       at = NextSeparatorA(path, at + 1, codePage)) {
    // A separator is a character of its own: the bytes after it that are
    // all 0x5C are separators too.
    if (path.find_first_not_of('\\', at) == std::string_view::npos) return at;
  }
  return path.size();
}

}  // namespace varneth
