"""The read-only scan on the command line: a prefix seeded with a sound
association and broken ones of each kind is reported line for line, with the
command that cleans each, and the registry is left exactly as it was."""
import unittest

import wine_console as wc
from report_lines import CP, lines
from test_cleanup import FILE_EXTS, MACHINE_CLASSES, USER_CLASSES

GONE = r"C:\Program Files\Varneth Gone\app.exe"
SEED = f"""[{MACHINE_CLASSES}\\.vnsgood]
@="VarnethScan.Good"

[{MACHINE_CLASSES}\\VarnethScan.Good\\shell\\open\\command]
@="\\"C:\\\\windows\\\\notepad.exe\\" \\"%1\\""

[{FILE_EXTS}\\.vnschoice\\UserChoice]
"ProgId"="VarnethScan.Gone"

[{MACHINE_CLASSES}\\.vnsverb]
@="VarnethScan.Verbless"

[{MACHINE_CLASSES}\\VarnethScan.Verbless\\shell\\open]
@="Open"

[{MACHINE_CLASSES}\\.vnsprog]
@="VarnethScan.Prog"

[{MACHINE_CLASSES}\\VarnethScan.Prog\\shell\\open\\command]
@="\\"{GONE.replace(chr(92), chr(92) * 2)}\\" \\"%1\\""

[{USER_CLASSES}\\.vnsenv]
@="VarnethScan.Env"

[{USER_CLASSES}\\VarnethScan.Env\\shell\\open\\command]
@="%SystemRoot%\\\\vnsgone.exe %1"

[{FILE_EXTS}\\.vnsstale\\OpenWithProgids]
"VarnethScan.GoneA"=hex(0):

[{USER_CLASSES}\\.vnslink]
@="VarnethScan.Linked"

"""
KEYS = [f"{MACHINE_CLASSES}\\.vnsgood", f"{MACHINE_CLASSES}\\VarnethScan.Good",
        f"{FILE_EXTS}\\.vnschoice", f"{MACHINE_CLASSES}\\.vnsverb",
        f"{MACHINE_CLASSES}\\VarnethScan.Verbless", f"{MACHINE_CLASSES}\\.vnsprog",
        f"{MACHINE_CLASSES}\\VarnethScan.Prog", f"{USER_CLASSES}\\.vnsenv",
        f"{USER_CLASSES}\\VarnethScan.Env", f"{FILE_EXTS}\\.vnsstale", f"{USER_CLASSES}\\.vnslink"]
LINK = f"{MACHINE_CLASSES}\\VarnethScan.Linked"


def finding(ext, name, reason):
    return [f".{ext} ({name}): {reason}", f"  清理命令: varneth {ext}，试运行: varneth /n {ext}"]


# In the order of the extensions' names, as a scan of everything reports them.
FINDINGS = [
    *finding("vnschoice", "VarnethScan.Gone", "所选的类不存在"),
    *finding("vnsenv", "VarnethScan.Env", r"命令所指的程序文件不存在: C:\windows\vnsgone.exe"),
    f".vnslink (VarnethScan.Linked): 注册表链接，Varneth 不跟随，其后的项未检查: {LINK}",
    *finding("vnsprog", "VarnethScan.Prog", f"命令所指的程序文件不存在: {GONE}"),
    *finding("vnsstale", "VarnethScan.GoneA", "打开方式列表中的类都已不存在（过时的列表）"),
    *finding("vnsverb", "VarnethScan.Verbless", "此类没有任何能启动程序的命令"),
]
STORES = [r"HKEY_CURRENT_USER\Software", MACHINE_CLASSES]


class Scan(wc.VarnethTestCase):
    def test_reports_the_broken_and_changes_nothing(self):
        self.seed_keys(KEYS, SEED)
        wc.remove_link(LINK)  # a crashed run's
        wc.make_link(LINK, r"HKEY_CURRENT_USER\Software\VarnethScanVictim")
        self.addCleanup(wc.remove_link, LINK)
        before = wc.export_keys(STORES)

        named = wc.run_command_line(self.exe, ["/s", "vnsgood", "vnschoice", "vnsenv", "vnslink",
                                               "vnsprog", "vnsstale", "vnsverb"])
        everything = wc.run_command_line(self.exe, ["--scan"])

        self.assertEqual(wc.export_keys(STORES), before)
        self.assertEqual(named.returncode, 1)
        self.assert_bytes(named.stdout, lines(
            *FINDINGS, "已检查 7 个扩展名，发现 4 个损坏的关联，1 个过时的打开方式列表"))
        # Among the prefix's own associations, the seeded ones in name order.
        self.assertEqual(everything.returncode, 1)
        self.assertIn(lines(*FINDINGS), everything.stdout)
        self.assertTrue(everything.stdout.endswith(" 个过时的打开方式列表\r\n".encode(CP)),
                        everything.stdout.decode(CP))


if __name__ == "__main__":
    Scan.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
