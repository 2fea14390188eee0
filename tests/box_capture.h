// Watching fatal boxes from death tests: the child prints each box's caption
// and text in hex on standard error, and the parent matches the exact bytes
// (GoogleTest's simple regular expressions on Windows know no classes).
#pragma once

#include <cstdio>
#include <string>

namespace varneth::testing_support {

inline std::string Hex(const std::string& bytes) {
  std::string out;
  char pair[3];
  for (unsigned char byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    out += pair;
  }
  return out;
}

inline void PrintBoxInHex(const char* text, const char* caption) {
  std::fprintf(stderr, "box[%s|%s]\n", Hex(caption).c_str(), Hex(text).c_str());
  std::fflush(stderr);
}

// The death test's expected standard error: exactly one box, nothing after.
inline std::string ExpectedBox(const std::string& caption, const std::string& text) {
  return "^box\\[" + Hex(caption) + "\\|" + Hex(text) + "\\]\n$";
}

}  // namespace varneth::testing_support
