// Measures walking, backing up and deleting large registry trees: Varneth's
// walker, backup and deletion against the plain registry API doing the same
// job.
//
// For each size N it builds identical trees of N keys (fan-out 10, each key
// holding one REG_SZ and one REG_DWORD value) below a scratch key under
// HKEY_CURRENT_USER, runs the contenders in turn several times, and prints
// the median wall time, the ratios and the walk's peak memory against the
// records' own payload; the plan's deletion is timed with the checks against
// a backup's snapshot and without them. Then it times the planning of a dry
// run for a user's list of 100, 1,000 and 10,000 class names, and the check
// of which listed classes are the extension's own in a class store of 3,000
// extension keys, alone and with 8,000 CLSID keys, three loaded users and
// the machine's other places of classes, its median also in units of one
// registry call's time.
// Building a tree, a list or a store is never timed. Two more modes time one
// whole run (backup, deletion, the look afterwards): over 1, 10 and 60 MiB of
// values below one place, with its peak memory, and over a tree of N keys.
//
//   varneth_bench [repetitions] [N ...]      (defaults: 5, 1000 10000 50000)
//   varneth_bench classes [repetitions]      (the realistic class store alone)
//   varneth_bench memory
//   varneth_bench run N
//   varneth_bench scan [repetitions]        (the scan of 3,000 and 30,000 extensions)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

#include "cleanup/backup/backup_file.h"
#include "cleanup/backup/backup_guard.h"
#include "cleanup/class_use/class_use.h"
#include "cleanup/cleanup_plan.h"
#include "cleanup/extension_cleanup.h"
#include "probes/key_owner.h"
#include "probes/process_token.h"
#include "registry/registry_export.h"
#include "registry/registry_walker.h"
#include "scan/scan_stores.h"

namespace {

using namespace varneth;
using Clock = std::chrono::steady_clock;

constexpr char kScratch[] = "Software\\VarnethBench";
constexpr WalkRootCode kWalkCurrentUser = 2;
constexpr DeleteRootCode kDeleteCurrentUser = 3;

// N keys below `root`, breadth first, ten children to a parent.
void BuildTree(const std::string& root, int keyCount) {
  std::vector<std::string> paths{root};
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, root.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegCloseKey(key);
  for (size_t parent = 0; static_cast<int>(paths.size()) - 1 < keyCount; ++parent) {
    for (int child = 0; child < 10 && static_cast<int>(paths.size()) - 1 < keyCount; ++child) {
      const std::string path = paths[parent] + "\\key" + std::to_string(child);
      RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr);
      const char text[] = "C:\\Program Files\\Editor\\editor.exe \"%1\"";
      const DWORD number = static_cast<DWORD>(paths.size());
      RegSetValueExA(key, "command", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
      RegSetValueExA(key, "flags", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
      RegCloseKey(key);
      paths.push_back(path);
    }
  }
}

// ---- bare references with the plain API ----

// A listing with handles opened relative to the parent, depth first.
size_t BareListing(HKEY key) {
  size_t found = 0;
  char name[256];
  BYTE data[256];
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name;
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
    ++found;
  }
  for (DWORD i = 0;; ++i) {
    DWORD nameLength = sizeof name;
    if (RegEnumKeyExA(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY child;
    if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
    found += 1 + BareListing(child);
    RegCloseKey(child);
  }
  return found;
}

// The backup of the tree: its export text, written and flushed to a new file
// in `folder` (removed again).
void BackUp(const std::string& tree, const std::wstring& folder) {
  HKEY key;
  RegOpenKeyExA(HKEY_CURRENT_USER, tree.c_str(), 0, KEY_READ, &key);
  std::wstring text = kRegFileHeader;
  ExportCounts counts;
  ExportKeyTree(key, L"HKEY_CURRENT_USER\\Software\\VarnethBench\\tree", text, counts);
  RegCloseKey(key);
  const BackupFile file = WriteBackupFile(folder, L"bench", text);
  DeleteFileW(file.path.c_str());
}

// ---- measuring ----

double Seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The working set and its peak: Wine keeps no peak of committed memory.
SIZE_T PrivateBytes(bool peak) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return peak ? counters.PeakWorkingSetSize : counters.WorkingSetSize;
}

size_t PayloadBytes(const RegistryRecordList& records) {
  size_t bytes = 0;
  for (const RegistryKeyRecord& record : records) {
    bytes += sizeof record + static_cast<size_t>(TextLength(record.keyPath)) + 1 +
             static_cast<size_t>(TextLength(record.value.name)) + 1 +
             static_cast<size_t>(BytesLength(record.value.data));
  }
  return bytes;
}

struct SizeResult {
  int keys;
  double walk, bareListing, planDelete, deleteTree, pumps, backup, checkedDelete;
};

// The snapshot a backup of the tree would note (not timed).
BackupSnapshot SnapshotOfTree(const std::string& tree) {
  BackupSnapshot snapshot;
  HKEY key;
  RegOpenKeyExA(HKEY_CURRENT_USER, tree.c_str(), 0, KEY_READ, &key);
  std::wstring text;
  ExportCounts counts;
  const ExportVisitor visitor = SnapshotVisitor(snapshot);
  ExportKeyTree(key, L"HKEY_CURRENT_USER\\Software\\VarnethBench\\tree", text, counts, &visitor);
  RegCloseKey(key);
  return snapshot;
}

// What the walker's message pump costs by itself: one look at an empty
// queue per record, as the walker makes.
double PumpSeconds(size_t looks) {
  return Seconds([&] {
    for (size_t i = 0; i < looks; ++i) PumpWindowMessages();
  });
}

SizeResult MeasureSize(int keys, int repetitions) {
  const std::string tree = std::string(kScratch) + "\\tree";
  RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
  BuildTree(tree, keys);

  // Memory first: the walk's peak above what the process used before it.
  RegistryRecordList records;
  const SIZE_T before = PrivateBytes(false);
  WalkRegistryTree(kWalkCurrentUser, tree.c_str(), kSubtree, records);
  const SIZE_T peak = PrivateBytes(true);
  const size_t payload = PayloadBytes(records);
  const size_t recordCount = records.size();
  records.clear();
  records.shrink_to_fit();

  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring backupFolder = std::wstring(temp) + L"varneth-bench";
  std::vector<double> walk, bare, planDelete, deleteTree, pumps, backup, checkedDelete;
  for (int round = 0; round < repetitions; ++round) {
    // Listing contenders alternate on the same tree.
    walk.push_back(Seconds([&] { WalkRegistryTree(kWalkCurrentUser, tree.c_str(), kSubtree, records); }));
    bare.push_back(Seconds([&] {
      HKEY key;
      RegOpenKeyExA(HKEY_CURRENT_USER, tree.c_str(), 0, KEY_READ, &key);
      BareListing(key);
      RegCloseKey(key);
    }));
    pumps.push_back(PumpSeconds(recordCount + static_cast<size_t>(keys)));
    backup.push_back(Seconds([&] { BackUp(tree, backupFolder); }));
    records.clear();
    // Deletion contenders each get a fresh, identical tree.
    planDelete.push_back(Seconds([&] { DeleteWalkedTree(kWalkCurrentUser, kDeleteCurrentUser, tree.c_str()); }));
    BuildTree(tree, keys);
    deleteTree.push_back(Seconds([&] { RegDeleteTreeA(HKEY_CURRENT_USER, tree.c_str()); }));
    BuildTree(tree, keys);
    {
      const BackupSnapshot snapshot = SnapshotOfTree(tree);
      BackupGuard guard;
      guard.snapshot = &snapshot;
      const DeletionCheck check = GuardDeletions(guard);
      checkedDelete.push_back(Seconds([&] {
        DeleteWalkedTree(kWalkCurrentUser, kDeleteCurrentUser, tree.c_str(), &check);
      }));
    }
    BuildTree(tree, keys);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, kScratch);
  RegDeleteKeyA(HKEY_CURRENT_USER, kScratch);
  RemoveDirectoryW(backupFolder.c_str());

  SizeResult result{keys,          Median(walk),  Median(bare),  Median(planDelete),
                    Median(deleteTree), Median(pumps), Median(backup), Median(checkedDelete)};
  std::printf("N=%-6d records=%-7zu walk %8.3f s  bare listing %8.3f s  (x%.2f)\n", keys, recordCount,
              result.walk, result.bareListing, result.walk / result.bareListing);
  std::printf("         of which its message pump alone %8.3f s\n", result.pumps);
  std::printf("         plan deletion %8.3f s  RegDeleteTreeA %8.3f s  (x%.2f)\n",
              result.planDelete, result.deleteTree, result.planDelete / result.deleteTree);
  std::printf("         plan deletion checked against the backup %8.3f s  (x%.2f of unchecked, "
              "x%.2f of RegDeleteTreeA)\n",
              result.checkedDelete, result.checkedDelete / result.planDelete,
              result.checkedDelete / result.deleteTree);
  std::printf("         backup (export, file written and flushed) %8.3f s  (x%.2f of the walk)\n",
              result.backup, result.backup / result.walk);
  std::printf("         walk peak memory %.1f MiB, record payload %.1f MiB  (x%.2f)\n",
              (peak - before) / 1048576.0, payload / 1048576.0,
              static_cast<double>(peak - before) / static_cast<double>(payload));
  std::fflush(stdout);
  return result;
}

// A user's list of `count` class names for the extension, each naming a
// machine-wide class of two keys and a value.
void BuildClassList(const std::string& extension, int count) {
  const std::string list = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." +
                           extension + "\\OpenWithProgids";
  HKEY listKey;
  RegCreateKeyExA(HKEY_CURRENT_USER, list.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &listKey,
                  nullptr);
  for (int i = 0; i < count; ++i) {
    const std::string name = "VarnethBench.Class" + std::to_string(i);
    RegSetValueExA(listKey, name.c_str(), 0, REG_NONE, nullptr, 0);
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Classes\\" + name + "\\shell").c_str(), 0,
                    nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const char text[] = "editor.exe \"%1\"";
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegCloseKey(key);
  }
  RegCloseKey(listKey);
}

void RemoveClassList(const std::string& extension, int count) {
  for (int i = 0; i < count; ++i) {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Classes\\VarnethBench.Class" + std::to_string(i)).c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Classes\\VarnethBench.Class" + std::to_string(i)).c_str());
  }
  const std::string record =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\." + extension;
  RegDeleteTreeA(HKEY_CURRENT_USER, record.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, record.c_str());
}

KeyOwner ProcessUser() {
  KeyOwner owner;
  owner.sidText = GetProcessUserSidText();
  return owner;
}

// The dry run's planning (targets, their overlaps, their export and counts)
// for a list of `count` class names.
double MeasurePlanning(int count, int repetitions) {
  const std::string extension = "vntbenchplan";
  const KeyOwner owner = ProcessUser();
  RemoveClassList(extension, count);
  BuildClassList(extension, count);
  std::vector<double> times;
  size_t targets = 0;
  for (int round = 0; round < repetitions; ++round) {
    times.push_back(Seconds([&] {
      targets = RunExtensionCleanup({extension.c_str(), owner, {}, true}).targets.size();
    }));
  }
  RemoveClassList(extension, count);
  const double median = Median(times);
  std::printf("planning, %5d class names: %zu targets, dry run %8.3f s\n", count, targets, median);
  std::fflush(stdout);
  return median;
}

// A class store of realistic size: `count` extension keys ".vntbenchuseN",
// each naming a class of its own by its default value and in its
// OpenWithProgids, beside the classes themselves.
void BuildExtensionKeys(int count, bool remove) {
  for (int i = 0; i < count; ++i) {
    const std::string extension = "SOFTWARE\\Classes\\.vntbenchuse" + std::to_string(i);
    const std::string name = "VarnethBenchUse.Class" + std::to_string(i);
    for (const std::string& key : {extension, "SOFTWARE\\Classes\\" + name}) {
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
    }
    if (remove) continue;
    HKEY key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, extension.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                   static_cast<DWORD>(name.size() + 1));
    HKEY list;
    RegCreateKeyExA(key, "OpenWithProgids", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &list, nullptr);
    RegSetValueExA(list, name.c_str(), 0, REG_NONE, nullptr, 0);
    RegCloseKey(list);
    RegCloseKey(key);
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Classes\\" + name + "\\shell").c_str(), 0,
                    nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegCloseKey(key);
  }
}

// The machine's own .vntbenchjudge ties each listed name to the extension
// (its OpenWithProgids), so that the check goes on to look for other uses;
// removed again with `remove`.
void TieBenchClasses(const std::vector<std::wstring>& names, bool remove) {
  const wchar_t* path = L"SOFTWARE\\Classes\\.vntbenchjudge";
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, path);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
  if (remove) return;
  HKEY list;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(path) + L"\\OpenWithProgids").c_str(), 0,
                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &list, nullptr);
  for (const std::wstring& name : names) RegSetValueExW(list, name.c_str(), 0, REG_NONE, nullptr, 0);
  RegCloseKey(list);
}

// The check of which listed classes are the extension's own, for lists of
// 1, 100 and 1,000 names (half of them used by other extensions) in a class
// store of `count` extension keys: one pass over the store, whatever the
// list's length.
void MeasureClassUse(int count, int repetitions) {
  BuildExtensionKeys(count, false);
  DWORD subkeys = 0;
  HKEY store;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes", 0, KEY_READ, &store) ==
      ERROR_SUCCESS) {
    RegQueryInfoKeyA(store, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(store);
  }
  for (int length : {1, 100, 1000}) {
    std::vector<std::wstring> names;
    for (int i = 0; i < length; ++i) {
      // Even: a class another extension uses; odd: one of the extension's own.
      names.push_back((i % 2 == 0 ? L"VarnethBenchUse.Class" : L"VarnethBenchOwn.Class") +
                      std::to_wstring(i));
      if (i % 2 == 1) {
        HKEY key;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + names.back()).c_str(), 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
      }
    }
    TieBenchClasses(names, false);
    std::vector<double> times;
    size_t kept = 0;
    for (int round = 0; round < repetitions; ++round) {
      times.push_back(Seconds([&] { kept = JudgeClassUse(names, L"vntbenchjudge").kept.size(); }));
    }
    TieBenchClasses(names, true);
    // The fastest run too: on a shared machine the median carries others' load.
    std::printf("class use check, %5d extension keys (%lu keys in SOFTWARE\\Classes), "
                "%4d names (%zu kept): median %6.3f s, fastest %6.3f s\n",
                count, static_cast<unsigned long>(subkeys), length, kept, Median(times),
                *std::min_element(times.begin(), times.end()));
    std::fflush(stdout);
    for (int i = 1; i < length; i += 2) {
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + names[i]).c_str());
    }
  }
  BuildExtensionKeys(count, true);
}

// Writes a REG_SZ (the default value for a null name) into `path`, made as needed.
void SetBenchString(HKEY root, const std::wstring& path, const wchar_t* name,
                    const std::wstring& text) {
  HKEY key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

constexpr wchar_t kBenchClsid[] = L"SOFTWARE\\Classes\\CLSID\\{56A4C7E0-0000-4E27-9C27-";
constexpr wchar_t kBenchSid[] = L"S-1-5-21-7000-7000-7000-100";
constexpr wchar_t kBenchExts[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.vntbenchuser";

std::wstring BenchClsid(int i) {
  wchar_t tail[16];
  std::swprintf(tail, 16, L"%012d}", i);
  return kBenchClsid + std::wstring(tail);
}

constexpr wchar_t kBenchSystemAssociations[] =
    L"SOFTWARE\\Classes\\SystemFileAssociations\\.vntbenchsys";
constexpr wchar_t kBenchHandlers[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers\\Handlers\\"
    L"VarnethBench";

// The machine's other places of classes as a Windows installation holds
// them: 300 SystemFileAssociations keys (each with a class by its default
// value and one in its OpenWithProgids) and 60 AutoPlay handlers.
void BuildMachinePlaces(bool remove) {
  for (int i = 0; i < 300; ++i) {
    const std::wstring key = kBenchSystemAssociations + std::to_wstring(i);
    const std::wstring handler = kBenchHandlers + std::to_wstring(i);
    for (const std::wstring& each : {key, handler}) {
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, each.c_str());
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, each.c_str());
    }
    if (remove) continue;
    const std::wstring name = L"VarnethBenchSys.Class" + std::to_wstring(i);
    SetBenchString(HKEY_LOCAL_MACHINE, key, nullptr, name);
    SetBenchString(HKEY_LOCAL_MACHINE, key + L"\\OpenWithProgids", name.c_str(), L"");
    if (i < 60) SetBenchString(HKEY_LOCAL_MACHINE, handler, L"InvokeProgID", name);
  }
}

// A COM store of `count` classes (a server key each; a third with a ProgID,
// a quarter with a VersionIndependentProgID) and `users` loaded users, each
// with 400 Explorer records (OpenWithProgids, half with a UserChoice), 20
// protocol and 30 MIME type choices and 150 extension keys in their classes
// hive.
void BuildRealisticStore(int count, int users, bool remove) {
  BuildMachinePlaces(remove);
  for (int i = 0; i < count; ++i) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, BenchClsid(i).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, BenchClsid(i).c_str());
    if (remove) continue;
    const std::wstring name = L"VarnethBenchCom.Class" + std::to_wstring(i);
    SetBenchString(HKEY_LOCAL_MACHINE, BenchClsid(i) + L"\\InprocServer32", nullptr, L"bench.dll");
    if (i % 3 == 0) SetBenchString(HKEY_LOCAL_MACHINE, BenchClsid(i) + L"\\ProgID", nullptr, name + L".1");
    if (i % 4 == 0) {
      SetBenchString(HKEY_LOCAL_MACHINE, BenchClsid(i) + L"\\VersionIndependentProgID", nullptr, name);
    }
  }
  for (int u = 0; u < users; ++u) {
    const std::wstring sid = kBenchSid + std::to_wstring(u);
    for (const std::wstring& hive : {sid, sid + L"_Classes"}) {
      RegDeleteTreeW(HKEY_USERS, hive.c_str());
      RegDeleteKeyW(HKEY_USERS, hive.c_str());
    }
    if (remove) continue;
    for (int i = 0; i < 400; ++i) {
      const std::wstring record = sid + kBenchExts + std::to_wstring(i);
      const std::wstring name = L"VarnethBenchUser.Class" + std::to_wstring(i);
      SetBenchString(HKEY_USERS, record + L"\\OpenWithList", L"a", L"editor.exe");
      SetBenchString(HKEY_USERS, record + L"\\OpenWithProgids", name.c_str(), L"");
      if (i % 2 == 0) SetBenchString(HKEY_USERS, record + L"\\UserChoice", L"ProgId", name);
      if (i < 20) {
        SetBenchString(HKEY_USERS,
                       sid + L"\\Software\\Microsoft\\Windows\\Shell\\Associations\\"
                             L"UrlAssociations\\vntbenchproto" + std::to_wstring(i) + L"\\UserChoice",
                       L"ProgId", name);
      }
      if (i < 30) {
        SetBenchString(HKEY_USERS,
                       sid + L"\\Software\\Microsoft\\Windows\\Shell\\Associations\\"
                             L"MIMEAssociations\\text/x-vntbench" + std::to_wstring(i) + L"\\UserChoice",
                       L"ProgId", name);
      }
      if (i < 150) {
        SetBenchString(HKEY_USERS, sid + L"_Classes\\.vntbenchuser" + std::to_wstring(i), nullptr, name);
      }
    }
  }
}

// The time of one registry call (an open that fails), printed.
double OneRegistryCall() {
  const double call = Seconds([] {
    for (int i = 0; i < 2000; ++i) {
      HKEY missing;
      RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\VarnethBenchMissing", 0, KEY_READ,
                    &missing);
    }
  }) / 2000;
  std::printf("one registry call (an open that fails): %.1f us\n", call * 1e6);
  return call;
}

// The check in a store of realistic size: 3,000 extension keys, `comCount`
// CLSID keys and three loaded users. A list of one class used nowhere (every
// place is looked through), of 100 (half used by another extension), and
// of names judged by their names alone, which costs no pass.
void MeasureRealisticClassUse(int comCount, int repetitions) {
  BuildExtensionKeys(3000, false);
  BuildRealisticStore(comCount, 3, false);
  DWORD clsids = 0;
  DWORD users = 0;
  HKEY store;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\CLSID", 0, KEY_READ, &store) ==
      ERROR_SUCCESS) {
    RegQueryInfoKeyW(store, nullptr, nullptr, nullptr, &clsids, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(store);
  }
  RegQueryInfoKeyW(HKEY_USERS, nullptr, nullptr, nullptr, &users, nullptr, nullptr, nullptr,
                   nullptr, nullptr, nullptr, nullptr);
  const std::wstring own = L"VarnethBenchOwn.Class";
  HKEY key;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + own).c_str(), 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegCloseKey(key);
  std::vector<std::wstring> hundred;
  for (int i = 0; i < 100; ++i) {
    hundred.push_back(i % 2 == 0 ? L"VarnethBenchUse.Class" + std::to_wstring(i) : own);
  }
  const std::wstring untied = L"VarnethBenchUntied.Class";
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + untied).c_str(), 0, nullptr, 0,
                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegCloseKey(key);
  TieBenchClasses(hundred, false);
  const struct {
    const char* what;
    std::vector<std::wstring> names;
  } lists[] = {{"1 class used nowhere", {own}},
               {"100 names, half used", hundred},
               {"1 class the machine does not tie", {untied}},
               {"names judged by name", {L".vntbench", L"CLSID", L"exefile"}}};
  for (const auto& list : lists) {
    // What one registry call costs now, measured beside each list: on a
    // shared machine it varies with the others' load, and the check is made
    // of such calls.
    const double call = OneRegistryCall();
    std::vector<double> times;
    size_t kept = 0;
    for (int round = 0; round < repetitions; ++round) {
      times.push_back(Seconds([&] { kept = JudgeClassUse(list.names, L"vntbenchjudge").kept.size(); }));
    }
    // In registry calls' time: hosts differ in what one call costs.
    std::printf("class use check, 3000 extension keys, %lu CLSID keys, %lu hives in HKEY_USERS, "
                "%s (%zu kept): median %6.3f s, fastest %6.3f s, median / one call %.0f\n",
                static_cast<unsigned long>(clsids), static_cast<unsigned long>(users), list.what,
                kept, Median(times), *std::min_element(times.begin(), times.end()),
                Median(times) / call);
    std::fflush(stdout);
  }
  TieBenchClasses({}, true);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + untied).c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, (L"SOFTWARE\\Classes\\" + own).c_str());
  BuildRealisticStore(comCount, 3, true);
  BuildExtensionKeys(3000, true);
}

std::wstring BenchBackupFolder() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + L"varneth-bench-run";
}

// A whole run (backup written, deletion, look afterwards) over a user's
// class key .vntbenchbig holding `mebibytes` REG_BINARY values of 1 MiB: its
// time and the process's peak memory above what it used before.
void MeasureBigValues(int mebibytes) {
  const std::string place = "Software\\Classes\\.vntbenchbig";
  RegDeleteTreeA(HKEY_CURRENT_USER, place.c_str());
  HKEY key;
  RegCreateKeyExA(HKEY_CURRENT_USER, place.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                  nullptr);
  {
    std::vector<BYTE> data(1 << 20, 0x5A);
    for (int i = 0; i < mebibytes; ++i) {
      RegSetValueExA(key, std::to_string(i).c_str(), 0, REG_BINARY, data.data(),
                     static_cast<DWORD>(data.size()));
    }
  }
  RegCloseKey(key);
  const SIZE_T before = PrivateBytes(false);
  CleanupOutcome outcome;
  const double seconds = Seconds([&] {
    outcome = RunExtensionCleanup({"vntbenchbig", ProcessUser(), BenchBackupFolder(), false});
  });
  const SIZE_T peak = PrivateBytes(true);
  std::printf("whole run, %3d MiB of values below one place: %s in %7.3f s, peak memory %.1f MiB "
              "above the start (x%.2f of the data)\n",
              mebibytes, outcome.result == CleanupResult::kRemoved ? "removed" : "NOT removed",
              seconds, (peak - before) / 1048576.0,
              static_cast<double>(peak - before) / (mebibytes * 1048576.0));
  std::fflush(stdout);
  DeleteFileW(outcome.backupPath.c_str());
  RegDeleteTreeA(HKEY_CURRENT_USER, place.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, place.c_str());
}

// A whole run over a user's class key .vntbenchrun holding a tree of `keys`
// keys.
void MeasureWholeRun(int keys) {
  const std::string place = "Software\\Classes\\.vntbenchrun";
  RegDeleteTreeA(HKEY_CURRENT_USER, place.c_str());
  BuildTree(place, keys);
  CleanupOutcome outcome;
  const double seconds = Seconds([&] {
    outcome = RunExtensionCleanup({"vntbenchrun", ProcessUser(), BenchBackupFolder(), false});
  });
  std::printf("whole run over %d keys (backup, deletion, look afterwards): %s in %.3f s\n", keys,
              outcome.result == CleanupResult::kRemoved ? "removed" : "NOT removed", seconds);
  std::fflush(stdout);
  DeleteFileW(outcome.backupPath.c_str());
  RegDeleteTreeA(HKEY_CURRENT_USER, place.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, place.c_str());
  RemoveDirectoryW(BenchBackupFolder().c_str());
}

// `count` extensions .vntbenchscanN in the machine's class store, each naming
// a class of its own whose open verb runs a program of its own: the even
// ones notepad, the odd ones a file that is not there (a file looked at
// each time).
void BuildScanStore(int count, bool remove) {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  for (int i = 0; i < count; ++i) {
    const std::wstring number = std::to_wstring(i);
    const std::wstring extension = L"SOFTWARE\\Classes\\.vntbenchscan" + number;
    const std::wstring name = L"VarnethBenchScan.Class" + number;
    for (const std::wstring& key : {extension, L"SOFTWARE\\Classes\\" + name}) {
      RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str());
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    }
    if (remove) continue;
    SetBenchString(HKEY_LOCAL_MACHINE, extension, nullptr, name);
    const std::wstring program = i % 2 == 0 ? std::wstring(windows) + L"\\notepad.exe"
                                            : L"C:\\Program Files\\Varneth Bench\\app" + number +
                                                  L".exe";
    SetBenchString(HKEY_LOCAL_MACHINE,
                   L"SOFTWARE\\Classes\\" + name + L"\\shell\\open\\command", nullptr,
                   L"\"" + program + L"\" \"%1\"");
  }
}

// The whole scan as /s makes it: the stores opened, every extension judged.
void MeasureScan(int repetitions) {
  // What one registry call costs now (the scan is made of such calls): on a
  // shared machine it varies with the others' load.
  OneRegistryCall();
  std::vector<double> medians;
  const int counts[] = {3000, 30000};
  for (int count : counts) {
    BuildScanStore(count, false);
    std::vector<double> times;
    size_t looked = 0;
    size_t broken = 0;
    for (int round = 0; round < repetitions; ++round) {
      times.push_back(Seconds([&] {
        AssociationScan scan(OpenScanStores(ProcessUser()));
        const std::vector<std::wstring> extensions = scan.Extensions();
        looked = extensions.size();
        broken = 0;
        for (const std::wstring& extension : extensions) {
          if (scan.Judge(extension).verdict != ScanVerdict::kSound) ++broken;
        }
      }));
    }
    medians.push_back(Median(times));
    std::printf("scan, %5d bench extensions (%zu looked at, %zu broken): median %6.3f s, "
                "fastest %6.3f s\n",
                count, looked, broken, medians.back(),
                *std::min_element(times.begin(), times.end()));
    std::fflush(stdout);
    BuildScanStore(count, true);
  }
  std::printf("scan growth: 3,000 -> 30,000 extensions x%.1f (linear: x10)\n",
              medians[1] / medians[0]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "scan") {
    MeasureScan(argc > 2 ? std::max(1, std::atoi(argv[2])) : 5);
    return 0;
  }
  // "classes [repetitions]": the check in a realistic store alone.
  if (argc > 1 && std::string(argv[1]) == "classes") {
    MeasureRealisticClassUse(8000, argc > 2 ? std::max(1, std::atoi(argv[2])) : 5);
    return 0;
  }
  // Whole runs, each mode in a process of its own: the peak memory a process
  // reports is its whole life's.
  if (argc > 1 && std::string(argv[1]) == "memory") {
    for (int mebibytes : {1, 10, 60}) MeasureBigValues(mebibytes);
    return 0;
  }
  if (argc > 2 && std::string(argv[1]) == "run") {
    MeasureWholeRun(std::atoi(argv[2]));
    return 0;
  }
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {1000, 10000, 50000};
  std::printf("median of %d runs per contender, trees below HKCU\\%s\n", repetitions, kScratch);
  std::vector<SizeResult> results;
  for (int keys : sizes) results.push_back(MeasureSize(keys, repetitions));
  if (results.size() > 1) {
    const SizeResult& first = results.front();
    const SizeResult& last = results.back();
    const double growth = static_cast<double>(last.keys) / first.keys;
    std::printf("growth N=%d -> N=%d (x%.0f keys): walk x%.1f, bare listing x%.1f, backup x%.1f, "
                "plan deletion x%.1f, RegDeleteTreeA x%.1f\n",
                first.keys, last.keys, growth, last.walk / first.walk, last.bareListing / first.bareListing,
                last.backup / first.backup, last.planDelete / first.planDelete,
                last.deleteTree / first.deleteTree);
  }
  const double hundred = MeasurePlanning(100, repetitions);
  const double thousand = MeasurePlanning(1000, repetitions);
  const double tenThousand = MeasurePlanning(10000, repetitions);
  std::printf("planning growth: 100 -> 1,000 names x%.1f, 1,000 -> 10,000 names x%.1f "
              "(linear: x10 each)\n",
              thousand / hundred, tenThousand / thousand);
  MeasureClassUse(3000, repetitions);
  MeasureRealisticClassUse(8000, repetitions);
  return 0;
}
