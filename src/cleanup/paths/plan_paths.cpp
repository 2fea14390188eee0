#include "cleanup/paths/plan_paths.h"

#include <cstddef>
#include <initializer_list>
#include <optional>

#include "probes/process_token.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

// A fixed part of a path in both forms: ASCII, widened unit by unit.
template <std::size_t N>
struct Part {
  char narrow[N] = {};
  wchar_t wide[N] = {};
  constexpr Part(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
      narrow[i] = text[i];
      wide[i] = static_cast<wchar_t>(text[i]);
    }
  }
};

constexpr Part kExplorerPrefix{
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\."};
constexpr Part kUserClassesPrefix{"Software\\Classes\\"};
constexpr Part kMachineClassesPrefix{"SOFTWARE\\Classes\\"};
constexpr Part kClassListSuffix{"\\OpenWithProgids"};
constexpr Part kAutoClassSuffix{"_auto_file"};
constexpr Part kRecentDocsPrefix{
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs\\."};
constexpr Part kSeparator{"\\"};
constexpr Part kDot{"."};
constexpr Part kClassesHiveSuffix{"_Classes\\"};

// The two forms a shape is built in.
struct Ansi {
  using Ref = TextRef;
  using Path = Text;
  template <std::size_t N>
  static const char* Of(const Part<N>& part) {
    return part.narrow;
  }
  static Text Join(std::initializer_list<TextRef> parts) { return ConcatTexts(parts); }
};

struct Wide {
  using Ref = std::wstring_view;
  using Path = std::wstring;
  template <std::size_t N>
  static const wchar_t* Of(const Part<N>& part) {
    return part.wide;
  }
  static std::wstring Join(std::initializer_list<std::wstring_view> parts) {
    std::wstring path;
    for (std::wstring_view part : parts) path += part;
    return path;
  }
};

// The shapes, each written once.
template <typename Form>
typename Form::Path ExplorerRecordShape(typename Form::Ref extension) {
  return Form::Join({Form::Of(kExplorerPrefix), extension});
}

template <typename Form>
typename Form::Path UserExplorerShape(typename Form::Ref sid, typename Form::Ref extension) {
  return Form::Join({sid, Form::Of(kSeparator), Form::Of(kExplorerPrefix), extension});
}

template <typename Form>
typename Form::Path ClassListShape(typename Form::Ref sid, typename Form::Ref extension) {
  return Form::Join({sid, Form::Of(kSeparator), Form::Of(kExplorerPrefix), extension,
                     Form::Of(kClassListSuffix)});
}

template <typename Form>
typename Form::Path MachineClassShape(typename Form::Ref className) {
  return Form::Join({Form::Of(kMachineClassesPrefix), className});
}

template <typename Form>
UserKeyPathsOf<typename Form::Path> UserKeyShapes(bool currentUser, typename Form::Ref sid,
                                                  typename Form::Ref extension) {
  UserKeyPathsOf<typename Form::Path> paths;
  paths.currentUser = currentUser;
  if (currentUser) {
    paths.explorerRecord = ExplorerRecordShape<Form>(extension);
    paths.extensionClass = Form::Join({Form::Of(kUserClassesPrefix), Form::Of(kDot), extension});
    paths.autoClass =
        Form::Join({Form::Of(kUserClassesPrefix), extension, Form::Of(kAutoClassSuffix)});
    paths.recentDocs = Form::Join({Form::Of(kRecentDocsPrefix), extension});
    return paths;
  }
  paths.explorerRecord = UserExplorerShape<Form>(sid, extension);
  paths.extensionClass = Form::Join({sid, Form::Of(kClassesHiveSuffix), Form::Of(kDot), extension});
  paths.autoClass =
      Form::Join({sid, Form::Of(kClassesHiveSuffix), extension, Form::Of(kAutoClassSuffix)});
  paths.recentDocs =
      Form::Join({sid, Form::Of(kSeparator), Form::Of(kRecentDocsPrefix), extension});
  return paths;
}

}  // namespace

Text ClassListPath(TextRef sidText, TextRef extension) {
  return ClassListShape<Ansi>(sidText, extension);
}

std::wstring ClassListPath(std::wstring_view sid, std::wstring_view extension) {
  return ClassListShape<Wide>(sid, extension);
}

Text UserExplorerPath(TextRef sidText, TextRef extension) {
  return UserExplorerShape<Ansi>(sidText, extension);
}

std::wstring UserExplorerPath(std::wstring_view sid, std::wstring_view extension) {
  return UserExplorerShape<Wide>(sid, extension);
}

Text MachineClassPath(TextRef className) { return MachineClassShape<Ansi>(className); }

std::wstring MachineClassPath(std::wstring_view className) {
  return MachineClassShape<Wide>(className);
}

const std::wstring& MachineClassesPrefix() {
  static const std::wstring prefix = MachineClassPath(std::wstring_view());
  return prefix;
}

std::wstring ExplorerRecordPath(std::wstring_view extension) {
  return ExplorerRecordShape<Wide>(extension);
}

WideKeyNames WidenKeyNames(TextRef extension, const KeyOwner& owner) {
  return {WidenText(extension), WidenText(owner.sidText), IsProcessUser(owner),
          WidenText(GetProcessUserSidText())};
}

UserKeyPaths FindUserKeyPaths(const KeyOwner& owner, TextRef extension) {
  return UserKeyShapes<Ansi>(IsProcessUser(owner), owner.sidText, extension);
}

UserKeyPathsOf<std::wstring> FindUserKeyPaths(const WideKeyNames& names) {
  return UserKeyShapes<Wide>(names.currentUser, names.sid, names.extension);
}

Text ItemPath(TextRef keyPath, TextRef valueName) {
  return ConcatTexts({keyPath, Ansi::Of(kSeparator), valueName});
}

bool NamesAClassKey(TextRef className) {
  // Judged on the characters, so no code page's trail byte is taken for a
  // backslash or a full-width space.
  return NamesAClassKey(WidenText(className));
}

bool NamesAClassKey(std::wstring_view className) {
  if (className.empty() || className.front() == L'\\') return false;
  return className.find_first_not_of(L"\\ \u3000") != std::wstring_view::npos;
}

}  // namespace varneth
