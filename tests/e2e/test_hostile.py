"""Hostile input on a real Wine console: every case ends in the dialogue's
ordinary behaviour, never a crash or a hang, with exit code 0, and deletes
nothing outside the typed extension's own keys."""
import unittest

import wine_console as wc
from test_cleanup import MACHINE_CLASSES, USER_CLASSES
from test_dialogue import QUESTION, TURN

CANARIES = [f"{MACHINE_CLASSES}\\VarnethHostileCanary\\shell",
            f"{USER_CLASSES}\\VarnethHostileCanary\\shell",
            r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts"
            r"\.vnthostile\OpenWithProgids"]


class Hostile(wc.VarnethTestCase):
    def setUp(self):
        wc.import_reg("".join(f'[{key}]\n@="kept"\n\n' for key in CANARIES))
        for key in CANARIES:
            self.addCleanup(wc.delete_key, key)

    def assert_survived(self, result, turns):
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.startswith(TURN), result.stdout[:200])
        self.assertTrue(result.stdout.endswith(QUESTION), result.stdout[-200:])
        self.assertEqual(result.stdout.count(QUESTION), turns)
        for key in CANARIES:
            self.assertTrue(wc.key_exists(key), key)

    def test_a_line_of_5000_bytes(self):
        result = wc.run_session(self.exe, [b"v" * 5000, b"y"], timeout=60)
        self.assertEqual(result.returncode, 0)
        # Each read takes at most 2048 bytes: the extension, then 2048 more as
        # the answer (not "y"), then the last 904 as the next extension.
        self.assert_bytes(result.stdout, TURN + b"\r\r\n" + b"v" * 2048 + QUESTION +
                          TURN + b"\r\r\n" + b"v" * 904 + QUESTION)

    def test_control_characters_and_undecodable_bytes(self):
        typed = [b"a\x00b", b"n", b"\x81", b"n", b"\xff\xfe", b"n", b"\x1b[A\x07", b"n",
                 b"\x01\x02", b"y"]
        self.assert_survived(wc.run_session(self.exe, typed), 5)

    def test_backslashes_in_the_extension(self):
        result = wc.run_session(self.exe, [b"\\", b"n", b"a\\b", b"n", b"\\\\", b"y"])
        self.assert_survived(result, 3)
        self.assertIn(b"\r\r\na\\b" + QUESTION, result.stdout)


if __name__ == "__main__":
    Hostile.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
