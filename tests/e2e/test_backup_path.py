"""The backup's path in the report is where the file is. A 64-bit Wine prefix
runs the 32-bit program under WOW64, which sends file calls for System32 to
SysWOW64 as Windows does; skipped where the host has no 64-bit Wine."""
import subprocess
import tempfile
import unittest
from pathlib import Path

import wine_console as wc


@unittest.skipUnless(Path("/usr/lib/wine/wine64").exists(), "no 64-bit Wine on this host")
class BackupPath(wc.VarnethTestCase):
    def test_a_relative_folder_from_system32_is_reported_where_the_file_is(self):
        with tempfile.TemporaryDirectory() as tmp:
            env = wc.wine_env(VARNETH_WINEPREFIX=tmp, WINEPREFIX=tmp, WINEARCH="win64")
            wine = lambda *args: subprocess.run(  # noqa: E731
                [str(wc.WINE_RUN), *args], env=env, stdin=subprocess.DEVNULL,
                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=300)
            wine("reg", "add", r"HKCU\Software\Classes\.vntwow", "/ve", "/d", "x", "/f")
            run = wine("cmd", "/c", f"cd /d C:\\windows\\system32 & "
                                    f"{wc.windows_path(self.exe)} /b bak vntwow")
            subprocess.run(["wineserver", "-k"], env=env)
            self.assertEqual(run.returncode, 0, run.stdout)
            first = run.stdout.decode("cp936").splitlines()[0].lower()
            lead = "备份文件: c:\\windows\\system32\\bak\\"
            self.assertTrue(first.startswith(lead), first)
            self.assertTrue((Path(tmp) / "drive_c/windows/system32/bak" / first[len(lead):])
                            .is_file())


if __name__ == "__main__":
    BackupPath.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
