"""Input that must reach no key outside the extension it names: backslashes,
arguments the ANSI code page cannot hold, lines longer than the console
buffer, an empty backup folder. Typed in the dialogue and given on the
command line."""
import unittest

import wine_console as wc
from report_lines import lines
from test_cleanup import USER_CLASSES, association, association_keys
from test_dialogue import QUESTION, TURN

CP = "cp936"
HINT = "用 varneth /? 查看用法。"
XYZ_SUB = f"{USER_CLASSES}\\.vntxyz\\sub"


class InputSafety(wc.VarnethTestCase):
    def seed_exe_and_xyz(self):
        """A whole .exe association and a key .vntxyz\\sub; their dump."""
        keys = association_keys("exe", ["VarnethExe.Class"]) + [f"{USER_CLASSES}\\.vntxyz"]
        self.seed_keys(keys, association("exe", ["VarnethExe.Class"]) +
                       f'[{XYZ_SUB}]\n@="kept"\n\n')
        return keys, wc.export_keys(keys)

    def assert_unchanged(self, keys, before):
        self.assertEqual(wc.export_keys(keys), before)
        self.assertTrue(wc.key_exists(f"{keys[0]}\\UserChoice"))

    def test_a_backslash_is_refused_in_the_dialogue(self):
        keys, before = self.seed_exe_and_xyz()
        typed = [b"exe\\", b"EXE\\", b"bat\\\\", b"vntxyz\\sub", b"cmd\\\\\\"]
        # U+6DFA's second byte is 0x5C: a character, no backslash.
        result = wc.run_session(self.exe, typed + ["淺".encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout,
                          TURN * (len(typed) + 1) + b"\r\r\n" + "淺".encode(CP) + QUESTION)
        self.assert_unchanged(keys, before)

    def test_a_backslash_is_refused_on_the_command_line(self):
        keys, before = self.seed_exe_and_xyz()
        for arg in ("exe\\", "EXE\\", "bat\\\\", "vntxyz\\sub", "txt\\UserChoice"):
            with self.subTest(arg=arg):
                result = wc.run_command_line(self.exe, ["vntsafe", arg])
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, b"")
                self.assert_bytes(result.stderr, lines(f"不能处理的扩展名: {arg}", HINT))
        self.assert_unchanged(keys, before)
        result = wc.run_command_line(self.exe, ["-n", "淺"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, lines("淺: 注册表中没有此扩展名的关联"))

    def test_an_argument_the_code_page_cannot_hold_is_a_usage_error(self):
        # The ANSI arguments would read each of these as ".?".
        decoy = f"{USER_CLASSES}\\.?"
        self.seed_keys([decoy], f'[{decoy}]\n@="decoy"\n\n')
        # The first error is named, with the kind of argument it stood as.
        for args, message in ((["한", "/b", "C:\\한"],
                               "第 1 个参数中的扩展名含有系统代码页无法表示的字符"),
                              (["-n", "vntsafe", "\U0001F600"],
                               "第 3 个参数中的扩展名含有系统代码页无法表示的字符"),
                              (["/b", "C:\\한", "vntsafe"], "第 2 个参数含有系统代码页无法表示的字符")):
            with self.subTest(args=args):
                result = wc.run_command_line(self.exe, args)
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.stdout, b"")
                self.assert_bytes(result.stderr, lines(message, HINT))
        self.assertTrue(wc.value_exists(decoy, ""))

    def test_an_empty_backup_folder_is_a_usage_error(self):
        for option in ("/b", "-b", "--backup-dir"):
            with self.subTest(option=option):
                result = wc.run_command_line(self.exe, ["vntsafe", option, ""])
                self.assertEqual(result.returncode, 2)
                self.assert_bytes(result.stderr, lines(f"选项 {option} 缺少目录", HINT))

    def test_the_rest_of_an_over_long_extension_line_is_dropped(self):
        y_key = f"{USER_CLASSES}\\.y"
        self.seed_keys([y_key], f'[{y_key}]\n@="kept"\n\n')
        # The "y" typed after the long line answers the one exit question.
        result = wc.run_session(self.exe, [b"w" * 2100, b"y"], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN + b"\r\r\n" + b"w" * 2048 + QUESTION)
        self.assertTrue(wc.value_exists(y_key, ""))

    def test_a_line_of_exactly_the_buffer_and_an_over_long_answer(self):
        # 2048 bytes leave only their CR LF behind; a 2100-byte answer is one
        # answer (not "y"), and the next line is the next extension.
        result = wc.run_session(self.exe, [b"u" * 2048, b"x" * 2100, b"vntsafe", b"y"],
                                timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN + b"\r\r\n" + b"u" * 2048 + QUESTION +
                          TURN + b"\r\r\nvntsafe" + QUESTION)


if __name__ == "__main__":
    InputSafety.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
