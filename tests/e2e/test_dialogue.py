"""The dialogue on a real Wine console: exact bytes on standard output and
the exit code. Standard output is a file in text mode, so each LF the
program writes arrives as CR LF (its own CR LF as CR CR LF)."""
import subprocess
import unittest

import wine_console as wc

TURN = (b"Varneth 1.0 By https://varneth.example.org\r\r\n\r\r\n"
        + "请输入待取消或删除关联的扩展名: ".encode("cp936"))
QUESTION = " 关联已删除，是否退出 (Y/N)".encode("cp936")
EXIT_ASK = "，是否退出 (Y/N)".encode("cp936")
STAYED = "下列注册表项未能删除：".encode("cp936")
PARTLY = " 关联仅部分删除".encode("cp936")
NOT_REMOVED = " 关联未删除".encode("cp936")


def confirmation(extension: bytes) -> bytes:
    return b"\r\r\n" + extension + QUESTION


def partly_removed(extension: bytes, stayed) -> bytes:
    """The report of keys that stayed (full paths, str) and the confirmation
    that follows it, as a redirected standard output receives them."""
    lines = b"".join(key.encode("cp936") + b"\r\r\n" for key in stayed)
    return b"\r\r\n" + STAYED + b"\r\r\n" + lines + b"\r\r\n" + extension + PARTLY + EXIT_ASK


class Dialogue(wc.VarnethTestCase):
    def test_typical_session(self):
        # An extension with a leading dot and a space, a "no", a refused
        # name, an extension with percent signs, then "Y".
        result = wc.run_session(self.exe, [b" .vnta", b"n", b"e x e", b"%s%d", b"Y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout,
                          TURN + confirmation(b"vnta") + TURN + TURN + confirmation(b"%s%d"))

    def test_full_width_spaces_and_dots_are_removed(self):
        result = wc.run_session(self.exe, ["\u3000vnt\u3000b ".encode(), b"n", b"tar.gz", b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout,
                          TURN + confirmation(b"vntb") + TURN + confirmation(b"targz"))

    def test_refusals_write_nothing_but_the_next_turn(self):
        refused = [b"exe", b"bat", b"cmd", b".EXE", b"e.x.e", b"Bat", b".", b"...", b"",
                   b"   ", "\u3000".encode(), b". . ."]
        result = wc.run_session(self.exe, refused + [b"vntc", b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN * (len(refused) + 1) + confirmation(b"vntc"))

    def test_only_y_ends_the_dialogue(self):
        answers = [b"yes", b"n", b" y", b"", "\uff39".encode(), b"yy"]
        typed = []
        for answer in answers:
            typed += [b"vntd", answer]
        result = wc.run_session(self.exe, typed + [b"vntd", b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, (TURN + confirmation(b"vntd")) * (len(answers) + 1))

    def test_unreadable_input_ends_at_once_with_exit_code_0(self):
        for stdin in (subprocess.DEVNULL, subprocess.PIPE):
            result = wc.run_with_stdin(self.exe, stdin)
            self.assertEqual(result.returncode, 0)
            self.assert_bytes(result.stdout, TURN)


if __name__ == "__main__":
    Dialogue.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
