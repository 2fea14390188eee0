"""What a person sees: standard output on the Wine console too, read back as
the terminal receives it (UTF-8 with Wine's escape sequences, spaces
sometimes drawn as cursor moves), so escape sequences and white space are
removed before the program's texts are looked for."""
import re
import unittest

import wine_console as wc

ESCAPES = re.compile(rb"\x1b\[[0-?]*[ -/]*[@-~]|\x1b\][^\x07\x1b]*(?:\x07|\x1b\\)|\x1b[@-_]")
WHITE = re.compile(r"\s+")


def seen(screen: bytes) -> str:
    """The terminal's text without escape sequences and white space."""
    return WHITE.sub("", ESCAPES.sub(b"", screen).decode("utf-8", errors="replace"))


def bare(text: str) -> str:
    return WHITE.sub("", text)


class Terminal(wc.VarnethTestCase):
    def assert_reads_in_order(self, screen: bytes, texts):
        shown = seen(screen)
        position = 0
        for text in texts:
            found = shown.find(bare(text), position)
            self.assertGreaterEqual(found, 0, f"{text!r} not read in order on:\n{shown}")
            position = found + len(bare(text))

    def test_the_dialogue_reads_in_chinese(self):
        result = wc.run_session(self.exe, [b"vntscr", b"n", b"vntscr", b"y"], on_screen=True)
        self.assertEqual(result.returncode, 0)
        turn = ["Varneth 1.0 By https://varneth.example.org", "请输入待取消或删除关联的扩展名:",
                "vntscr 关联已删除，是否退出 (Y/N)"]
        self.assert_reads_in_order(result.screen, turn + turn)
        self.assertNotIn("\ufffd", seen(result.screen))

    def test_the_command_line_reads_in_chinese(self):
        result = wc.run_session(self.exe, [], on_screen=True, args=["/n", "vntscrcli"])
        self.assertEqual(result.returncode, 0)
        self.assert_reads_in_order(result.screen, ["vntscrcli: 注册表中没有此扩展名的关联"])
        result = wc.run_session(self.exe, [], on_screen=True, args=["/?"])
        self.assertEqual(result.returncode, 0)
        self.assert_reads_in_order(result.screen, ["用法: varneth [选项] 扩展名", "显示本说明"])

    def test_the_refusal_of_an_old_system_reads_in_chinese(self):
        wc.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", "winxp", "/f", check=True)
        self.addCleanup(wc.reg, "delete", r"HKCU\Software\Wine", "/v", "Version", "/f")
        result = wc.run_session(self.exe, [b""], on_screen=True)
        self.assertEqual(result.returncode, 0)
        self.assert_reads_in_order(result.screen,
                                   ["NT 5.x 不需要使用本程序，本程序只支持 NT 6.x 及以上系统"])
        self.assertNotIn("Varneth", seen(result.screen))


if __name__ == "__main__":
    Terminal.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
