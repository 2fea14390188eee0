"""What the backup holds bounds what Varneth deletes: another program writing
keys and values while it runs, names the ANSI code page cannot hold, and a
class that stays. Afterwards everything that existed is either still in the
registry or in the backup, and the report names what stayed."""
import argparse
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import wine_console as wc
from reg_text import read_reg, read_reg_file
from report_lines import (CHANGED_DURING_RUN, CP, KEEPS_CLASS_NAMES, UNREACHABLE, lines, place,
                          stayed, stayed_pattern, would_stay)
from test_cleanup import (FILE_EXTS, MACHINE_CLASSES, RECENT, USER_CLASSES, association,
                          machine_tie,
                          association_keys)

WRITER: Path = None


def registry_state(keys):
    """(keys, values) that the given keys and everything below them hold now."""
    return read_reg("".join(wc.export_keys(keys).values()))


class BackupBound(wc.VarnethTestCase):
    def backups(self, folder):
        return sorted(Path(folder).glob("*.reg"))

    def run_with_writer(self, ext, roots, written_below, list_names, folder):
        """Runs Varneth on the command line while the writer writes; gives
        back its result and every key and value the writer wrote."""
        with tempfile.TemporaryDirectory() as tmp:
            log, stop = Path(tmp) / "writer.log", Path(tmp) / "stop"
            writer = subprocess.Popen(
                [str(wc.WINE_RUN), str(WRITER), wc.windows_path(log), wc.windows_path(stop),
                 f"HKCU\\{FILE_EXTS[len('HKEY_CURRENT_USER') + 1:]}\\.{ext}\\OpenWithProgids",
                 ",".join(list_names), *written_below],
                env=wc.wine_env(), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
            try:
                deadline = time.monotonic() + 60
                while (not log.exists() or log.read_text().count("\n") < 4) and \
                        time.monotonic() < deadline:
                    time.sleep(0.05)
                result = wc.run_command_line(self.exe, ["/b", wc.windows_path(folder), ext])
            finally:
                stop.write_text("stop")
                writer.wait(timeout=60)
            keys, values = set(), set()
            for line in log.read_text(encoding="utf-8").splitlines():
                kind, _, place = line.partition(" ")
                place = place.replace("HKCU\\", "HKEY_CURRENT_USER\\", 1)
                place = place.replace("HKLM\\", "HKEY_LOCAL_MACHINE\\", 1).upper()
                if kind == "key":
                    keys.add(place)
                else:
                    key, _, name = place.partition("|")
                    values.add((key, name))
        return result, keys, values

    def test_nothing_written_during_the_run_is_deleted_without_a_backup(self):
        ext = "vntrace"
        race_classes = [f"VarnethRace.New{i}" for i in range(12)]
        tree = "".join(f'[{USER_CLASSES}\\.{ext}\\seed{i}\\sub]\n"v"="{i}"\n\n' for i in range(60))
        tree += "".join(f'[{MACHINE_CLASSES}\\VarnethRace.Doc\\shell\\verb{i}]\n@="x"\n\n'
                        for i in range(60))
        tree += "".join(f'[{MACHINE_CLASSES}\\{name}]\n@="exists, not listed yet"\n\n'
                        for name in race_classes)
        roots = association_keys(ext, ["VarnethRace.Doc"]) + \
            [f"{MACHINE_CLASSES}\\{name}" for name in race_classes]
        written_below = [f"HKCU\\Software\\Classes\\.{ext}",
                         f"HKLM\\SOFTWARE\\Classes\\VarnethRace.Doc\\shell"]
        for attempt in range(3):
            with self.subTest(attempt=attempt), tempfile.TemporaryDirectory() as folder:
                self.seed_keys(roots, association(ext, ["VarnethRace.Doc"]) + tree)
                seeded_keys, seeded_values = registry_state(roots)
                result, written_keys, written_values = self.run_with_writer(
                    ext, roots, written_below, race_classes, folder)
                self.assertIn(result.returncode, (0, 1), result.stderr)
                backups = self.backups(folder)
                self.assertEqual(len(backups), 1)
                saved_keys, saved_values = read_reg_file(backups[0])
                now_keys, now_values = registry_state(roots)
                existed_keys = seeded_keys | written_keys
                existed_values = seeded_values | written_values
                self.assertGreater(len(written_keys), 0)
                self.assertEqual(existed_keys - now_keys - saved_keys, set())
                self.assertEqual(existed_values - now_values - saved_values, set())
                # What stayed of the targets is reported with why, and then so
                # is exit code 1.
                stayed = [key for key in (f"{FILE_EXTS}\\.{ext}", f"{USER_CLASSES}\\.{ext}",
                                          f"{MACHINE_CLASSES}\\VarnethRace.Doc")
                          if key.upper() in now_keys and key.upper() in saved_keys]
                for key in stayed:
                    # The user's list stays for the class the writer wrote into.
                    why = KEEPS_CLASS_NAMES if key.startswith(FILE_EXTS) else CHANGED_DURING_RUN
                    self.assertRegex(result.stdout, stayed_pattern(key, why))
                self.assertEqual(result.returncode, 1 if stayed else 0, result.stdout)

    def test_names_the_code_page_cannot_hold_are_saved_and_reported_never_substituted(self):
        ext = "vntkor"
        korean_class, korean_key = "한글파일", "한"
        list_key = f"{FILE_EXTS}\\.{ext}\\OpenWithProgids"
        decoys = [f"{MACHINE_CLASSES}\\????", f"{USER_CLASSES}\\.{ext}\\?"]
        text = (association(ext, ["VarnethKor.Doc"]) + machine_tie(ext, [korean_class]) +
                f'[{list_key}]\n"{korean_class}"=hex(0):\n\n'
                f'[{MACHINE_CLASSES}\\{korean_class}\\shell\\open]\n@="real class"\n\n'
                f'[{USER_CLASSES}\\.{ext}\\{korean_key}]\n"v\U0001F600"="real key"\n\n'
                f'[{decoys[0]}]\n@="decoy class"\n\n[{decoys[1]}]\n@="decoy key"\n\n')
        roots = association_keys(ext, ["VarnethKor.Doc"]) + \
            [f"{MACHINE_CLASSES}\\{korean_class}", decoys[0]]
        self.seed_keys(roots, text, unicode=True)
        before = wc.export_keys(roots + [decoys[1]])
        escaped_class = f"{MACHINE_CLASSES}\\\\uD55C\\uAE00\\uD30C\\uC77C"
        escaped_key = f"{USER_CLASSES}\\.{ext}"

        # The dry run names the places the run will leave, as it will.
        listing = wc.run_command_line(self.exe, ["/n", ext])
        self.assertEqual(listing.returncode, 1)
        self.assertIn(lines(would_stay(escaped_class, 3, 1, 0, 0), UNREACHABLE), listing.stdout)
        self.assertIn(lines(would_stay(escaped_key, 3, 2, 0, 2), UNREACHABLE), listing.stdout)

        with tempfile.TemporaryDirectory() as folder:
            result = wc.run_command_line(self.exe, ["/b", wc.windows_path(folder), ext])
            self.assertEqual(result.returncode, 1)
            backup = self.backups(folder)[0]
            self.assert_bytes(result.stdout, lines(
                f"备份文件: {wc.windows_path(backup)}",
                place("已删除", f"{MACHINE_CLASSES}\\VarnethKor.Doc", 5, 3),
                stayed(escaped_class, 3, 1, 0, 0), UNREACHABLE,
                stayed(f"{FILE_EXTS}\\.{ext}", 2, 1, 2, 5), UNREACHABLE, KEEPS_CLASS_NAMES,
                stayed(escaped_key, 3, 2, 0, 2), UNREACHABLE,
                place("已删除", f"{USER_CLASSES}\\{ext}_auto_file", 4, 1),
                place("已删除", f"{RECENT}\\.{ext}", 1, 2),
                f"{ext}: 已删除 3 项，3 项未能删除"))
            # The decoys, named like the substituted names, are untouched.
            for decoy in decoys:
                self.assertEqual(wc.export_key(decoy), before[decoy], decoy)
            self.assertTrue(wc.key_exists(f"{MACHINE_CLASSES}\\{korean_class}\\shell\\open"))
            saved_keys, _ = read_reg_file(backup)
            self.assertIn(f"{MACHINE_CLASSES}\\{korean_class}\\shell\\open".upper(), saved_keys)
            self.assertIn(f"{USER_CLASSES}\\.{ext}\\{korean_key}".upper(), saved_keys)
            # The backup restores everything that was deleted.
            wc.reg("import", wc.windows_path(backup), check=True)
        self.assertEqual(wc.export_keys(before), before)

    def test_a_class_that_stays_keeps_its_name_in_the_users_list(self):
        ext = "vntstay"
        list_key = f"{FILE_EXTS}\\.{ext}\\OpenWithProgids"
        stuck = f"{MACHINE_CLASSES}\\VarnethStay.Doc"
        other = f"{MACHINE_CLASSES}\\VarnethStay.Other"
        target = r"HKEY_CURRENT_USER\Software\VarnethStayLinkTarget"
        text = (association(ext, ["VarnethStay.Doc"]) + f'[{target}]\n@="t"\n\n'
                f'[{list_key}\\sub]\n"VarnethStay.Other"=hex(0):\n\n'
                f'[{other}\\shell]\n@="named in a subkey of the list: no class"\n\n')
        roots = association_keys(ext, ["VarnethStay.Doc"]) + [other, target]
        self.seed_keys(roots, text)
        # A registry link is never deleted: the class above it stays.
        wc.make_link(f"{stuck}\\link", target)
        self.addCleanup(wc.remove_link, f"{stuck}\\link")
        other_before = wc.export_key(other)

        result = wc.run_session(self.exe, [ext.encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        self.assertIn(f"{FILE_EXTS}\\.{ext} (剩余 2 个键, 1 个值; 已删除 3 个键, 5 个值)\r\r\n"
                      f"{KEEPS_CLASS_NAMES}\r\r\n".encode(CP),
                      result.stdout)
        self.assertTrue(wc.key_exists(stuck))
        self.assertTrue(wc.value_exists(list_key, "VarnethStay.Doc"))
        self.assertEqual(wc.export_key(other), other_before)

        # Once the class can go, a second run removes class and list.
        wc.remove_link(f"{stuck}\\link")
        result = wc.run_session(self.exe, [ext.encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        self.assertFalse(wc.key_exists(stuck))
        self.assertFalse(wc.key_exists(list_key))
        self.assertEqual(wc.export_key(other), other_before)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True, type=Path)
    parser.add_argument("--writer", required=True, type=Path)
    args, rest = parser.parse_known_args()
    BackupBound.exe, WRITER = args.exe, args.writer
    wc.LINK_TOOL = args.exe.parent / "varneth_test_link.exe"
    sys.argv[1:] = rest
    unittest.main(verbosity=2)
