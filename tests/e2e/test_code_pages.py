"""The same inputs on systems of three ANSI code pages: what is refused is
judged on the characters, a typed line is cut by its bytes in the ANSI code
page, and every report is code page 936 bytes whatever that code page."""
import tempfile
import unittest
from pathlib import Path

import wine_console as wc
from report_lines import lines, place
from test_cleanup import USER_CLASSES
from test_dialogue import QUESTION, TURN

HINT = "用 varneth /? 查看用法。"
# "中" ends in AD in UTF-8 and "é" is E9 in code page 1252: code page 936's
# rules would read either with the backslash after it as one character.
BACKSLASHED = ("vnt中\\x", "vnté\\x")
KEYS = [f"{USER_CLASSES}\\.vnt中", f"{USER_CLASSES}\\.vnt中\\x", f"{USER_CLASSES}\\.vnté",
        f"{USER_CLASSES}\\.vnté\\x", f"{USER_CLASSES}\\.vnt한"]
# é takes 2 bytes in 936 and UTF-8, 1 in 1252; € takes 1, 3 and 1. The
# console reads 2,048 characters of the line. (Wine decodes the terminal's
# UTF-8 as it reads it: a character split between two reads would arrive
# broken, so the line's first bytes hold them all.)
CUT_LINE = "é€" * 50 + "a" * 2000
UNHELD = "第 1 个参数中的扩展名含有系统代码页无法表示的字符"

# Locale; how the command line refuses "vnt中\x"; what is taken of CUT_LINE;
# what the command line cleans besides vnté.
CODE_PAGES = (
    ("zh_CN.UTF-8", "不能处理的扩展名: vnt中\\x", "é€" * 50 + "a" * 1898, ()),  # 936
    ("hi_IN.UTF-8", "不能处理的扩展名: vnt中\\x", "é€" * 50 + "a" * 1798, ("vnt한",)),  # 65001
    ("en_US.UTF-8", UNHELD, "é€" * 50 + "a" * 1948, ()),  # 1252: no 中, no 한
)


def cp936(text: str) -> bytes:
    """Python's cp936 lacks the euro sign, which Windows' holds as 80."""
    return b"\x80".join(part.encode("cp936") for part in text.split("€"))


def seed(text=""):
    """Removes the keys, then adds those of `text`, in one import."""
    wc.import_reg5("".join(f"[-{key}]\n\n" for key in KEYS[::-1]) + text)


def keys_left():
    dump = wc.export_key(USER_CLASSES)
    return [key for key in KEYS if f"[{key}]\r\n" in dump]


class CodePages(wc.VarnethTestCase):
    def test_the_same_inputs_under_each_ansi_code_page(self):
        self.addCleanup(seed)
        for locale, refusal, taken, held in CODE_PAGES:
            with self.subTest(locale=locale), tempfile.TemporaryDirectory() as tmp:
                seed("".join(f'[{key}]\n@="x"\n\n' for key in KEYS))
                env = wc.wine_env(VARNETH_LANG=locale)
                typed = [text.encode() for text in (*BACKSLASHED, CUT_LINE, "y")]
                result = wc.run_session(self.exe, typed, env=env)
                self.assertEqual(result.returncode, 0)
                self.assert_bytes(result.stdout, TURN * 3 + b"\r\r\n" + cp936(taken) +
                                  QUESTION)
                result = wc.run_command_line(self.exe, [BACKSLASHED[0]], env=env)
                self.assertEqual(result.returncode, 2)
                self.assert_bytes(result.stderr, lines(refusal, HINT))
                self.assertEqual(keys_left(), KEYS)

                folder = Path(tmp)
                result = wc.run_command_line(
                    self.exe, ["/b", wc.windows_path(folder), "vnté", *held], env=env)
                self.assertEqual(result.returncode, 0)
                files = sorted(folder.glob("*.reg"))
                report = []
                for ext, file, keys in zip(("vnté", *held), files, (2, 1)):
                    report += [f"备份文件: {wc.windows_path(file)}",
                               place("已删除", f"{USER_CLASSES}\\.{ext}", keys, keys),
                               f"{ext}: 已删除 1 项"]
                # Code page 936 holds no 한.
                expected = lines(*(line.replace("한", "\\uD55C") for line in report))
                self.assert_bytes(result.stdout.lower(), expected.lower())
                # The files are named by the characters typed.
                self.assertEqual([f.name.split("-")[0] for f in files], ["vnté", *held])
                self.assertEqual(keys_left(), KEYS[:2] + ([] if held else KEYS[4:]))


if __name__ == "__main__":
    CodePages.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
