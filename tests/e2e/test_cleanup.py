"""Varneth's whole job, end to end: seed realistic associations in Wine's
registry, run the dialogue on a real Wine console (type the extension, then
the answer), and check what is gone and what stays."""
import subprocess
import tempfile
import unittest
from pathlib import Path

import wine_console as wc
from test_dialogue import QUESTION, TURN

FILE_EXTS = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts"
RECENT = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\RecentDocs"
USER_CLASSES = r"HKEY_CURRENT_USER\Software\Classes"
MACHINE_CLASSES = r"HKEY_LOCAL_MACHINE\SOFTWARE\Classes"


def machine_tie(ext, classes):
    """.reg text by which the machine's own .ext key ties `classes` to it (its
    OpenWithProgids): only a tied class may go. seed_keys removes the key."""
    progids = "".join(f'"{name.replace(chr(92), chr(92) * 2)}"=hex(0):\n' for name in classes)
    return f"[{MACHINE_CLASSES}\\.{ext}\\OpenWithProgids]\n{progids}\n"


def association(ext, classes):
    """.reg text of a full association of `ext` naming `classes`, which the
    machine ties to it."""
    # In .reg text a backslash inside a quoted name is written twice.
    progids = "".join(f'"{name.replace(chr(92), chr(92) * 2)}"=hex(0):\n' for name in classes)
    text = machine_tie(ext, classes) + f"""[{FILE_EXTS}\\.{ext}\\OpenWithList]
"a"="editor.exe"
"MRUList"="a"

[{FILE_EXTS}\\.{ext}\\OpenWithProgids]
{progids}
[{FILE_EXTS}\\.{ext}\\UserChoice]
"Progid"="{classes[0]}"
"Hash"="abc="

[{USER_CLASSES}\\.{ext}]
@="{ext}_auto_file"
"Content Type"="text/plain"

[{USER_CLASSES}\\{ext}_auto_file\\shell\\open\\command]
@="editor.exe \\"%1\\""

[{RECENT}\\.{ext}]
"0"=hex:61,00,00,00
"MRUListEx"=hex:00,00,00,00,ff,ff,ff,ff

"""
    for name in classes:
        text += f"""[{MACHINE_CLASSES}\\{name}]
@="Made-up document"

[{MACHINE_CLASSES}\\{name}\\DefaultIcon]
@="editor.exe,1"

[{MACHINE_CLASSES}\\{name}\\shell\\open\\command]
@="editor.exe \\"%1\\""

"""
    return text


def association_keys(ext, classes):
    keys = [f"{FILE_EXTS}\\.{ext}", f"{USER_CLASSES}\\.{ext}", f"{USER_CLASSES}\\{ext}_auto_file",
            f"{RECENT}\\.{ext}"]
    return keys + [f"{MACHINE_CLASSES}\\{name}" for name in classes]


def export_registry():
    """The whole registry as regedit exports it (a stable, sorted dump)."""
    with tempfile.TemporaryDirectory() as tmp:
        dump = Path(tmp) / "all.reg"
        subprocess.run([str(wc.WINE_RUN), "regedit", "/E", str(dump)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=wc.wine_env())
        return dump.read_bytes()


class Cleanup(wc.VarnethTestCase):
    def seed(self, text, extensions, classes):
        self.seed_keys([k for ext in extensions for k in association_keys(ext, [])] +
                       [f"{MACHINE_CLASSES}\\{name}" for name in classes], text)

    def clean(self, *extensions):
        typed = []
        for index, ext in enumerate(extensions):
            typed += [ext.encode(), b"y" if index == len(extensions) - 1 else b"n"]
        result = wc.run_session(self.exe, typed)
        self.assertEqual(result.returncode, 0)
        expected = b"".join(TURN + b"\r\r\n" + ext.replace(".", "").encode() + QUESTION
                            for ext in extensions)
        self.assert_bytes(result.stdout, expected)


    def test_a_full_association_goes_in_one_run_and_nothing_else(self):
        classes = ["VarnethFull.Doc", "VarnethFull.Alt"]
        sibling_classes = ["VarnethFull.Other"]
        self.seed(association("vntfull", classes) + association("vntsib", sibling_classes) +
                  f'[{RECENT}]\n"VarnethOwn"="kept"\n\n',
                  ["vntfull", "vntsib"], classes + sibling_classes)
        self.addCleanup(wc.reg, "delete", RECENT, "/v", "VarnethOwn", "/f")

        self.clean(".vntfull")

        self.assert_gone(association_keys("vntfull", classes))
        self.assert_kept(association_keys("vntsib", sibling_classes) +
                         [f"{FILE_EXTS}\\.vntsib\\OpenWithProgids",
                          f"{MACHINE_CLASSES}\\VarnethFull.Other\\shell\\open\\command"])
        self.assertTrue(wc.value_exists(RECENT, "VarnethOwn"))
        self.assertTrue(wc.value_exists(f"{RECENT}\\.vntsib", "MRUListEx"))

    def test_an_unnamed_class_entry_leaves_the_machine_class_store_alone(self):
        self.seed(association("vntdflt", ["VarnethDflt.Doc"]) +
                  f'[{FILE_EXTS}\\.vntdflt\\OpenWithProgids]\n@=""\n\n'
                  f'[{FILE_EXTS}\\.vntdflt\\OpenWithProgids\\sub]\n"x"="1"\n\n'
                  f'[{MACHINE_CLASSES}\\VarnethCanary\\shell]\n@="kept"\n\n',
                  ["vntdflt"], ["VarnethDflt.Doc", "VarnethCanary"])
        self.clean("vntdflt")
        self.assert_gone(association_keys("vntdflt", ["VarnethDflt.Doc"]))
        self.assert_kept([f"{MACHINE_CLASSES}\\VarnethCanary\\shell", f"{MACHINE_CLASSES}\\txtfile",
                          f"{MACHINE_CLASSES}\\CLSID"])

    def test_the_dialogue_names_the_classes_it_keeps(self):
        self.seed(association("vntdlgcls", ["VarnethDlgCls.Doc"]) +
                  f'[{FILE_EXTS}\\.vntdlgcls\\OpenWithProgids]\n"exefile"=hex(0):\n"CLSID"=hex(0):\n\n',
                  ["vntdlgcls"], ["VarnethDlgCls.Doc"])
        result = wc.run_session(self.exe, [b"vntdlgcls", b"y"])
        kept = "".join(f"{line}\r\r\n" for line in (
            "下列类不只属于此扩展名，已保留：",
            f"{MACHINE_CLASSES}\\CLSID", "  这是类存储或 Windows 外壳自身的项",
            f"{MACHINE_CLASSES}\\exefile", "  这是启动程序的类，启动程序的关联不由 Varneth 删除"))
        # All of the extension's own is gone: the run is no partial one.
        self.assert_bytes(result.stdout,
                          TURN + b"\r\r\n" + kept.encode("cp936") + b"\r\r\nvntdlgcls" + QUESTION)
        self.assert_gone(association_keys("vntdlgcls", ["VarnethDlgCls.Doc"]))
        self.assert_kept([f"{MACHINE_CLASSES}\\CLSID", f"{MACHINE_CLASSES}\\exefile"])

    def test_deep_classes_go_in_one_run(self):
        deep = "\\".join(f"level{i}" for i in range(1, 6))
        text = association("vntdeep", ["VarnethDeep.Doc"])
        path = ""
        for part in deep.split("\\"):
            path += "\\" + part
            text += (f'[{MACHINE_CLASSES}\\VarnethDeep.Doc{path}]\n@="d"\n"v"=dword:00000001\n\n'
                     f'[{USER_CLASSES}\\vntdeep_auto_file{path}]\n"v"="u"\n\n')
        self.seed(text, ["vntdeep"], ["VarnethDeep.Doc"])
        self.clean("vntdeep")
        self.assert_gone(association_keys("vntdeep", ["VarnethDeep.Doc"]))

    def test_an_extension_nothing_mentions_changes_nothing(self):
        before = export_registry()
        self.clean("vntnothing")
        self.assertEqual(export_registry(), before)

    def test_two_extensions_in_one_session(self):
        self.seed(association("vntone", ["VarnethOne.Doc"]) +
                  association("vnttwo", ["VarnethTwo.Doc"]),
                  ["vntone", "vnttwo"], ["VarnethOne.Doc", "VarnethTwo.Doc"])
        self.clean("vntone", "vnttwo")
        self.assert_gone(association_keys("vntone", ["VarnethOne.Doc"]) +
                         association_keys("vnttwo", ["VarnethTwo.Doc"]))

class CleanupInWindowsLayout(Cleanup):
    """The whole association, with the user's classes in their own hive as on
    Windows; the other scenarios add nothing there."""
    test_an_unnamed_class_entry_leaves_the_machine_class_store_alone = None
    test_deep_classes_go_in_one_run = None
    test_the_dialogue_names_the_classes_it_keeps = None
    test_an_extension_nothing_mentions_changes_nothing = None
    test_two_extensions_in_one_session = None

    @classmethod
    def setUpClass(cls):
        wc.lay_classes_out_as_windows(cls)

    def test_a_link_to_the_hive_in_another_letter_case_is_taken_too(self):
        self.addCleanup(wc.link_tool, "classes-hive", wc.WINDOWS_CLASSES_LINK)
        self.assertEqual(wc.link_tool("classes-hive", r"\registry\user\<SID>_cLASSES"), 0)
        self.test_a_full_association_goes_in_one_run_and_nothing_else()


if __name__ == "__main__":
    Cleanup.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
