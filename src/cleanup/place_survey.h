// What of one place the run cannot delete, told from its export before
// anything is deleted, so that a dry run names the fate the run then has.
#pragma once

#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "registry/registry_export.h"

namespace varneth {

// Fed by an export of the place: a registry link, a name the ANSI code page
// cannot hold (the cleanup's ANSI calls cannot name it, nor anything below
// a key of such a name) and a name with a NUL (the backup cannot carry it)
// stay, and so does every key above them.
struct PlaceSurvey {
  std::wstring place;                       // folded full path of the place's key
  std::unordered_set<std::wstring> kept;    // folded keys of the export that would stay
  std::vector<std::wstring> unreachable;    // folded keys whose whole subtree would stay
  std::int32_t keptValues = 0;              // of those the export counted
  std::int32_t uncountedValues = 0;         // left out of the export
  std::int32_t otherKeptKeys = 0;           // links and keys left out of the export
  // What the cleanup's ANSI calls would read as a name the code page cannot
  // hold ("?" for each such character): a key or value named so is never
  // deleted either, as it may be that other one.
  std::unordered_set<std::wstring> substituted;
  std::vector<std::wstring> keys;                               // every key, folded
  std::vector<std::pair<std::wstring, std::wstring>> values;    // key and name, folded
  // The user's list of classes when it lies in the place, and the folded
  // names of the listed classes that would stay: the run keeps those names.
  std::wstring classList;
  std::unordered_set<std::wstring> stayingClasses;
  bool keepsClassNames = false;
  bool Keeps() const {
    return !kept.empty() || otherKeptKeys > 0 || keptValues > 0 || uncountedValues > 0;
  }
};

PlaceSurvey StartPlaceSurvey(const std::wstring& placeFullPath);

// The place holds the user's list of classes at `listFullPath`; the names
// of `stayingClasses` (folded) stay in it.
void SurveyClassList(PlaceSurvey& survey, const std::wstring& listFullPath,
                     const std::unordered_set<std::wstring>& stayingClasses);

// Adds the survey to the visitor's callbacks (a link callback it already has
// is still called); the survey must outlive it.
void SurveyThrough(ExportVisitor& visitor, PlaceSurvey& survey);

// Once the export is done: keys and values named like the ANSI form of a
// name the code page cannot hold stay too.
void FinishPlaceSurvey(PlaceSurvey& survey);

// What would be left of the place and what would go, from what it holds.
void WouldLeaveAndGo(const PlaceSurvey& survey, const ExportCounts& counts, ExportCounts& left,
                     ExportCounts& gone);

}  // namespace varneth
