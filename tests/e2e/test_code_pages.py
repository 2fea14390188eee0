"""The same inputs under ANSI code pages 936, 65001 and 1252: refusals judged
on the characters, a typed line cut by its bytes in that code page, reports
in code page 936 whatever it is."""
import tempfile
import unittest
from pathlib import Path

import wine_console as wc
from report_lines import dry_run_summary, lines, place
from test_cleanup import USER_CLASSES as CLASSES, association, association_keys
from test_dialogue import QUESTION, TURN

# 中 ends in AD in UTF-8, é is E9 in 1252: code page 936's rules would read
# either and the backslash after it as one character.
BACKSLASHED = ["vnt中\\x", "vnté\\x"]
KEYS = [f"{CLASSES}\\.{name}" for name in ("vnt中", "vnt中\\x", "vnté", "vnté\\x", "vnt한")]
# é takes 2 bytes in 936 and UTF-8, 1 in 1252; € 1, 3 and 1. Wine decodes the
# terminal's UTF-8 as it reads it, so they come first, within one read.
CUT_LINE = "é€" * 50 + "a" * 2000
# Locale; the command line's refusal of "vnt中\x"; how many a's of CUT_LINE
# its 2,048 bytes take; what the command line cleans besides vnté.
CODE_PAGES = (("zh_CN.UTF-8", "不能处理的扩展名: vnt中\\x", 1898, []),
              ("hi_IN.UTF-8", "不能处理的扩展名: vnt中\\x", 1798, ["vnt한"]),
              ("en_US.UTF-8", "第 1 个参数中的扩展名含有系统代码页无法表示的字符", 1948, []))


def seed(text=""):
    wc.import_reg5("".join(f"[-{key}]\n\n" for key in KEYS[::-1]) + text)


def keys_left():
    dump = wc.export_key(CLASSES)
    return [key for key in KEYS if f"[{key}]\r\n" in dump]


class CodePages(wc.VarnethTestCase):
    def test_the_same_inputs_under_each_ansi_code_page(self):
        self.addCleanup(seed)
        for locale, refusal, a_taken, held in CODE_PAGES:
            with self.subTest(locale=locale), tempfile.TemporaryDirectory() as tmp:
                seed("".join(f'[{key}]\n@="x"\n\n' for key in KEYS))
                env = wc.wine_env(VARNETH_LANG=locale)
                typed = [text.encode() for text in BACKSLASHED + [CUT_LINE, "y"]]
                result = wc.run_session(self.exe, typed, env=env)
                # Python's cp936 lacks €, which Windows' holds as 80.
                taken = ("é".encode("cp936") + b"\x80") * 50 + b"a" * a_taken
                self.assert_bytes(result.stdout, TURN * 3 + b"\r\r\n" + taken + QUESTION)
                result = wc.run_command_line(self.exe, BACKSLASHED[:1], env=env)
                self.assert_bytes(result.stderr, lines(refusal, "用 varneth /? 查看用法。"))
                self.assertEqual((result.returncode, keys_left()), (2, KEYS))

                args = ["/b", wc.windows_path(tmp), "vnté", *held]
                result = wc.run_command_line(self.exe, args, env=env)
                files = sorted(Path(tmp).glob("*.reg"))
                self.assertEqual([f.name.split("-")[0] for f in files], ["vnté", *held])
                report = []
                for ext, file, keys in zip(["vnté", *held], files, (2, 1)):
                    report += [f"备份文件: {wc.windows_path(file)}",
                               place("已删除", f"{CLASSES}\\.{ext}", keys, keys),
                               f"{ext}: 已删除 1 项"]
                # Code page 936 holds no 한.
                expected = lines(*(line.replace("한", "\\uD55C") for line in report))
                self.assert_bytes(result.stdout.lower(), expected.lower())
                self.assertEqual((result.returncode, keys_left()),
                                 (0, KEYS[:2] + ([] if held else KEYS[4:])))

    def test_an_ideographic_space_is_removed_under_each_ansi_code_page(self):
        # U+3000 goes as a space goes; what is left is ASCII, which every
        # code page holds.
        key = f"{CLASSES}\\.vntsp"
        for locale, *_ in CODE_PAGES:
            with self.subTest(locale=locale), tempfile.TemporaryDirectory() as tmp:
                self.seed_keys([key], f'[{key}]\n@="x"\n\n', unicode=True)
                result = wc.run_command_line(self.exe, ["/b", wc.windows_path(tmp), "vnt\u3000sp"],
                                             env=wc.wine_env(VARNETH_LANG=locale))
                self.assertEqual((result.returncode, wc.key_exists(key)), (0, False),
                                 result.stderr.decode("cp936", "replace"))


    def test_names_with_a_trail_byte_0x5c_go_whole_under_each_double_byte_code_page(self):
        # 淺 is 9C 5C in 936, 表 95 5C and ソ 83 5C in 932, 許 B3 5C in 950:
        # an extension that is the character alone, a class with it inside.
        for locale, ext, cls in (("zh_CN.UTF-8", "淺", "a淺b"), ("ja_JP.UTF-8", "表", "aソ表"),
                                 ("zh_TW.UTF-8", "許", "a許b")):
            with self.subTest(locale=locale), tempfile.TemporaryDirectory() as tmp:
                env = wc.wine_env(VARNETH_LANG=locale)
                keys = self.seed_keys(association_keys(ext, [cls]), association(ext, [cls]),
                                      unicode=True)
                listing = wc.run_command_line(self.exe, ["/n", ext], env=env)
                self.assertEqual(listing.returncode, 0, listing.stdout)
                self.assertNotIn("将保留".encode("cp936"), listing.stdout)
                self.assertTrue(listing.stdout.endswith(lines(dry_run_summary(ext, 5))),
                                listing.stdout)
                result = wc.run_command_line(self.exe, ["/b", wc.windows_path(tmp), ext], env=env)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assertTrue(result.stdout.endswith(lines(f"{ext}: 已删除 5 项")), result.stdout)
                self.assert_gone(keys)


if __name__ == "__main__":
    CodePages.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
