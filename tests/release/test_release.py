"""The release zip as a Windows user downloads it: what it holds, that its
sums hold, that the program carries no debug information and no build
folder, that building the same sources in another folder gives the same
bytes, and that the program runs from it."""
import argparse
import hashlib
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
from wine_console import no_32_bit_wine  # noqa: E402
ZIP: Path = None


def pe_sections(program: bytes):
    """The section names of a PE image, from its own headers."""
    header = struct.unpack_from("<I", program, 0x3C)[0]
    assert program[header:header + 4] == b"PE\0\0"
    machine, count = struct.unpack_from("<HH", program, header + 4)
    optional_size = struct.unpack_from("<H", program, header + 20)[0]
    table = header + 24 + optional_size
    names = [program[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode()
             for i in range(count)]
    return machine, names


def link_time(program: bytes) -> int:
    header = struct.unpack_from("<I", program, 0x3C)[0]
    return struct.unpack_from("<I", program, header + 8)[0]



class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.unpacked = Path(cls.tmp.name) / "unpacked"
        with zipfile.ZipFile(ZIP) as archive:
            cls.entries = archive.infolist()
            archive.extractall(cls.unpacked)
        cls.program = (cls.unpacked / "varneth.exe").read_bytes()

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_the_zip_holds_the_program_its_readme_and_their_sums_in_a_fixed_form(self):
        self.assertEqual([e.filename for e in self.entries], ["varneth.exe", "README.txt", "SHA256SUMS"])
        for e in self.entries:
            self.assertEqual(e.date_time, (1980, 1, 1, 0, 0, 0), e.filename)
        sums = (self.unpacked / "SHA256SUMS").read_text("ascii").splitlines()
        self.assertEqual(len(sums), 2)
        for line in sums:
            digest, name = line.split("  ")
            self.assertEqual(hashlib.sha256((self.unpacked / name).read_bytes()).hexdigest(),
                             digest, name)

    def test_the_readme_is_what_notepad_reads(self):
        text = (self.unpacked / "README.txt").read_bytes()
        self.assertTrue(text.startswith(b"\xef\xbb\xbf"))
        self.assertEqual(text.count(b"\n"), text.count(b"\r\n"))
        decoded = text.decode("utf-8")
        self.assertIn("备份与还原", decoded)
        self.assertIn("reg import", decoded)
        self.assertNotIn("@VERSION@", decoded)

    def test_the_program_is_stripped_and_names_no_build_folder(self):
        machine, sections = pe_sections(self.program)
        self.assertEqual(machine, 0x14C)  # a 32-bit x86 program
        self.assertEqual([s for s in sections if s.startswith((".debug", "/"))], [], sections)
        self.assertIn(".rsrc", sections)
        self.assertEqual(link_time(self.program), 0)
        # The checkout's sources and build folder, by their full paths: the
        # checkout's own name alone ("/src") may stand in any runtime path.
        for folder in ("src", "build"):
            self.assertNotIn(str(ROOT / folder).encode(), self.program)
        self.assertLess(len(self.program), 960 * 1024)

    def test_the_same_sources_built_in_another_folder_give_the_same_zip(self):
        # Every file the checkout holds, committed or not, in a folder of
        # another name and depth; built from scratch there.
        files = subprocess.run(["git", "ls-files", "-z", "--cached", "--others",
                                "--exclude-standard"], cwd=ROOT, check=True,
                               stdout=subprocess.PIPE).stdout.split(b"\0")
        other = Path(self.tmp.name) / "another" / "checkout"
        for name in filter(None, files):
            source = ROOT / name.decode()
            if source.is_file():
                target = other / name.decode()
                target.parent.mkdir(parents=True, exist_ok=True)
                shutil.copy2(source, target)
        subprocess.run(["bash", str(other / "scripts" / "release.sh")], check=True, cwd=other,
                       stdout=subprocess.DEVNULL)
        again = other / "dist" / ZIP.name
        self.assertEqual((other / "build" / "release" / "varneth.exe").read_bytes(), self.program)
        self.assertEqual(again.read_bytes(), ZIP.read_bytes())

    @unittest.skipIf(no_32_bit_wine(), f"the program from the zip is not run: {no_32_bit_wine()}")
    def test_the_program_runs_from_the_zip(self):
        env = dict(os.environ)
        prefix = Path(self.tmp.name) / "prefix"
        env.update(VARNETH_WINEPREFIX=str(prefix), WINEARCH="win32",
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        try:
            result = subprocess.run([str(ROOT / "scripts" / "wine-run"),
                                     str(self.unpacked / "varneth.exe"), "/?"],
                                    env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, timeout=300)
        finally:
            subprocess.run(["wineserver", "-k"], env={**env, "WINEPREFIX": str(prefix)},
                           stderr=subprocess.DEVNULL)
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.startswith("用法: varneth".encode("cp936")), result.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("zip", type=Path)
    args, rest = parser.parse_known_args()
    ZIP = args.zip.resolve()
    sys.argv[1:] = rest
    unittest.main(verbosity=2)
