"""The 32-bit program as users run it: on 64-bit Windows, under WoW64. A
64-bit Wine prefix runs it there; the keys are seeded and read back by the
64-bit reg.exe, which sees what 64-bit Explorer sees, and the backup is
looked for where a 64-bit program looks. Hosts without 32-bit Wine (an archive
that cannot give it, a kernel without 32-bit support) skip these, naming why."""
import os
import re
import subprocess
import unittest
from pathlib import Path

import wine_console as wc
from test_cleanup import association, association_keys

WINE64 = Path("/usr/lib/wine/wine64")
PREFIX = wc.ROOT / "build" / "wine" / "wow64-prefix"


def no_wow64():
    """Why the WoW64 tests cannot run here, or None."""
    if not WINE64.exists():
        return "Wine's 64-bit loader is not installed"
    return wc.no_32_bit_wine()


def env64():
    return wc.wine_env(VARNETH_WINEPREFIX=str(PREFIX), WINEPREFIX=str(PREFIX),
                       WINEARCH="win64", WINEDLLOVERRIDES="mscoree,mshtml=")


def wine64(*args, **kwargs):
    return subprocess.run([str(wc.WINE_RUN), *args], env=env64(), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, **kwargs)


def reg64(*args):
    return wine64("reg", *args).returncode


@unittest.skipIf(no_wow64(), f"WoW64 untested: {no_wow64()}")
class UnderWow64(unittest.TestCase):
    exe: Path = None

    @classmethod
    def setUpClass(cls):
        subprocess.run(["rm", "-rf", str(PREFIX)], check=True)
        PREFIX.parent.mkdir(parents=True, exist_ok=True)
        wine64("wineboot", "-i", timeout=300)
        subprocess.run(["wineserver", "-w"], env=env64(), timeout=300)

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], env=env64(), stderr=subprocess.DEVNULL)

    def seed(self, ext, cls_name):
        text = "REGEDIT4\r\n\r\n" + association(ext, [cls_name]).replace("\n", "\r\n")
        seed = PREFIX / "drive_c" / "seed.reg"
        seed.write_bytes(text.encode("cp936"))
        self.assertEqual(reg64("import", r"C:\seed.reg"), 0)
        seed.unlink()
        keys = association_keys(ext, [cls_name])
        for key in keys:
            self.addCleanup(reg64, "delete", key, "/f")
        return keys

    def test_a_class_is_removed_and_restored_in_the_view_explorer_reads(self):
        keys = self.seed("vnwow", "VarnethWow.Doc")
        machine_class = next(k for k in keys if k.startswith("HKEY_LOCAL_MACHINE"))
        # An elevated console starts in System32: a relative backup folder
        # there must be where the report says, for a 64-bit program too.
        exe = wc.windows_path(self.exe)
        run = wine64("cmd", "/c", rf"cd /d C:\windows\system32 & {exe} /b vnbak vnwow", timeout=120)
        self.assertEqual(run.returncode, 0, run.stdout)
        for key in keys:
            self.assertNotEqual(reg64("query", key), 0, key)

        found = re.search(rb"\xb1\xb8\xb7\xdd\xce\xc4\xbc\xfe: (.+?\.reg)\r\n", run.stdout)
        self.assertIsNotNone(found, run.stdout)
        reported = found.group(1).decode("cp936")
        self.assertTrue(re.fullmatch(r"(?i)C:\\windows\\system32\\vnbak\\vnwow-[0-9-]+\.reg",
                                     reported), reported)
        # Where a 64-bit program (and so the user) finds that path.
        on_disk = PREFIX / "drive_c" / "windows" / "system32" / "vnbak" / Path(
            reported.replace("\\", "/")).name
        self.assertTrue(on_disk.exists(), on_disk)
        self.addCleanup(subprocess.run, ["rm", "-rf", str(on_disk.parent)])

        self.assertEqual(reg64("import", reported), 0)
        self.assertEqual(reg64("query", machine_class), 0)


if __name__ == "__main__":
    UnderWow64.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
