#include "scan/association_scan.h"

#include <map>
#include <optional>
#include <unordered_set>

#include "registry/registry_enum.h"
#include "registry/registry_names.h"
#include "registry/registry_open.h"
#include "scan/read_only_key.h"

namespace varneth {
namespace {

// What one verb of a class does.
struct Verb {
  bool starts = false;                 // a command, a DelegateExecute or a DropTarget
  std::optional<std::wstring> command; // the command line to judge, when that is what starts
  std::wstring link;                   // a link stood in the way
};

Verb ReadVerb(const ClassStores& stores, const ClassPlace& shell, const std::wstring& name) {
  Verb verb;
  ClassPlace place;
  if (OpenClassPlace(stores, &shell, name, place, verb.link) == PlaceOpening::kLink) return verb;
  ClassPlace command;
  const PlaceOpening opening = OpenClassPlace(stores, &place, L"command", command, verb.link);
  if (opening == PlaceOpening::kLink) return verb;
  if (opening == PlaceOpening::kOpened) {
    // DelegateExecute names a COM object that starts the verb: the command
    // line is then not what runs.
    if (HasValue(command.ValueKey(), L"DelegateExecute")) {
      verb.starts = true;
      return verb;
    }
    const std::optional<std::wstring> text = ReadString(command.ValueKey(), L"");
    if (text && !text->empty()) {
      verb.starts = true;
      verb.command = *text;
      return verb;
    }
    // A default value of some other type: something, though nothing to judge.
    if (!text && HasValue(command.ValueKey(), L"")) {
      verb.starts = true;
      return verb;
    }
  }
  ClassPlace dropTarget;
  verb.starts =
      OpenClassPlace(stores, &place, L"DropTarget", dropTarget, verb.link) == PlaceOpening::kOpened;
  // A link opened as itself holds nothing: the verb or its command may be one.
  if (!verb.starts && verb.link.empty()) verb.link = LinkAt(stores, place);
  if (!verb.starts && verb.link.empty() && opening == PlaceOpening::kOpened) {
    verb.link = LinkAt(stores, command);
  }
  return verb;
}

// The verbs in the order the shell tries them for a double click: the first
// of the shell key's default value (a list split by commas or spaces) that
// exists, else "open", else the first verb; then the rest.
std::vector<std::wstring> VerbOrder(const ClassPlace& shell, std::vector<std::wstring> verbs) {
  auto find = [&](std::wstring_view name) {
    for (size_t i = 0; i < verbs.size(); ++i) {
      if (SameName(verbs[i], name)) return i;
    }
    return verbs.size();
  };
  size_t chosen = verbs.size();
  if (const std::optional<std::wstring> listed = ReadString(shell.ValueKey(), L"")) {
    for (size_t at = 0; at < listed->size() && chosen == verbs.size();) {
      size_t end = listed->find_first_of(L", ", at);
      if (end == std::wstring::npos) end = listed->size();
      if (end > at) chosen = find(std::wstring_view(*listed).substr(at, end - at));
      at = end + 1;
    }
  }
  if (chosen == verbs.size()) chosen = find(L"open");
  if (chosen == verbs.size()) chosen = 0;
  std::swap(verbs[0], verbs[chosen]);
  return verbs;
}

// A class without verbs whose files the shell may still open by itself: a
// program's own class (Applications\x.exe runs x.exe), a shortcut, or one
// whose object or context menu handlers supply the verbs.
bool ShellOpensWithoutVerbs(const ClassStores& stores, const ClassPlace& place) {
  constexpr std::wstring_view kApplications = L"Applications\\";
  if (place.path.size() > kApplications.size() &&
      SameName(std::wstring_view(place.path).substr(0, kApplications.size()), kApplications)) {
    return true;
  }
  if (HasValue(place.ValueKey(), L"IsShortcut")) return true;
  for (const wchar_t* handler : {L"CLSID", L"shellex\\ContextMenuHandlers"}) {
    ClassPlace found;
    std::wstring link;
    if (OpenClassPlace(stores, &place, handler, found, link) != PlaceOpening::kAbsent) return true;
  }
  return false;
}

// The user's Explorer record of the extension: its UserChoice's ProgId and
// the class names of its OpenWithProgids. Gives the full path of a link
// that stood where these were looked for, or "".
std::wstring ReadUserRecord(const StoreKey& fileExts, const std::wstring& dotted,
                            std::wstring& choice, std::vector<std::wstring>& listed) {
  RegistryKey record;
  const std::wstring recordPath = fileExts.path + L'\\' + dotted;
  // The names below a key opened as itself: a link shows as one that holds
  // nothing, and is asked about only then.
  if (OpenForReading(fileExts.key.Get(), dotted, record) == ERROR_SUCCESS) {
    RegistryKey userChoice;
    if (OpenForReading(record.Get(), L"UserChoice", userChoice) == ERROR_SUCCESS) {
      choice = ReadString(userChoice.Get(), L"ProgId").value_or(L"");
      if (choice.empty() && IsRegistryLink(userChoice.Get())) {
        return recordPath + L"\\UserChoice";
      }
    }
    RegistryKey list;
    if (OpenForReading(record.Get(), L"OpenWithProgids", list) == ERROR_SUCCESS) {
      EnumBuffers buffers;
      std::wstring name;
      DWORD type;
      DWORD size;
      for (DWORD index = 0;
           EnumValueWide(list.Get(), index, buffers, name, type, size) == ERROR_SUCCESS; ++index) {
        // A link's one value, which names its target.
        if (type == REG_LINK && SameName(name, L"SymbolicLinkValue")) {
          return recordPath + L"\\OpenWithProgids";
        }
        if (!name.empty()) listed.push_back(name);
      }
    }
    if (choice.empty() && listed.empty() && IsRegistryLink(record.Get())) {
      return recordPath;
    }
  }
  return {};
}

}  // namespace

AssociationScan::AssociationScan(ScanStores stores) : stores_(std::move(stores)) {
  ReadClassStoreNames(stores_.classes);
  if (stores_.fileExts.key.Get() != nullptr) {
    EnumBuffers buffers;
    std::wstring name;
    for (DWORD index = 0;
         EnumSubkeyWide(stores_.fileExts.key.Get(), index, buffers, name) == ERROR_SUCCESS;
         ++index) {
      if (!name.empty() && name.front() == L'.') {
        userExtensions_.push_back(name);
        userExtensionNames_.insert(FoldName(name));
      }
    }
  }
  programs_ = std::make_unique<ProgramFinder>(stores_.userAppPaths.key.Get(),
                                              stores_.machineAppPaths.key.Get(),
                                              stores_.ownEnvironment);
}

std::vector<std::wstring> AssociationScan::Extensions() const {
  std::map<std::wstring, std::wstring> byFolded;
  for (const auto* names : {&userExtensions_, &stores_.classes.userExtensions,
                            &stores_.classes.machineExtensions}) {
    for (const std::wstring& name : *names) byFolded.try_emplace(FoldName(name), name.substr(1));
  }
  std::vector<std::wstring> extensions;
  extensions.reserve(byFolded.size());
  for (auto& [folded, name] : byFolded) extensions.push_back(std::move(name));
  return extensions;
}

std::vector<std::wstring> AssociationScan::StoreLinks() const {
  std::vector<std::wstring> links;
  for (const StoreKey* store : {&stores_.fileExts, &stores_.classes.user, &stores_.classes.machine,
                                &stores_.userAppPaths, &stores_.machineAppPaths}) {
    if (store->link) links.push_back(store->path);
  }
  return links;
}

AssociationScan::ClassJudgement AssociationScan::JudgeVerbs(const ClassPlace& classPlace) {
  ClassJudgement judgement;
  ClassPlace shell;
  const PlaceOpening opening =
      OpenClassPlace(stores_.classes, &classPlace, L"shell", shell, judgement.detail);
  if (opening == PlaceOpening::kLink) return {ScanVerdict::kBehindLink, judgement.detail};
  std::vector<std::wstring> verbs;
  if (opening == PlaceOpening::kOpened) verbs = SubkeyNames(shell);
  if (verbs.empty()) {
    std::wstring link = opening == PlaceOpening::kOpened ? LinkAt(stores_.classes, shell)
                                                         : LinkAt(stores_.classes, classPlace);
    if (!link.empty()) return {ScanVerdict::kBehindLink, std::move(link)};
    return NoVerbJudgement(classPlace);
  }
  verbs = VerbOrder(shell, std::move(verbs));
  for (size_t i = 0; i < verbs.size(); ++i) {
    const Verb verb = ReadVerb(stores_.classes, shell, verbs[i]);
    if (!verb.link.empty()) return {ScanVerdict::kBehindLink, verb.link};
    if (!verb.starts) continue;
    // Only the verb a double click runs is judged by its program.
    if (i == 0 && verb.command) {
      ProgramJudgement program = programs_->Judge(*verb.command);
      if (program.state == ProgramState::kMissing) {
        return {ScanVerdict::kMissingProgram, std::move(program.file)};
      }
    }
    return {};
  }
  return NoVerbJudgement(classPlace);
}

AssociationScan::ClassJudgement AssociationScan::NoVerbJudgement(const ClassPlace& classPlace) {
  if (ShellOpensWithoutVerbs(stores_.classes, classPlace)) return {};
  return {ScanVerdict::kNoVerb, {}};
}

const AssociationScan::ClassJudgement& AssociationScan::JudgeClass(const std::wstring& name) {
  const auto [slot, added] = classes_.try_emplace(FoldName(name));
  if (!added) return slot->second;
  ClassJudgement& judgement = slot->second;
  ClassPlace place;
  std::wstring link;
  PlaceOpening opening = OpenClassPlace(stores_.classes, nullptr, name, place, link);
  if (opening == PlaceOpening::kLink) return judgement = {ScanVerdict::kBehindLink, link};
  if (opening == PlaceOpening::kAbsent) return judgement = {ScanVerdict::kMissingClass, {}};
  // CurVer names the class's current version, followed one step when that
  // class exists.
  ClassPlace curVer;
  opening = OpenClassPlace(stores_.classes, &place, L"CurVer", curVer, link);
  if (opening == PlaceOpening::kLink) return judgement = {ScanVerdict::kBehindLink, link};
  if (opening == PlaceOpening::kOpened) {
    const std::wstring newer = ReadString(curVer.ValueKey(), L"").value_or(L"");
    if (newer.empty()) {
      link = LinkAt(stores_.classes, curVer);
      if (!link.empty()) return judgement = {ScanVerdict::kBehindLink, link};
    }
    if (!SameName(newer, name) && ClassExists(stores_.classes, newer)) {
      ClassPlace newerPlace;
      opening = OpenClassPlace(stores_.classes, nullptr, newer, newerPlace, link);
      if (opening == PlaceOpening::kLink) return judgement = {ScanVerdict::kBehindLink, link};
      if (opening == PlaceOpening::kOpened) return judgement = JudgeVerbs(newerPlace);
    }
  }
  return judgement = JudgeVerbs(place);
}

ScanFinding AssociationScan::Judge(std::wstring_view extension) {
  const std::wstring dotted = L"." + std::wstring(extension);
  std::wstring choice;
  std::vector<std::wstring> listed;
  auto behindLink = [](std::wstring className, std::wstring path) {
    return ScanFinding{ScanVerdict::kBehindLink, std::move(className), std::move(path)};
  };
  if (userExtensionNames_.count(FoldName(dotted)) != 0) {
    std::wstring link = ReadUserRecord(stores_.fileExts, dotted, choice, listed);
    if (!link.empty()) return behindLink({}, std::move(link));
  }
  if (choice.empty()) {
    ClassPlace place;
    std::wstring link;
    const PlaceOpening opening = OpenClassPlace(stores_.classes, nullptr, dotted, place, link);
    if (opening == PlaceOpening::kLink) return behindLink({}, link);
    if (opening == PlaceOpening::kOpened) {
      choice = ReadString(place.ValueKey(), L"").value_or(L"");
      if (choice.empty()) link = LinkAt(stores_.classes, place);
      if (!link.empty()) return behindLink({}, std::move(link));
    }
  }
  if (!choice.empty()) {
    const ClassJudgement& judgement = JudgeClass(choice);
    if (judgement.verdict != ScanVerdict::kSound) {
      return {judgement.verdict, choice, judgement.detail};
    }
  }
  if (listed.empty()) return {};
  for (const std::wstring& name : listed) {
    if (ClassExists(stores_.classes, name)) return {};
  }
  return {ScanVerdict::kStaleList, listed.front(), {}};
}

}  // namespace varneth
