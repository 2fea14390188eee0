// How both front ends name the cleanup's targets and its failures.
#pragma once

#include <windows.h>

#include <vector>

#include "cleanup/extension_cleanup.h"
#include "runtime/text.h"

namespace varneth {

// The key's full path; for a value, followed by " 中的值 <name>", or by
// " 中的默认值" for the key's default value. A character code page 936 cannot
// hold is written as \uXXXX.
Text TargetDisplayName(const CleanupTarget& target);

// The lines that say why a target stayed, where that is known.
std::vector<const char*> StayReasonLines(const TargetFate& fate);

// One line for each registry link in a target that stayed, or for the
// target itself when it is one: "  注册表链接，Varneth 既不跟随也不删除: <path>".
std::vector<Text> RegistryLinkLines(const TargetFate& fate);

// After a target that stayed, what is left of it and what of it went:
// " (剩余 <n> 个键, <m> 个值; 已删除 <p> 个键, <q> 个值)".
Text LeftAndGoneText(const TargetFate& fate);

// In a dry run, of a place that would stay in part:
// " (将剩余 <n> 个键, <m> 个值; 将删除 <p> 个键, <q> 个值)".
Text WouldLeaveAndGoText(const TargetFate& fate);

// A kept class's full path, and the line that says why it stays whole (for a
// shared class, with the first extensions or protocols that use it).
Text KeptClassDisplayName(const KeptClass& kept);
Text KeptClassReasonLine(const KeptClass& kept);

// The system's message for an error code, as the program writes it (code
// page 936), without its line end or closing full stop.
Text SystemErrorText(DWORD error);

// Why the backup could not be made: the system's message, or that a name
// holds a line break.
Text BackupFailureReason(const CleanupOutcome& outcome);

// "无法写入备份文件 <file>：<reason>，未删除任何内容。"
Text BackupFailureLine(const CleanupOutcome& outcome);

}  // namespace varneth
