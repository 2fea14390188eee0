"""A list that names classes something else still uses: COM, another loaded
user, other extensions in the string forms the shell reads, and a class
reached through another's CurVer. The command line cleans the extension and
keeps each of them whole, named with its reason."""
import tempfile
import unittest
from pathlib import Path

import wine_console as wc
from report_lines import CP, lines, place
from test_cleanup import FILE_EXTS, MACHINE_CLASSES, association, association_keys, machine_tie

OTHER = r"HKEY_USERS\S-1-5-21-4711-4711-4711-1041"
CLSID = MACHINE_CLASSES + r"\CLSID\{56A4C7E0-7A27-4E27-9C27-000000002741}"


def sz(text: str, code=1) -> str:
    """hex(code): the UTF-16 bytes of `text`, NULs and all."""
    return f"hex({code}):" + ",".join(f"{b:02x}" for b in text.encode("utf-16-le"))


# Each used class with the place that uses it and the reason it is kept.
USES = {
    "AccCom.App": (f'[{MACHINE_CLASSES}\\AccCom.App\\CLSID]\n@="{{1}}"\n\n'
                   f'[{MACHINE_CLASSES}\\AccCom.App\\CurVer]\n@="AccCom.App.1"\n', "com"),
    "AccCom.App.1": (f'[{CLSID}\\ProgID]\n@="AccCom.App.1"\n', "com"),
    "vicD": (f'[{MACHINE_CLASSES}\\.vntused]\n@={sz("vicD" + chr(0) + "junk")}\n', ".vntused"),
    "vicF": (f'[{MACHINE_CLASSES}\\.vntusef]\n@={sz("vicF" + chr(0) * 2, 7)}\n', ".vntusef"),
    "vicY": (f'[{FILE_EXTS}\\.vntusey\\UserChoice]\n"ProgId"={sz("vicY" + chr(0) + "junk")}\n',
             ".vntusey"),
    "vicG.1": (f'[{MACHINE_CLASSES}\\.vntuseg]\n@="vicG"\n\n'
               f'[{MACHINE_CLASSES}\\vicG\\CurVer]\n@="vicG.1"\n', ".vntuseg"),
    "VarnethUseOther.Doc": (f'[{OTHER}\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer'
                            f'\\FileExts\\.vntuseo\\UserChoice]\n"ProgId"="VarnethUseOther.Doc"\n',
                            ".vntuseo"),
    "VarnethUseTheirs.Doc": (f'[{OTHER}_Classes\\.vntuset]\n@="VarnethUseTheirs.Doc"\n', ".vntuset"),
    "VarnethUseLatest.Doc": (f'[{FILE_EXTS}\\.vntusel\\UserChoiceLatest]\n'
                             f'"ProgId"="VarnethUseLatest.Doc"\n', ".vntusel"),
}
COM = "  这是 COM 类的名称，程序按此名称创建对象"
USED = "  其他扩展名或协议也在使用此类："


class ClassUse(wc.VarnethTestCase):
    def test_classes_in_use_anywhere_stay_whole_and_named(self):
        own = "VarnethUseOwn.Doc"
        text = association("vntuse", [own]) + machine_tie("vntuse", USES)
        text += f"[{FILE_EXTS}\\.vntuse\\OpenWithProgids]\n"
        text += "".join(f'"{name}"=hex(0):\n' for name in USES) + "\n"
        for name, (seed, _) in USES.items():
            text += f'[{MACHINE_CLASSES}\\{name}\\shell\\open\\command]\n@="app.exe"\n\n{seed}\n'
        used = [f"{MACHINE_CLASSES}\\{name}" for name in USES]
        places = [f"{MACHINE_CLASSES}\\{ext}" for ext in (".vntused", ".vntusef", ".vntuseg")]
        places += [f"{FILE_EXTS}\\.vntusey", f"{FILE_EXTS}\\.vntusel", f"{MACHINE_CLASSES}\\vicG",
                   OTHER, OTHER + "_Classes", CLSID]
        keys = association_keys("vntuse", [own])
        self.seed_keys(keys + used + places, text, unicode=True)
        before = {key: wc.export_key(key) for key in used + places}
        folder = Path(tempfile.mkdtemp())
        self.addCleanup(folder.rmdir)
        self.addCleanup(lambda: [p.unlink() for p in folder.iterdir()])

        result = wc.run_command_line(self.exe, ["/b", wc.windows_path(folder), "vntuse"])

        self.assertEqual(result.returncode, 0, result.stdout.decode(CP))
        explorer = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer"
        kept = []
        for name in sorted(USES, key=str.upper):  # the list's order under Wine
            user = USES[name][1]
            kept += [f"已保留: {MACHINE_CLASSES}\\{name}", COM if user == "com" else USED + user]
        backup, = folder.glob("vntuse-*.reg")
        self.assert_bytes(result.stdout.lower(), lines(
            f"备份文件: {wc.windows_path(backup)}",
            place("已删除", f"{MACHINE_CLASSES}\\{own}", 5, 3),
            place("已删除", f"{explorer}\\FileExts\\.vntuse", 4, 5 + len(USES)),
            place("已删除", r"HKEY_CURRENT_USER\Software\Classes\.vntuse", 1, 2),
            place("已删除", r"HKEY_CURRENT_USER\Software\Classes\vntuse_auto_file", 4, 1),
            place("已删除", f"{explorer}\\RecentDocs\\.vntuse", 1, 2),
            *kept, "vntuse: 已删除 5 项").lower())
        self.assert_gone(keys)
        for key, text in before.items():
            self.assertEqual(wc.export_key(key), text, key)
        # The backup holds the own class and the user's keys, nothing kept.
        self.assertLess(backup.stat().st_size, 4096)
        machine = {line.split("\\")[3] for line in backup.read_bytes().decode("utf-16").splitlines()
                   if line.startswith("[HKEY_LOCAL_MACHINE")}
        self.assertEqual(machine, {own, own + "]"})

    def test_only_a_tied_class_used_nowhere_else_goes(self):
        """The machine ties vnwTied and every class used in a place other than
        the user's keys; vnwUntied only the user's list names."""
        machine = r"HKEY_LOCAL_MACHINE\SOFTWARE"
        user = r"HKEY_CURRENT_USER\Software"
        xml = Path(tempfile.mkdtemp()) / "defaults.xml"
        xml.write_text('<?xml version="1.0"?><DefaultAssociations><Association '
                       'Identifier=".vnwxml" ProgId="vnwXml" ApplicationName="x"/>'
                       '</DefaultAssociations>', encoding="utf-8")
        self.addCleanup(xml.parent.rmdir)
        self.addCleanup(xml.unlink)
        policy = machine + r"\Policies\Microsoft\Windows\System"
        apps32 = machine + r"\Wow6432Node\RegisteredApplications"
        # Each used class: the key that uses it (removed whole), its text, who uses it.
        uses = {
            "vnwAutoPlay": (machine + r"\Microsoft\Windows\CurrentVersion\Explorer\AutoplayHandlers"
                            r"\Handlers\VarnethPlay", '"InvokeProgID"="vnwAutoPlay"', "VarnethPlay"),
            "vnwMime": (user + r"\VarnethMimeApp",
                        '\n[{0}\\MIMEAssociations]\n"text/x-vnw"="vnwMime"', "text/x-vnw"),
            "vnwMimeChoice": (user + r"\Microsoft\Windows\Shell\Associations\MIMEAssociations"
                              r"\text/x-vnwc\UserChoice", '"ProgId"="vnwMimeChoice"', "text/x-vnwc"),
            "vnwPackaged": (MACHINE_CLASSES + r"\PackagedCom\ProgIdIndex\vnwPackaged", "", "PackagedCom"),
            "vnwSystem": (MACHINE_CLASSES + r"\SystemFileAssociations\.vnwsys\OpenWithProgids",
                          '"vnwSystem"=hex(0):', ".vnwsys"),
            "vnwXml": (None, "", ".vnwxml"),
        }
        values = [(user + r"\RegisteredApplications", "VarnethMimeApp",
                   r"Software\\VarnethMimeApp"),
                  (policy, "DefaultAssociationsConfiguration",
                   wc.windows_path(xml).replace("\\", "\\\\"))]
        if (wc.wine_prefix() / "drive_c/windows/syswow64").is_dir():
            # Named in the 32-bit view only, where 32-bit applications register.
            uses["vnw32"] = (machine + r"\Wow6432Node\VarnethApp32",
                             '\n[{0}\\FileAssociations]\n".vnw32"="vnw32"', ".vnw32")
            values.append((apps32, "VarnethApp32", r"Software\\VarnethApp32"))
        names = sorted([*uses, "vnwTied", "vnwUntied"], key=str.upper)
        tied = [name for name in names if name != "vnwUntied"]
        text = association("vntnew", ["vnwTied"]) + machine_tie("vntnew", tied)
        text += f"[{FILE_EXTS}\\.vntnew\\OpenWithProgids]\n"
        text += "".join(f'"{name}"=hex(0):\n' for name in names) + "\n"
        classes = [f"{MACHINE_CLASSES}\\{name}" for name in names]
        text += "".join(f'[{key}]\n@="x"\n\n' for key in classes)
        for key, body, _ in uses.values():
            if key is not None:
                text += f"[{key}]\n{body.format(key)}\n\n"
        text += "".join(f'[{key}]\n"{name}"="{data}"\n\n' for key, name, data in values)
        keys = association_keys("vntnew", [])
        used = [key for key, _, _ in uses.values() if key is not None]
        self.seed_keys(keys + classes + used, text)
        self.addCleanup(wc.import_reg, "".join(f'[{key}]\n"{name}"=-\n\n' for key, name, _ in values))
        kept = [f"{MACHINE_CLASSES}\\{name}" for name in names if name != "vnwTied"]
        before = {key: wc.export_key(key) for key in kept + used}
        folder = Path(tempfile.mkdtemp())
        self.addCleanup(folder.rmdir)
        self.addCleanup(lambda: [p.unlink() for p in folder.iterdir()])

        dry = wc.run_command_line(self.exe, ["/n", "vntnew"])
        result = wc.run_command_line(self.exe, ["/b", wc.windows_path(folder), "vntnew"])

        why = {name: USED + who for name, (_, _, who) in uses.items()}
        why["vnwUntied"] = "  只有用户可写的键将此类关联到此扩展名，本机的记录并未如此关联"
        for run, fate, keep, end in ((dry, "将删除", "将保留", "试运行，将删除 5 项，未做任何更改"),
                                     (result, "已删除", "已保留", "已删除 5 项")):
            self.assertEqual(run.returncode, 0, run.stdout.decode(CP))
            explorer = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer"
            reasons = [line for name in names if name != "vnwTied"
                       for line in (f"{keep}: {MACHINE_CLASSES}\\{name}", why[name])]
            backup = [] if run is dry else [f"备份文件: {wc.windows_path(next(folder.iterdir()))}"]
            self.assert_bytes(run.stdout.lower(), lines(
                *backup,
                place(fate, f"{MACHINE_CLASSES}\\vnwTied", 5, 3),
                place(fate, f"{explorer}\\FileExts\\.vntnew", 4, 4 + len(names)),
                place(fate, r"HKEY_CURRENT_USER\Software\Classes\.vntnew", 1, 2),
                place(fate, r"HKEY_CURRENT_USER\Software\Classes\vntnew_auto_file", 4, 1),
                place(fate, f"{explorer}\\RecentDocs\\.vntnew", 1, 2),
                *reasons, f"vntnew: {end}").lower())
        self.assert_gone(keys + [f"{MACHINE_CLASSES}\\vnwTied"])
        for key, exported in before.items():
            self.assertEqual(wc.export_key(key), exported, key)

    def test_a_key_the_system_reads_by_its_name_stays(self):
        # avifil32 finds its file handlers below HKEY_CLASSES_ROOT\AVIFile,
        # a key of Wine's own store as of Windows'; no extension names it.
        system = f"{MACHINE_CLASSES}\\AVIFile"
        before = wc.export_key(system)
        self.assertNotEqual(before, "", "Wine's store has no AVIFile key")
        self.seed_keys(association_keys("vntsys", []),
                       f"[{FILE_EXTS}\\.vntsys\\OpenWithProgids]\n\"AVIFile\"=hex(0):\n\n")
        folder = Path(tempfile.mkdtemp())
        self.addCleanup(folder.rmdir)
        self.addCleanup(lambda: [p.unlink() for p in folder.iterdir()])
        # Should it go, its backup brings it back for the tests after this one.
        self.addCleanup(lambda: [wc.reg("import", wc.windows_path(p)) for p in folder.iterdir()])

        result = wc.run_command_line(self.exe, ["/b", wc.windows_path(folder), "vntsys"])

        self.assertEqual(wc.export_key(system), before, result.stdout.decode(CP))
        self.assertIn(f"已保留: {system}".encode(CP), result.stdout)

if __name__ == "__main__":
    ClassUse.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
