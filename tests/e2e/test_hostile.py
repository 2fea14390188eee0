"""Hostile input on a real Wine console: every case ends in the dialogue's
ordinary behaviour, never a crash or a hang, with exit code 0, and deletes
nothing outside the typed extension's own keys."""
import unittest

import wine_console as wc
from test_cleanup import (FILE_EXTS, MACHINE_CLASSES, USER_CLASSES, association, association_keys,
                          machine_tie)
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

    def assert_survived(self, result, turns, ending=QUESTION):
        self.assertEqual(result.returncode, 0)
        self.assertTrue(result.stdout.startswith(TURN), result.stdout[:200])
        self.assertTrue(result.stdout.endswith(ending), result.stdout[-200:])
        self.assertEqual(result.stdout.count(ending), turns)
        for key in CANARIES:
            self.assertTrue(wc.key_exists(key), key)

    def test_a_line_of_5000_bytes(self):
        result = wc.run_session(self.exe, [b"v" * 5000, b"y"], timeout=60)
        self.assertEqual(result.returncode, 0)
        # A read takes at most 2048 bytes; the rest of the line is dropped, so
        # the "y" typed next is the answer.
        self.assert_bytes(result.stdout, TURN + b"\r\r\n" + b"v" * 2048 + QUESTION)

    def test_control_characters_and_undecodable_bytes(self):
        # Wine's console leaves the NUL out, so "ab" is cleaned and "n" answers.
        # The rest hold control characters, or bytes the terminal cannot
        # decode (which arrive as U+FFFD, outside code page 936): each is
        # refused without a word, so the next line is the next extension.
        typed = [b"a\x00b", b"n", b"\x81", b"\xff\xfe", b"\x1b[A\x07", b"\x01\x02", b"vnth", b"y"]
        self.assert_survived(wc.run_session(self.exe, typed), 2)

    def test_backslashes_in_the_extension(self):
        # No extension holds a backslash: every such input is refused.
        result = wc.run_session(self.exe, [b"\\", b"\\\\", b".\\.", b"a\\b", b"vnth", b"y"])
        self.assert_survived(result, 1)
        self.assert_bytes(result.stdout, TURN * 5 + b"\r\r\nvnth" + QUESTION)

    def test_registry_content_at_the_walkers_limits(self):
        long_class = "VarnethLong" + "c" * 243                       # 254 characters
        # The names are listed in creation order on Windows and in letter order
        # under Wine; in both, the 255-character name comes after the class
        # names and before "~VarnethAfterTooLong", which it hides.
        too_long = "z" * 255                                         # ends the list
        progids = f"{FILE_EXTS}\\.vnthreg\\OpenWithProgids"
        auto = f"{USER_CLASSES}\\vnthreg_auto_file"
        data_255 = ",".join(["61"] * 254 + ["00"])                    # 255 bytes
        data_256 = ",".join(["62"] * 255 + ["00"])                    # 256 bytes
        text = association("vnthreg", ["VarnethHostile\\Nested"])
        text += machine_tie("vnthreg", [long_class, "~VarnethAfterTooLong"])
        text += f"""[{progids}]
"\\\\VarnethLead"=hex(0):
"\\\\\\\\"=hex(0):
"{long_class}"=hex(0):
"{too_long}"=hex(0):
"~VarnethAfterTooLong"=hex(0):

[{MACHINE_CLASSES}\\VarnethHostile]
@="the nested class's parent"

[{MACHINE_CLASSES}\\VarnethLead\\shell]
@="kept"

[{MACHINE_CLASSES}\\{long_class}\\shell\\open]
@="x"

[{MACHINE_CLASSES}\\~VarnethAfterTooLong\\shell]
@="kept: listed after a name that ends the list"

[{USER_CLASSES}\\.vnthreg]
"fits"=hex:{data_255}
"toolong"=hex:{data_256}

[{auto}\\shell\\open\\command]
"fits"=hex:{data_255}
"toolong"=hex:{data_256}

[{auto}\\{"k" * 254}]
"v"="254-character key name"

"""
        machine = [f"{MACHINE_CLASSES}\\{name}" for name in
                   ("VarnethHostile", "VarnethLead", long_class, "~VarnethAfterTooLong")]
        self.seed_keys(association_keys("vnthreg", []) + machine, text)
        self.assertTrue(wc.key_exists(f"{auto}\\{'k' * 254}"))

        result = wc.run_session(self.exe, [b"vnthreg", b"y"])
        # Names and data of any length the registry holds are read, and keys
        # of any path length are opened relative to their parents: all of the
        # extension's own keys go, the 254-character names and the class
        # listed after a 255-character name among them.
        self.assert_survived(result, 1)
        nested = f"{MACHINE_CLASSES}\\VarnethHostile\\Nested"
        kept = ("\r\r\n下列类不只属于此扩展名，已保留：\r\r\n" + nested +
                "\r\r\n  类名含有反斜杠，指向的是别处的项，不是类\r\r\n").encode("cp936")
        self.assert_bytes(result.stdout, TURN + kept + b"\r\r\nvnthreg" + QUESTION)
        self.assert_gone([machine[2], machine[3],
                          f"{USER_CLASSES}\\.vnthreg", auto, f"{FILE_EXTS}\\.vnthreg"])
        # A name that would reach the whole class store names nothing; a name
        # with a backslash names a key below another, never a class.
        self.assert_kept([nested, f"{MACHINE_CLASSES}\\VarnethHostile",
                          f"{MACHINE_CLASSES}\\VarnethLead\\shell",
                          f"{MACHINE_CLASSES}\\txtfile"])

    def test_a_255_character_subkey_name_goes_with_its_parents(self):
        auto = f"{USER_CLASSES}\\vnthkey_auto_file"
        self.seed_keys([auto], f'[{auto}\\{"k" * 255}]\n"v"="x"\n\n[{auto}\\shell]\n@="x"\n\n')
        # The registry's longest name is listed and deleted like any other.
        self.assert_survived(wc.run_session(self.exe, [b"vnthkey", b"y"]), 1)
        self.assert_gone([auto])



if __name__ == "__main__":
    Hostile.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
