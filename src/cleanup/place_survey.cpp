#include "cleanup/place_survey.h"

#include <algorithm>
#include <utility>

#include "registry/registry_names.h"
#include "runtime/wide_text.h"

namespace varneth {
namespace {

std::wstring Folded(const std::wstring& fullPath) { return FoldName(TidyKeyPath(fullPath)); }

std::wstring LastName(const std::wstring& folded) {
  const size_t at = folded.rfind(L'\\');
  return at == std::wstring::npos ? folded : folded.substr(at + 1);
}

// The key and every key above it, up to the place, stay.
void Keep(PlaceSurvey& survey, std::wstring key) {
  while (key.size() >= survey.place.size() && survey.kept.insert(key).second) {
    const size_t at = key.rfind(L'\\');
    if (at == std::wstring::npos) break;
    key.resize(at);
  }
}

std::wstring Parent(const std::wstring& folded) {
  const size_t at = folded.rfind(L'\\');
  return at == std::wstring::npos ? std::wstring() : folded.substr(0, at);
}

bool BelowUnreachable(const PlaceSurvey& survey, const std::wstring& folded) {
  return std::any_of(survey.unreachable.begin(), survey.unreachable.end(),
                     [&folded](const std::wstring& key) { return IsWithinKey(folded, key); });
}

// The folded path or name as the ANSI calls read it back.
std::wstring SubstitutedForm(const std::wstring& folded) {
  return FoldName(WidenText(NarrowText(folded)));
}

std::wstring ValueKey(const std::wstring& key, const std::wstring& name) {
  return key + L'\0' + name;
}

}  // namespace

PlaceSurvey StartPlaceSurvey(const std::wstring& placeFullPath) {
  PlaceSurvey survey;
  survey.place = Folded(placeFullPath);
  return survey;
}

void SurveyClassList(PlaceSurvey& survey, const std::wstring& listFullPath,
                     const std::unordered_set<std::wstring>& stayingClasses) {
  survey.classList = Folded(listFullPath);
  survey.stayingClasses = stayingClasses;
}

void SurveyThrough(ExportVisitor& visitor, PlaceSurvey& survey) {
  visitor.key = [&survey, next = std::move(visitor.key)](const std::wstring& path) {
    if (next) next(path);
    const std::wstring folded = Folded(path);
    survey.keys.push_back(folded);
    if (BelowUnreachable(survey, folded)) {
      Keep(survey, folded);
    } else if (folded != survey.place && !NarrowExactly(LastName(TidyKeyPath(path)))) {
      survey.unreachable.push_back(folded);
      survey.substituted.insert(SubstitutedForm(folded));
      Keep(survey, folded);
    }
  };
  visitor.value = [&survey, next = std::move(visitor.value)](
                      const std::wstring& path, const std::wstring& name, DWORD type,
                      const BYTE* data, DWORD size) {
    if (next) next(path, name, type, data, size);
    const std::wstring folded = Folded(path);
    if (BelowUnreachable(survey, folded) || !NarrowExactly(name)) {
      ++survey.keptValues;
      Keep(survey, folded);
      if (!NarrowExactly(name)) {
        survey.substituted.insert(ValueKey(folded, SubstitutedForm(FoldName(name))));
      }
    } else if (folded == survey.classList && survey.stayingClasses.count(FoldName(name)) != 0) {
      ++survey.keptValues;
      Keep(survey, folded);
      survey.keepsClassNames = true;
    } else {
      survey.values.emplace_back(folded, FoldName(name));
    }
  };
  visitor.link = [&survey, next = std::move(visitor.link)](const std::wstring& path) {
    if (next) next(path);
    ++survey.otherKeptKeys;
    Keep(survey, Parent(Folded(path)));
  };
  visitor.uncarried = [&survey, next = std::move(visitor.uncarried)](
                          const std::wstring& path, const std::wstring* valueName) {
    if (next) next(path, valueName);
    if (valueName != nullptr) {
      ++survey.uncountedValues;
      Keep(survey, Folded(path));
    } else {
      ++survey.otherKeptKeys;
      Keep(survey, Parent(Folded(path)));
    }
  };
}

void FinishPlaceSurvey(PlaceSurvey& survey) {
  if (survey.substituted.empty()) return;
  std::unordered_set<std::wstring> decoys;
  for (const std::wstring& key : survey.keys) {
    if (survey.kept.count(key) == 0 && survey.substituted.count(key) != 0) decoys.insert(key);
  }
  for (const std::wstring& key : decoys) Keep(survey, key);
  // The values of such a key, and values named like such a value, stay.
  for (const auto& [key, name] : survey.values) {
    if (decoys.count(key) != 0 || survey.substituted.count(ValueKey(key, name)) != 0) {
      ++survey.keptValues;
      Keep(survey, key);
    }
  }
}

void WouldLeaveAndGo(const PlaceSurvey& survey, const ExportCounts& counts, ExportCounts& left,
                     ExportCounts& gone) {
  const auto keptKeys = static_cast<std::int32_t>(survey.kept.size());
  left.keys = keptKeys + survey.otherKeptKeys;
  left.values = survey.keptValues + survey.uncountedValues;
  gone.keys = std::max(0, counts.keys - keptKeys);
  gone.values = std::max(0, counts.values - survey.keptValues);
}

}  // namespace varneth
