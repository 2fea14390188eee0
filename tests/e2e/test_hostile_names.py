"""Hostile names from the user's own keys and command line: a class name
with a backslash must not reach a key the class checks keep whole, a control
character in an argument is refused as in the dialogue, and a dry run tells
of a backup folder that cannot be written."""
import tempfile
import unittest
from pathlib import Path

import wine_console as wc
from test_cleanup import FILE_EXTS, MACHINE_CLASSES, USER_CLASSES


class HostileNames(wc.VarnethTestCase):
    def run_args(self, *args):
        return wc.run_command_line(self.exe, list(args))

    def test_a_backslash_in_a_class_name_reaches_no_kept_class(self):
        # Keys a class check keeps whole (the prefix's exefile, keys below the
        # class store's CLSID and Wow6432Node, a class .vnhshared uses), each
        # reached through a name with a backslash in the user's list.
        guid = "{8F3C1A52-0D5E-4B7A-9C21-7E6D4B3A2F10}"
        kept = [f"{MACHINE_CLASSES}\\CLSID\\{guid}",
                f"{MACHINE_CLASSES}\\Wow6432Node\\VnhWow", f"{MACHINE_CLASSES}\\VnhShared",
                f"{MACHINE_CLASSES}\\.vnhshared"]
        names = ["exefile\\", f"CLSID\\{guid}", "Wow6432Node\\VnhWow", "VnhShared\\shell"]
        text = "".join(f'[{key}\\shell\\open\\command]\n@="victim.exe"\n\n' for key in kept[:-1])
        text += f'[{kept[-1]}]\n@="VnhShared"\n\n[{FILE_EXTS}\\.vnhbs\\OpenWithProgids]\n'
        text += "".join(f'"{name.replace(chr(92), chr(92) * 2)}"=hex(0):\n' for name in names)
        self.seed_keys(kept + [f"{FILE_EXTS}\\.vnhbs"], text + "\n")
        before = wc.export_keys(kept + [f"{MACHINE_CLASSES}\\exefile"])
        with tempfile.TemporaryDirectory() as folder:
            result = self.run_args("/b", wc.windows_path(folder), "vnhbs")
            after = wc.export_keys(before)
            # Put back whatever went, so later tests find the prefix whole.
            for backup in Path(folder).glob("*.reg"):
                wc.reg("import", wc.windows_path(backup))
        self.assertEqual(result.returncode, 0, result.stdout.decode("cp936"))
        for key, text in before.items():
            self.assertEqual(after[key], text, key)

    def test_a_control_character_in_an_argument_is_a_usage_error(self):
        key = f"{USER_CLASSES}\\.vnhc\tx"
        self.seed_keys([key], f'[{key}]\n@="named with a tab"\n\n', unicode=True)
        self.addCleanup(lambda: [p.unlink() for p in wc.backup_folder().glob("vnhc*")])
        for argument in ["vnhc\tx", "vnhc\r\nforged: line"]:
            with self.subTest(argument=repr(argument)):
                result = self.run_args(argument)
                self.assertEqual(result.returncode, 2, result.stdout)
                self.assertNotIn(b"\r\nforged", result.stdout)
        self.assertTrue(wc.key_exists(key))

    def test_a_dry_run_tells_that_the_backup_folder_is_a_file(self):
        key = f"{USER_CLASSES}\\.vnhdry"
        self.seed_keys([key], f'[{key}]\n@="x"\n\n')
        with tempfile.NamedTemporaryFile() as file:
            folder = wc.windows_path(file.name)
            dry = self.run_args("/n", "/b", folder, "vnhdry")
            real = self.run_args("/b", folder, "vnhdry")
        self.assertEqual(real.returncode, 1)
        self.assertIn("备份文件将无法写入".encode("cp936"), dry.stdout)


if __name__ == "__main__":
    HostileNames.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
