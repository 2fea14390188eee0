// Proves that the byte escapes of every program text are the code page 936
// form of the text written in its comment.
#include "runtime/program_texts.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace varneth {
namespace {

std::string ToCodePage936(const char* utf8) {
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide.data(), units);
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(936, 0, wide.c_str(), -1, nullptr, 0, nullptr, &lossy);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(936, 0, wide.c_str(), -1, out.data(), bytes, nullptr, &lossy);
  EXPECT_FALSE(lossy) << utf8;
  out.pop_back();  // the NUL
  return out;
}

TEST(ProgramTexts, AreTheCodePage936FormOfTheirReadableText) {
  EXPECT_EQ(texts::kPrompt, ToCodePage936("请输入待取消或删除关联的扩展名: "));
  EXPECT_EQ(texts::kExitQuestion, ToCodePage936(" 关联已删除，是否退出 (Y/N)"));
  EXPECT_EQ(texts::kOldSystemRefusal,
            ToCodePage936("\r\n NT 5.x 不需要使用本程序，本程序只支持 NT 6.x 及以上系统"));
  EXPECT_EQ(texts::kOutOfMemory, ToCodePage936("内存不足"));
  EXPECT_EQ(texts::kMissingModuleFormat, ToCodePage936("同目录下无法找到DLL文件:\"%s\".请与作者联系."));
  EXPECT_EQ(texts::kMissingFunctionFormat,
            ToCodePage936("无法定位DLL文件:\"%s\"当中的\"%s\"函数."));
}

TEST(ProgramTexts, OutcomeTextsAreTheCodePage936FormOfTheirReadableText) {
  EXPECT_EQ(texts::kExitAsk, ToCodePage936("，是否退出 (Y/N)"));
  EXPECT_EQ(texts::kAssociationPartlyRemoved, ToCodePage936(" 关联仅部分删除"));
  EXPECT_EQ(texts::kAssociationNotRemoved, ToCodePage936(" 关联未删除"));
  EXPECT_EQ(texts::kKeysStayedHeading, ToCodePage936("下列注册表项未能删除："));
  EXPECT_EQ(texts::kRunAsAdministrator,
            ToCodePage936("以管理员身份运行 Varneth 即可删除 HKEY_LOCAL_MACHINE 下的项。"));
  EXPECT_EQ(texts::kBackupFailedLead, ToCodePage936("无法写入备份文件 "));
  EXPECT_EQ(texts::kReasonLead, ToCodePage936("："));
  EXPECT_EQ(texts::kNothingDeleted, ToCodePage936("，未删除任何内容。"));
  EXPECT_EQ(texts::kNameWithLineBreak, ToCodePage936("有键名或值名含换行符，备份文件无法记录"));
  EXPECT_EQ(texts::kValueOfKey, ToCodePage936(" 中的值 "));
  EXPECT_EQ(texts::kDefaultValueOfKey, ToCodePage936(" 中的默认值"));
  EXPECT_EQ(texts::kStayedUnreachableName, ToCodePage936("  名称含有系统代码页无法表示的字符，Varneth 无法删除"));
  EXPECT_EQ(texts::kStayedChangedDuringRun, ToCodePage936("  运行期间其他程序更改了此项，未备份的内容已保留"));
  EXPECT_EQ(texts::kStayedWrittenBeforeDeletion, ToCodePage936("  删除前的一刻其他程序写入了此项，已保留"));
  EXPECT_EQ(texts::kStayedRegistryLinkLead,
            ToCodePage936("  注册表链接，Varneth 既不跟随也不删除: "));
  EXPECT_EQ(texts::kStayedKeepsClassNames, ToCodePage936("  列表中的类未能删除，其类名已保留，以便下次运行时删除"));
  EXPECT_EQ(texts::kKeptClassesHeading, ToCodePage936("下列类不只属于此扩展名，已保留："));
  EXPECT_EQ(texts::kKeptLead, ToCodePage936("已保留: "));
  EXPECT_EQ(texts::kWouldKeepLead, ToCodePage936("将保留: "));
  EXPECT_EQ(texts::kKeptExtensionKey, ToCodePage936("  这是扩展名的键，不是类"));
  EXPECT_EQ(texts::kKeptNotAClassName,
            ToCodePage936("  类名含有反斜杠，指向的是别处的项，不是类"));
  EXPECT_EQ(texts::kKeptSystemClass, ToCodePage936("  这是类存储或 Windows 外壳自身的项"));
  EXPECT_EQ(texts::kKeptProgramClass,
            ToCodePage936("  这是启动程序的类，启动程序的关联不由 Varneth 删除"));
  EXPECT_EQ(texts::kKeptUrlProtocol, ToCodePage936("  这是 URL 协议的键"));
  EXPECT_EQ(texts::kKeptComClass, ToCodePage936("  这是 COM 类的名称，程序按此名称创建对象"));
  EXPECT_EQ(texts::kKeptControlCharacter, ToCodePage936("  类名含有 NUL 或其他控制字符，不是类"));
  EXPECT_EQ(texts::kKeptUsedElsewhere, ToCodePage936("  其他扩展名或协议也在使用此类："));
  EXPECT_EQ(texts::kKeptNotTied,
            ToCodePage936("  只有用户可写的键将此类关联到此扩展名，本机的记录并未如此关联"));
  EXPECT_EQ(texts::kKeptUnreadable, ToCodePage936("  无法读取可能使用此类的位置："));
  EXPECT_EQ(texts::kListSeparator, ToCodePage936("、"));
  EXPECT_EQ(texts::kAndOthers, ToCodePage936(" 等"));
  EXPECT_EQ(texts::kStayedProtectedChoice, ToCodePage936("  此默认应用选择受 Windows 保护，只能在“设置 → 应用 → 默认应用”中更改"));
}

TEST(ProgramTexts, ScanTextsAreTheCodePage936FormOfTheirReadableText) {
  EXPECT_EQ(texts::kScanMissingClass, ToCodePage936("所选的类不存在"));
  EXPECT_EQ(texts::kScanNoVerb, ToCodePage936("此类没有任何能启动程序的命令"));
  EXPECT_EQ(texts::kScanMissingProgram, ToCodePage936("命令所指的程序文件不存在: "));
  EXPECT_EQ(texts::kScanStaleList, ToCodePage936("打开方式列表中的类都已不存在（过时的列表）"));
  EXPECT_EQ(texts::kScanBehindLink, ToCodePage936("注册表链接，Varneth 不跟随，其后的项未检查: "));
  EXPECT_EQ(texts::kScanCleanLead, ToCodePage936("  清理命令: varneth "));
  EXPECT_EQ(texts::kScanDryRunLead, ToCodePage936("，试运行: varneth /n "));
  EXPECT_EQ(texts::kScanSummaryLead, ToCodePage936("已检查 "));
  EXPECT_EQ(texts::kScanSummaryFound, ToCodePage936(" 个扩展名，发现 "));
  EXPECT_EQ(texts::kScanSummaryBroken, ToCodePage936(" 个损坏的关联"));
  EXPECT_EQ(texts::kScanSummaryStale, ToCodePage936(" 个过时的打开方式列表"));
  EXPECT_EQ(texts::kScanDesktopUserKeysLead, ToCodePage936("检查桌面用户 "));
  EXPECT_EQ(texts::kScanOwnKeysLead, ToCodePage936("无法使用桌面用户的注册表，检查运行 Varneth 的帐户 "));
  EXPECT_EQ(texts::kNotWithScan, ToCodePage936(" 不能与 /s 同时使用"));
}

TEST(ProgramTexts, CommandLineTextsAreTheCodePage936FormOfTheirReadableText) {
  EXPECT_EQ(texts::kUsage, ToCodePage936(
      "用法: varneth [选项] 扩展名 [扩展名 ...]\r\n"
      "      varneth    (不带参数) 进入交互对话\r\n"
      "      varneth /s [扩展名 ...]  查找损坏的关联\r\n"
      "\r\n"
      "删除每个扩展名的文件关联；删除之前先把要删除的项写入可还原的备份文件。\r\n"
      "\r\n"
      "  /n, -n, --dry-run               只列出将删除的项，不做任何更改\r\n"
      "  /b 目录, -b 目录, --backup-dir 目录\r\n"
      "                                  把备份文件写入该目录，默认为系统所指的本地\r\n"
      "                                  应用程序数据文件夹中的 Varneth\\Backups\r\n"
      "  /s, -s, --scan                  只检查，列出损坏的关联及清理它的命令，不做任何更改；\r\n"
      "                                  不带扩展名时检查注册表中的所有扩展名\r\n"
      "  /?, -h, --help                  显示本说明\r\n"
      "  --                              其后的参数都是扩展名\r\n"
      "\r\n"
      "退出代码: 0 全部删除（或没有可删除的项，或试运行已列出），且报告已写出\r\n"
      "          1 有项未能删除，或备份文件无法写入（该扩展名未被改动），或以系统帐户\r\n"
      "            运行时没有用户登录到控制台（未做任何更改），或报告无法写出\r\n"
      "          2 用法错误，或系统不受支持（未做任何更改）\r\n"
      "          3 已中断：收到控制台控制事件（Ctrl+C、Ctrl+Break 或关闭窗口），\r\n"
      "            之后的扩展名均未处理\r\n"
      "          /s 时: 0 没有损坏的关联，1 发现损坏的关联或报告无法写出\r\n"));
  EXPECT_EQ(texts::kUnknownOption, ToCodePage936("未知选项: "));
  EXPECT_EQ(texts::kOptionLead, ToCodePage936("选项 "));
  EXPECT_EQ(texts::kMissingDirectory, ToCodePage936(" 缺少目录"));
  EXPECT_EQ(texts::kNoExtension, ToCodePage936("未指定扩展名"));
  EXPECT_EQ(texts::kRefusedExtension, ToCodePage936("不能处理的扩展名: "));
  EXPECT_EQ(texts::kArgumentPositionLead, ToCodePage936("第 "));
  EXPECT_EQ(texts::kUnrepresentableExtension,
            ToCodePage936(" 个参数中的扩展名含有系统代码页无法表示的字符"));
  EXPECT_EQ(texts::kUnrepresentableArgument, ToCodePage936(" 个参数含有系统代码页无法表示的字符"));
  EXPECT_EQ(texts::kUsageHint, ToCodePage936("用 varneth /? 查看用法。"));
  EXPECT_EQ(texts::kBackupFileLead, ToCodePage936("备份文件: "));
  EXPECT_EQ(texts::kRemovedLead, ToCodePage936("已删除: "));
  EXPECT_EQ(texts::kStayedLead, ToCodePage936("未能删除: "));
  EXPECT_EQ(texts::kWouldRemoveLead, ToCodePage936("将删除: "));
  EXPECT_EQ(texts::kKeysCounted, ToCodePage936(" 个键, "));
  EXPECT_EQ(texts::kValuesCounted, ToCodePage936(" 个值)"));
  EXPECT_EQ(texts::kLeftCountsLead, ToCodePage936(" (剩余 "));
  EXPECT_EQ(texts::kValuesLeftThenGone, ToCodePage936(" 个值; 已删除 "));
  EXPECT_EQ(texts::kNothingMentionsIt, ToCodePage936(": 注册表中没有此扩展名的关联"));
  EXPECT_EQ(texts::kSummaryRemoved, ToCodePage936(": 已删除 "));
  EXPECT_EQ(texts::kItems, ToCodePage936(" 项"));
  EXPECT_EQ(texts::kComma, ToCodePage936("，"));
  EXPECT_EQ(texts::kItemsStayed, ToCodePage936(" 项未能删除"));
  EXPECT_EQ(texts::kSummaryDryRun, ToCodePage936(": 试运行，将删除 "));
  EXPECT_EQ(texts::kItemsUnchanged, ToCodePage936(" 项，未做任何更改"));
  EXPECT_EQ(texts::kOutOfMemoryLine, ToCodePage936("内存不足，Varneth 已中止：当前的扩展名未处理完，之后的扩展名均未处理。"));
  EXPECT_EQ(texts::kWouldLeaveCountsLead, ToCodePage936(" (将剩余 "));
  EXPECT_EQ(texts::kValuesWouldLeaveThenGo, ToCodePage936(" 个值; 将删除 "));
  EXPECT_EQ(texts::kItemsWouldStay, ToCodePage936(" 项将无法删除"));
  EXPECT_EQ(texts::kNothingChanged, ToCodePage936("，未做任何更改"));
  EXPECT_EQ(texts::kStayedUncarriableName, ToCodePage936("  名称含有备份文件格式无法记录的字符（NUL），Varneth 不删除"));
  EXPECT_EQ(texts::kBackupWouldFail, ToCodePage936("备份文件将无法写入："));
  EXPECT_EQ(texts::kNothingWouldBeDeleted, ToCodePage936("，实际运行时不会删除任何内容。"));
  EXPECT_EQ(texts::kSummaryNotRemoved, ToCodePage936(": 关联未删除"));
  EXPECT_EQ(texts::kInterrupted, ToCodePage936("已中断：之后的扩展名均未处理。"));
}

TEST(ProgramTexts, WhoseKeysTextsAreTheCodePage936FormOfTheirReadableText) {
  EXPECT_EQ(texts::kDesktopUserKeysLead, ToCodePage936("清理桌面用户 "));
  EXPECT_EQ(texts::kUserKeysTail, ToCodePage936(" 的注册表项"));
  EXPECT_EQ(texts::kOwnKeysLead, ToCodePage936("无法使用桌面用户的注册表，清理运行 Varneth 的帐户 "));
  EXPECT_EQ(texts::kNoConsoleUser, ToCodePage936("没有用户登录到控制台，未做任何更改。"));
}

TEST(ProgramTexts, EveryConfirmationEndsWithTheSameQuestion) {
  const std::string success = texts::kExitQuestion;
  EXPECT_EQ(success, std::string(" \xB9\xD8\xC1\xAA\xD2\xD1\xC9\xBE\xB3\xFD") + texts::kExitAsk);
}

TEST(ProgramTexts, FullWidthCommaIsA3AC) {
  const std::string question = texts::kExitQuestion;
  EXPECT_NE(question.find("\xA3\xAC"), std::string::npos);
  EXPECT_EQ(question.substr(question.size() - 6), " (Y/N)");
}

TEST(ProgramTexts, RuntimeErrorTable) {
  const char* readable[11] = {
      "数组成员引用下标超出定义范围",
      "未得到所需要的数值型数据",
      "引用数组成员时维数不为1且不等于该数组目前所具有的维数",
      "数组成员引用下标必须大于等于1",
      "数据或数组类型不匹配",
      "调用DLL命令后发现堆栈错误，通常是DLL参数数目不正确",
      "子语句参数未返回数据或者返回了非系统基本类型或数组型数据",
      "被比较数据只能使用等于或不等于命令比较",
      "“多项选择”命令的索引值参数小于零或超出了所提供参数表范围",
      "“重定义数组”命令的数组维定义参数值必须大于零或单维时大于等于零",
      "所提供参数的数据类型不符合要求",
  };
  for (int code = 1; code <= 11; ++code) {
    EXPECT_EQ(texts::kRuntimeErrorMessages[code - 1], ToCodePage936(readable[code - 1]))
        << "code " << code;
  }
}

}  // namespace
}  // namespace varneth
