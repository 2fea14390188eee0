"""The backup's path in the report is where the file is. A 32-bit program on
64-bit Windows has its file calls for C:\\Windows\\System32 sent to SysWOW64;
run from there with a relative /b folder, Varneth must still write the file
the report names. Wine's 64-bit prefix runs the 32-bit program under WOW64
with the same redirection; a prefix of that kind is made for this test, and
the test is skipped where the host has no 64-bit Wine."""
import os
import subprocess
import tempfile
import unittest
from pathlib import Path

import wine_console as wc

WINE64 = Path("/usr/lib/wine/wine64")


@unittest.skipUnless(WINE64.exists(), "no 64-bit Wine on this host")
class BackupPath(wc.VarnethTestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        self.prefix = Path(self.tmp.name) / "prefix64"
        self.env = wc.wine_env(VARNETH_WINEPREFIX=str(self.prefix), WINEPREFIX=str(self.prefix),
                               WINEARCH="win64")
        # The prefix's server ends before its folder is removed.
        self.addCleanup(subprocess.run, ["wineserver", "-k"], env=self.env,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run([str(wc.WINE_RUN), "wineboot", "-i"], env=self.env, check=True,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300)
        if not (self.prefix / "drive_c" / "windows" / "syswow64").is_dir():
            self.skipTest("Wine made no WOW64 prefix here")

    def wine(self, *args):
        return subprocess.run([str(wc.WINE_RUN), *args], env=self.env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=120)

    def test_a_relative_folder_from_system32_is_reported_where_the_file_is(self):
        self.wine("reg", "add", r"HKCU\Software\Classes\.vntwow", "/ve", "/d", "x", "/f")
        run = self.wine("cmd", "/c",
                        f"cd /d C:\\windows\\system32 & {wc.windows_path(self.exe)} /b bak vntwow")
        self.assertEqual(run.returncode, 0, run.stdout)
        first = run.stdout.decode("cp936").splitlines()[0]
        lead = "备份文件: c:\\windows\\system32\\bak\\"
        self.assertTrue(first.lower().startswith(lead), first)
        name = first[len(lead):]
        windows = self.prefix / "drive_c" / "windows"
        self.assertTrue((windows / "system32" / "bak" / name).is_file())
        self.assertFalse((windows / "syswow64" / "bak").exists())


if __name__ == "__main__":
    BackupPath.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
