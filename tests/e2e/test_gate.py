"""The version gate on a real Wine console: the prefix's Windows version is
set per test (HKCU\\Software\\Wine, Version) and restored afterwards."""
import unittest

import wine_console as wc
from test_dialogue import QUESTION, TURN

REFUSAL = "\r\r\n NT 5.x 不需要使用本程序，本程序只支持 NT 6.x 及以上系统".encode("cp936")


class Gate(wc.VarnethTestCase):
    def set_version(self, version):
        wc.reg("add", r"HKCU\Software\Wine", "/v", "Version", "/d", version, "/f", check=True)
        self.addCleanup(wc.reg, "delete", r"HKCU\Software\Wine", "/v", "Version", "/f")

    def test_nt5_is_refused_after_one_line(self):
        self.set_version("winxp")
        result = wc.run_session(self.exe, [b"vnte"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, REFUSAL)
        # The refusal ends the program even when no line can be read.
        result = wc.run_with_stdin(self.exe, wc.subprocess.DEVNULL)
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, REFUSAL)

    def test_nt6_and_later_pass_silently(self):
        for version in ("vista", "win7", "win10"):
            with self.subTest(version=version):
                self.set_version(version)
                result = wc.run_session(self.exe, [b"vntf", b"y"])
                self.assertEqual(result.returncode, 0)
                self.assert_bytes(result.stdout, TURN + b"\r\r\nvntf" + QUESTION)


if __name__ == "__main__":
    Gate.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
