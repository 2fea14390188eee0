// The default-associations files: an XML list of <Association Identifier=
// ".ext" ProgId="Class" .../> that Windows applies to users' choices, one
// named by the machine's policy and the manufacturer's in System32.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varneth {

struct DefaultAssociation {
  std::wstring identifier;  // ".txt", "http", ...; empty when absent
  std::wstring progId;      // empty when absent
};

struct DefaultAssociations {
  std::vector<DefaultAssociation> associations;  // of every file read, in file order
  // The files that exist but could not be read or parsed, and the policy's
  // value when it could not be read: what they name cannot be told.
  std::vector<std::wstring> unreadable;
};

// HKLM\SOFTWARE\Policies\Microsoft\Windows\System, value
// DefaultAssociationsConfiguration.
inline constexpr wchar_t kDefaultAssociationsPolicyPath[] =
    L"SOFTWARE\\Policies\\Microsoft\\Windows\\System";
inline constexpr wchar_t kDefaultAssociationsPolicyValue[] = L"DefaultAssociationsConfiguration";

// The <Association> elements of a file's bytes: UTF-8 with or without its
// BOM, or UTF-16 LE with its BOM. Attribute names and the element's name are
// matched without regard to letter case; entities (the five named ones and
// character references) are decoded; comments, CDATA sections and
// processing instructions are skipped. nullopt when the bytes are not
// well-formed enough to be sure every element was seen: bad encoding, a
// NUL, a document type declaration, an unknown entity, a duplicate
// attribute, unbalanced or unclosed tags, no element at all.
std::optional<std::vector<DefaultAssociation>> ParseDefaultAssociations(std::string_view bytes);

// Adds the associations of the file at `path` to `into`; a file that exists
// but cannot be read (or is over 16 MiB) or parsed goes to into.unreadable;
// an absent one adds nothing. Read with the file system redirection off.
void ReadDefaultAssociationsFile(const std::wstring& path, DefaultAssociations& into);

// The policy's file (its path with environment strings expanded), then
// <Windows folder>\System32\OEMDefaultAssociations.xml, where present.
DefaultAssociations ReadDefaultAssociations();

}  // namespace varneth
