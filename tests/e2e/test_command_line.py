"""Varneth from its command line, as a script runs it: standard input is no
console (/dev/null, or a pipe that stays open), output goes to files, and the
exit code tells what happened."""
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import wine_console as wc
from report_lines import LINK, CP, backup_failed, lines, place, stayed
from test_cleanup import FILE_EXTS, MACHINE_CLASSES, association, association_keys, machine_tie


def fates(lead: str, ext: str, cls: str):
    """The target lines of association(ext, [cls]), in the cleanup's order."""
    explorer = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer"
    return [place(lead, f"{MACHINE_CLASSES}\\{cls}", 5, 3),
            place(lead, f"{explorer}\\FileExts\\.{ext}", 4, 5),
            place(lead, f"HKEY_CURRENT_USER\\Software\\Classes\\.{ext}", 1, 2),
            place(lead, f"HKEY_CURRENT_USER\\Software\\Classes\\{ext}_auto_file", 4, 1),
            place(lead, f"{explorer}\\RecentDocs\\.{ext}", 1, 2)]


USAGE = ["用法: varneth [选项] 扩展名 [扩展名 ...]",
         "      varneth    (不带参数) 进入交互对话",
         "      varneth /s [扩展名 ...]  查找损坏的关联",
         "",
         "删除每个扩展名的文件关联；删除之前先把要删除的项写入可还原的备份文件。",
         "",
         "  /n, -n, --dry-run               只列出将删除的项，不做任何更改",
         "  /b 目录, -b 目录, --backup-dir 目录",
         "                                  把备份文件写入该目录，默认为系统所指的本地",
         "                                  应用程序数据文件夹中的 Varneth\\Backups",
         "  /s, -s, --scan                  只检查，列出损坏的关联及清理它的命令，不做任何更改；",
         "                                  不带扩展名时检查注册表中的所有扩展名",
         "  /?, -h, --help                  显示本说明",
         "  --                              其后的参数都是扩展名",
         "",
         "退出代码: 0 全部删除（或没有可删除的项，或试运行已列出），且报告已写出",
         "          1 有项未能删除，或备份文件无法写入（该扩展名未被改动），或以系统帐户",
         "            运行时没有用户登录到控制台（未做任何更改），或报告无法写出",
         "          2 用法错误，或系统不受支持（未做任何更改）",
         "          3 已中断：收到控制台控制事件（Ctrl+C、Ctrl+Break 或关闭窗口），",
         "            之后的扩展名均未处理",
         "          /s 时: 0 没有损坏的关联，1 发现损坏的关联或报告无法写出"]


class CommandLine(wc.VarnethTestCase):
    def seed(self, ext, cls):
        return self.seed_keys(association_keys(ext, [cls]), association(ext, [cls]))

    def snapshot(self, keys):
        folder = wc.backup_folder()
        files = sorted(folder.iterdir()) if folder.exists() else []
        return wc.export_keys(keys), files

    def run_args(self, *args, **kwargs):
        return wc.run_command_line(self.exe, list(args), **kwargs)

    def test_a_dry_run_lists_and_changes_nothing(self):
        keys = self.seed("vntdry", "VarnethDry.Doc")
        before = self.snapshot(keys)
        # Registry names ignore letter case; paths are named as typed.
        for args, ext in ((["/n", "vntdry"], "vntdry"), (["vntdry", "-n"], "vntdry"),
                          (["--DRY-RUN", ".VNTDRY"], "VNTDRY")):
            with self.subTest(args=args):
                result = self.run_args(*args)
                self.assertEqual(result.returncode, 0)
                self.assert_bytes(result.stdout,
                                  lines(*fates("将删除", ext, "VarnethDry.Doc"),
                                        f"{ext}: 试运行，将删除 5 项，未做任何更改"))
                self.assertEqual(result.stderr, b"")
                self.assertEqual(self.snapshot(keys), before)

    def test_a_dry_run_tells_when_the_backup_would_fail(self):
        key = r"HKEY_CURRENT_USER\Software\Classes\.vntclilf"
        self.seed_keys([key], f'[{key}]\n"line\\nbreak"="a name the format cannot carry"\n\n',
                       unicode=True)
        result = self.run_args("-n", "vntclilf")
        self.assertEqual(result.returncode, 1)
        self.assert_bytes(result.stdout, lines(
            place("将删除", key, 1, 1),
            "备份文件将无法写入：有键名或值名含换行符，备份文件无法记录，实际运行时不会删除任何内容。",
            "vntclilf: 试运行，将删除 1 项，未做任何更改"))
        result = self.run_args("vntclilf")
        self.assertEqual(result.returncode, 1)
        self.assertTrue(wc.key_exists(key))

    def test_a_dry_run_whose_backup_would_fail_ends_as_the_run_does(self):
        # The run deletes nothing and ends with 1; its dry run may not call
        # that a success, whatever keeps the backup from being written.
        key = r"HKEY_CURRENT_USER\Software\Classes\.vntclibf"
        self.seed_keys([key], f'[{key}]\n@="x"\n\n')
        with tempfile.NamedTemporaryFile() as not_a_folder:
            args = ["/b", wc.windows_path(not_a_folder.name), "vntclibf"]
            dry, real = self.run_args("/n", *args), self.run_args(*args)
        self.assertEqual((dry.returncode, real.returncode), (1, 1), dry.stdout.decode(CP))
        self.assertTrue(wc.key_exists(key))

    def test_an_extension_in_chinese_is_read_from_the_command_line(self):
        key = r"HKEY_CURRENT_USER\Software\Classes\.测试"
        self.seed_keys([key], f'[{key}]\n@="x"\n\n')
        result = self.run_args("-n", "测试")
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, lines(place("将删除", key, 1, 1),
                                               "测试: 试运行，将删除 1 项，未做任何更改"))

    def test_two_extensions_with_a_backup_folder_of_their_own(self):
        keys_one = self.seed("vntclia", "VarnethCliA.Doc")
        keys_two = self.seed("vntclib", "VarnethCliB.Doc")
        before = wc.export_keys(keys_one + keys_two)
        with tempfile.TemporaryDirectory() as tmp:
            folder = Path(tmp) / "new" / "backups"
            # A pipe that stays open: the program must not wait on it.
            result = self.run_args("vntclia", "/b", wc.windows_path(folder), "vntclib",
                                   stdin=subprocess.PIPE)
            self.assertEqual(result.returncode, 0)
            self.assert_gone(keys_one + keys_two)
            files = sorted(folder.glob("*.reg"))
            self.assertEqual([f.name[:8] for f in files], ["vntclia-", "vntclib-"])
            expected = b""
            for ext, cls, file in (("vntclia", "VarnethCliA.Doc", files[0]),
                                   ("vntclib", "VarnethCliB.Doc", files[1])):
                expected += lines(f"备份文件: {wc.windows_path(file)}", *fates("已删除", ext, cls),
                                  f"{ext}: 已删除 5 项")
            self.assert_bytes(result.stdout.lower(), expected.lower())
            for file in files:
                wc.reg("import", wc.windows_path(file), check=True)
        self.assertEqual(wc.export_keys(before), before)

    def test_a_backup_that_cannot_be_written_leaves_every_extension_untouched(self):
        keys = self.seed("vntclinob", "VarnethCliNoB.Doc")
        before = self.snapshot(keys)
        with tempfile.TemporaryDirectory() as tmp:
            blocker = Path(tmp) / "a file"
            blocker.write_bytes(b"not a folder")
            folder = wc.windows_path(blocker / "backups")
            start = time.time()
            result = self.run_args("-b", folder, "vntclinob", "vntclinothing")
            stamps = {time.strftime("%Y%m%d-%H%M%S", time.localtime(second))
                      for second in range(int(start), int(time.time()) + 1)}
        self.assertEqual(result.returncode, 1)
        # The file is named by the time of the run; the reason is Wine's text
        # of ERROR_PATH_NOT_FOUND. Nothing mentions the second extension, so
        # it needs no backup.
        self.assertIn(result.stdout, [
            lines(backup_failed(f"{folder}\\vntclinob-{stamp}.partial", "找不到路径"),
                  "vntclinob: 关联未删除", "vntclinothing: 注册表中没有此扩展名的关联")
            for stamp in stamps])
        self.assertEqual(self.snapshot(keys), before)

    def test_a_key_that_stays_gives_exit_code_1(self):
        auto = r"HKEY_CURRENT_USER\Software\Classes\vntclistay_auto_file"
        target = r"HKEY_CURRENT_USER\Software\VarnethCliStayTarget"
        self.seed_keys([auto, target], f'[{auto}\\shell]\n"v"="x"\n\n[{target}]\n@="t"\n\n')
        wc.make_link(f"{auto}\\link", target)
        self.addCleanup(wc.remove_link, f"{auto}\\link")
        self.addCleanup(lambda: [p.unlink() for p in wc.backup_folder().glob("vntclistay-*")])
        result = self.run_args("vntclistay")
        self.assertEqual(result.returncode, 1)
        self.assertIn(lines(stayed(auto, 2, 0, 1, 1), f"{LINK}{auto}\\link"), result.stdout)
        self.assertTrue(result.stdout.endswith(lines("vntclistay: 已删除 0 项，1 项未能删除")))
        self.assertTrue(wc.key_exists(auto))

    def test_only_the_extensions_own_class_goes(self):
        # The user's list names the extension's own class, a class two other
        # extensions use, and keys of the class store itself (Wine's prefix
        # has them; .exe is made when it lacks one).
        own, shared = "VarnethClsOwn.Doc", "VarnethClsShared.Doc"
        foreign = ["CLSID", "Interface", "*", ".exe", "exefile"]
        others = [f"{MACHINE_CLASSES}\\.vntclsa", f"{MACHINE_CLASSES}\\.vntclsb"]
        text = association("vntcls", [own]) + machine_tie("vntcls", [shared])
        text += f"""[{MACHINE_CLASSES}\\{shared}\\shell\\open\\command]
@="viewer.exe"

[{others[0]}]
@="{shared}"

[{others[1]}]
@="VARNETHCLSSHARED.doc"

[{FILE_EXTS}\\.vntcls\\OpenWithProgids]
"""
        text += "".join(f'"{name}"=hex(0):\n' for name in [shared] + foreign) + "\n"
        keys = association_keys("vntcls", [own])
        self.seed_keys(keys + others + [f"{MACHINE_CLASSES}\\{shared}"], text)
        if not wc.key_exists(f"{MACHINE_CLASSES}\\.exe"):
            self.seed_keys([f"{MACHINE_CLASSES}\\.exe"], f'[{MACHINE_CLASSES}\\.exe]\n@="exefile"\n\n')
        kept = [f"{MACHINE_CLASSES}\\{name}" for name in [shared] + foreign] + others
        before = wc.export_keys(kept)
        self.addCleanup(lambda: [p.unlink() for p in wc.backup_folder().glob("vntcls-*")])
        store = "  这是类存储或 Windows 外壳自身的项"
        reasons = {shared: "  其他扩展名或协议也在使用此类：.vntclsa、.vntclsb", "CLSID": store,
                   "Interface": store, "*": store, ".exe": "  这是扩展名的键，不是类",
                   "exefile": "  这是启动程序的类，启动程序的关联不由 Varneth 删除"}

        def kept_lines(lead):
            # In the list's order, which under Wine is that of the names.
            return [line for name in sorted([shared] + foreign, key=str.upper)
                    for line in (f"{lead}: {MACHINE_CLASSES}\\{name}", reasons[name])]

        dry = self.run_args("/n", "vntcls")
        self.assertEqual(dry.returncode, 0)
        self.assertIn(lines(*kept_lines("将保留"), "vntcls: 试运行，将删除 5 项，未做任何更改"),
                      dry.stdout)
        result = self.run_args("vntcls")
        self.assertEqual(result.returncode, 0, result.stdout.decode(CP))
        # The list's entries for kept classes went with the list.
        self.assertTrue(result.stdout.endswith(lines(*kept_lines("已保留"), "vntcls: 已删除 5 项")),
                        result.stdout.decode(CP))
        self.assert_gone(keys)
        self.assertEqual(wc.export_keys(before), before)
        backup, = wc.backup_folder().glob("vntcls-*.reg")
        self.assertLess(backup.stat().st_size, 4096)
        machine = {line.split("\\")[3] for line in backup.read_bytes().decode("utf-16").splitlines()
                   if line.startswith("[HKEY_LOCAL_MACHINE")}
        self.assertEqual(machine, {own, own + "]"})

    def test_usage_errors_do_nothing_at_all(self):
        keys = self.seed("vntcliok", "VarnethCliOk.Doc")
        before = self.snapshot(keys)
        cases = [(["vntcliok", "exe"], "不能处理的扩展名: exe"),
                 (["vntcliok", ".BAT"], "不能处理的扩展名: .BAT"),
                 (["...", "vntcliok"], "不能处理的扩展名: ..."),
                 (["vntcliok", "/x"], "未知选项: /x"),
                 (["vntcliok", "--frobnicate"], "未知选项: --frobnicate"),
                 (["vntcliok", "/b"], "选项 /b 缺少目录"),
                 (["-b", "x", "--scan", "vntcliok"], "选项 -b 不能与 /s 同时使用"),
                 (["/n"], "未指定扩展名"),
                 ([], None)]
        for args, message in cases[:-1]:
            with self.subTest(args=args):
                result = self.run_args(*args)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, b"")
                self.assert_bytes(result.stderr, lines(message, "用 varneth /? 查看用法。"))
                self.assertEqual(self.snapshot(keys), before)

    def test_help_shows_the_usage_whatever_stands_beside_it(self):
        for args in (["/?"], ["--help"], ["-h", "vntcliok"], ["/x", "exe", "/?"]):
            with self.subTest(args=args):
                result = self.run_args(*args)
                self.assertEqual(result.returncode, 0)
                self.assert_bytes(result.stdout, lines(*USAGE))
                self.assertEqual(result.stderr, b"")

    def test_an_old_system_is_refused_without_waiting(self):
        wc.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", "winxp", "/f", check=True)
        self.addCleanup(wc.reg, "delete", r"HKCU\Software\Wine", "/v", "Version", "/f")
        result = self.run_args("vntcliold", stdin=subprocess.PIPE, timeout=30)
        self.assertEqual(result.returncode, 2)
        self.assert_bytes(result.stdout,
                          lines("", " NT 5.x 不需要使用本程序，本程序只支持 NT 6.x 及以上系统"))


if __name__ == "__main__":
    CommandLine.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
