// Registry keys and values as the registry editor's export text (version 5:
// UTF-16, read back by "reg import" or a double click on the file).
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace varneth {

// The text's first line; the file itself begins with a byte-order mark.
inline constexpr wchar_t kRegFileHeader[] = L"Windows Registry Editor Version 5.00\r\n";

struct ExportCounts {
  std::int32_t keys = 0;
  std::int32_t values = 0;
  // Names below the start key that the ANSI code page cannot hold: the
  // cleanup's ANSI registry calls cannot name those keys and values.
  std::int32_t unreachableNames = 0;
  // Keys and values below the start key whose name holds a NUL, which the
  // format cannot carry: they are not written, and so never deleted.
  std::int32_t uncarriedKeys = 0;
  std::int32_t uncarriedValues = 0;
};

// Why an export could not be made complete.
enum class ExportProblem {
  kNone,
  kRegistryError,      // a key or value could not be read: `error` says why
  kNameWithLineBreak,  // a key or value name holds CR or LF, which the format cannot carry
};

struct ExportStatus {
  ExportProblem problem = ExportProblem::kNone;
  LONG error = ERROR_SUCCESS;
  bool Complete() const { return problem == ExportProblem::kNone; }
};

// Told what an export wrote, item by item, and which registry links it
// passed over; each part may be left empty.
struct ExportVisitor {
  std::function<void(const std::wstring& keyFullPath)> key;
  std::function<void(const std::wstring& keyFullPath, const std::wstring& name, DWORD type,
                     const BYTE* data, DWORD size)>
      value;
  std::function<void(const std::wstring& linkFullPath)> link;
  // A key or value left out for a name with a NUL: the key's full path, and
  // the holding key's with the value's name.
  std::function<void(const std::wstring& keyFullPath, const std::wstring* valueName)> uncarried;
  // Given the text appended so far after each key header and value line: it
  // may take the text away (write it out and clear it), so that an export
  // of any size is never held whole.
  std::function<void(std::wstring& out)> drain;
};

// Appends the open key, its values and every key below it with theirs,
// parents before children, under `fullPath` (the root's name in front).
// Subkeys are opened relative to their parent's handle and as themselves: a
// registry link is neither followed nor written, only told to the visitor.
// A key's subkeys are listed whole before any is read, and listed again when
// they changed meanwhile, so a sibling deleted by another program never makes
// the export skip another; a subkey gone by the time it is read is gone.
// Every name and buffer grows as the registry asks, so names and data of any
// length come out exactly as stored. A key or value whose name holds a NUL
// is left out (with its subtree) and counted: the format has no way to write
// it, and an importer would read another name. A name holding CR or LF
// makes the export incomplete, but the tree is still read and counted whole.
ExportStatus ExportKeyTree(HKEY key, const std::wstring& fullPath, std::wstring& out,
                           ExportCounts& counts, const ExportVisitor* visitor = nullptr);

// Appends one value of the open key, under its key's header.
ExportStatus ExportOneValue(HKEY key, const std::wstring& keyFullPath, const std::wstring& name,
                            std::wstring& out, const ExportVisitor* visitor = nullptr);

// "\r\n[fullPath]\r\n": a blank line, then the key's header.
void AppendKeyHeader(std::wstring& out, const std::wstring& fullPath);

// One value line: "@=" or "\"name\"=", then a "..." string for a REG_SZ that
// is a clean NUL-terminated string without CR or LF, "dword:" for a 4-byte
// REG_DWORD, "hex:" for REG_BINARY and "hex(N):" for everything else (a REG_SZ
// that is not clean as hex(1)), long hex data wrapped as the registry editor
// wraps it. Backslashes and quotes in names and strings are escaped.
void AppendValueLine(std::wstring& out, const std::wstring& name, DWORD type, const BYTE* data,
                     DWORD size);

// False for a name holding CR or LF.
bool CanCarryName(const std::wstring& name);
// False for a name holding a NUL.
bool CanWriteName(const std::wstring& name);

}  // namespace varneth
