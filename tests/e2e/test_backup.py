"""Backups through the real dialogue: what a run deletes is in a file that
Wine's own reg.exe restores exactly; a run that cannot write its backup
deletes nothing; an existing backup is never overwritten."""
import re
import shutil
import time
import unittest

import wine_console as wc
from test_cleanup import (FILE_EXTS, MACHINE_CLASSES, RECENT, USER_CLASSES, association_keys,
                          machine_tie)
from test_dialogue import EXIT_ASK, NOT_REMOVED, TURN, confirmation, partly_removed


def utf16_hex(text: str) -> str:
    return ",".join(f"{b:02x}" for b in text.encode("utf-16-le"))


def rich_association(ext: str, cls: str) -> str:
    """Every kind of value, in every place the cleanup deletes."""
    deep = "\\".join(f"level{i}" for i in range(1, 6))
    binary = ",".join(f"{i % 256:02x}" for i in range(300))
    expand = utf16_hex("%SystemRoot%\\x" + chr(0))
    multi = utf16_hex("one" + chr(0) + "two" + chr(0) + chr(0))
    lines = utf16_hex("first" + chr(10) + "second" + chr(13) + chr(10) + chr(0))
    return machine_tie(ext, [cls]) + f"""[{FILE_EXTS}\\.{ext}\\OpenWithProgids]
"{cls}"=hex(0):

[{FILE_EXTS}\\.{ext}\\UserChoice]
"Progid"="{cls}"

[{MACHINE_CLASSES}\\{cls}]
@="默认 \\"quoted\\" C:\\\\path\\\\"
"empty"=""
"q\\"uote\\\\name"="va\\\\lue \\"x\\""
"中文名"="中文数据"
"한글"="데이터 😀"
"a=b]c"="equals and bracket"
"@"="a value named @"
"expand"=hex(2):{expand}
"multi"=hex(7):{multi}
"binary"=hex:{binary}
"dword"=dword:89abcdef
"big endian"=hex(5):89,ab,cd,ef
"qword"=hex(b):01,02,03,04,05,06,07,08
"none"=hex(0):
"none data"=hex(0):01,02
"unusual"=hex(100):0a,0b,0c
"lines"=hex(1):{lines}

[{MACHINE_CLASSES}\\{cls}\\{deep}]
@="five levels down"

[{USER_CLASSES}\\.{ext}]
@="{ext}_auto_file"

[{USER_CLASSES}\\{ext}_auto_file\\shell\\open\\command]
@="editor.exe \\"%1\\""

[{RECENT}\\.{ext}]
"0"=hex:61,00,62,00,00,00
"MRUListEx"=hex:00,00,00,00,ff,ff,ff,ff

"""


class Backup(wc.VarnethTestCase):
    def setUp(self):
        # Registered first, so it runs after every other clean-up.
        self.addCleanup(self.remove_backups)

    def remove_backups(self):
        for ext in ("vntrich", "vntstay", "vntnofolder", "vntexist", "vntlinebreak"):
            for path in self.backups_of(ext):
                path.unlink()

    def seed(self, ext, classes, text):
        return self.seed_keys(association_keys(ext, classes), text, unicode=True)

    def backups_of(self, ext):
        return sorted(wc.backup_folder().glob(f"{ext}-*.reg"))

    def restore(self, backup):
        wc.reg("import", wc.windows_path(backup), check=True)

    def test_a_rich_association_comes_back_exactly(self):
        ext, cls = "vntrich", "VarnethRich.Doc"
        keys = self.seed(ext, [cls], rich_association(ext, cls))
        before = wc.export_keys(keys)
        self.assertIn("中文数据", before[f"{MACHINE_CLASSES}\\{cls}"])

        result = wc.run_session(self.exe, [ext.encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN + confirmation(ext.encode()))
        self.assert_gone(keys)

        [backup] = self.backups_of(ext)
        self.assertEqual(backup.read_bytes()[:2], b"\xff\xfe")
        self.restore(backup)
        self.assertEqual(wc.export_keys(keys), before)

    def test_a_key_that_stays_is_named_and_its_backup_restores_it(self):
        ext = "vntstay"
        auto = f"{USER_CLASSES}\\{ext}_auto_file"
        target = r"HKEY_CURRENT_USER\Software\VarnethStayTarget"
        self.seed_keys(association_keys(ext, []) + [target],
                       f'[{target}]\n"v"="target"\n\n[{auto}\\shell]\n@="x"\n\n'
                       f'[{USER_CLASSES}\\.{ext}]\n@="{ext}_auto_file"\n\n', unicode=True)
        # A registry link is never deleted, so the class above it stays.
        wc.make_link(f"{auto}\\link", target)
        self.addCleanup(wc.remove_link, f"{auto}\\link")
        result = wc.run_session(self.exe, [ext.encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN + partly_removed(ext.encode(), [
            f"{auto} (剩余 2 个键, 0 个值; 已删除 1 个键, 1 个值)",
            f"  注册表链接，Varneth 既不跟随也不删除: {auto}\\link"]))
        self.assert_gone([f"{USER_CLASSES}\\.{ext}"])
        self.assertTrue(wc.value_exists(target, "v"))

        wc.remove_link(f"{auto}\\link")
        wc.delete_key(auto)
        [backup] = self.backups_of(ext)
        self.restore(backup)
        self.assertTrue(wc.value_exists(f"{auto}\\shell", ""))
        self.assertTrue(wc.value_exists(f"{USER_CLASSES}\\.{ext}", ""))
        self.assertFalse(wc.key_exists(f"{auto}\\link"))

    def test_a_file_where_the_folder_should_be_stops_the_deletion(self):
        ext, cls = "vntnofolder", "VarnethNoFolder.Doc"
        keys = self.seed(ext, [cls], rich_association(ext, cls))
        varneth = wc.local_app_data() / "Varneth"
        saved = varneth.with_name("Varneth.saved-by-test")
        if varneth.exists():
            varneth.rename(saved)
        varneth.write_bytes(b"not a folder")

        def put_back():
            varneth.unlink()
            if saved.exists():
                saved.rename(varneth)
        self.addCleanup(put_back)

        result = wc.run_session(self.exe, [ext.encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        lead = TURN + b"\r\r\n" + "无法写入备份文件 ".encode("cp936")
        self.assertTrue(result.stdout.startswith(lead), result.stdout)
        line = result.stdout[len(lead):]
        file = (rb"C:\\users\\[^\\]+\\AppData\\Local\\Varneth\\Backups\\" + ext.encode() +
                rb"-\d{8}-\d{6}\.partial")
        ending = (b"\r\r\n\r\r\n" + ext.encode() + NOT_REMOVED + EXIT_ASK)
        self.assertRegex(line, b"^" + file + "：".encode("cp936") + b"[^\r\n]+" +
                         "，未删除任何内容。".encode("cp936") + re.escape(ending) + b"$")
        self.assert_kept(keys)

    def test_a_name_with_a_line_break_stops_the_deletion(self):
        ext = "vntlinebreak"
        keys = self.seed(ext, [], f'[{USER_CLASSES}\\.{ext}]\n"line\\nbreak"="x"\n\n'
                                  f'[{USER_CLASSES}\\{ext}_auto_file]\n@="y"\n\n')
        result = wc.run_session(self.exe, [ext.encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        lead = TURN + b"\r\r\n" + "无法写入备份文件 ".encode("cp936")
        self.assertTrue(result.stdout.startswith(lead), result.stdout)
        self.assertTrue(result.stdout.endswith(
            "：有键名或值名含换行符，备份文件无法记录，未删除任何内容。".encode("cp936") +
            b"\r\r\n\r\r\n" + ext.encode() + NOT_REMOVED + EXIT_ASK), result.stdout)
        self.assert_kept([f"{USER_CLASSES}\\.{ext}", f"{USER_CLASSES}\\{ext}_auto_file"])
        self.assertEqual(self.backups_of(ext), [])

    def test_an_existing_backup_is_never_overwritten(self):
        ext = "vntexist"
        self.seed(ext, [], f'[{USER_CLASSES}\\.{ext}]\n@="x"\n\n')
        folder = wc.backup_folder()
        folder.mkdir(parents=True, exist_ok=True)
        # The names a run could take in the next minute are taken already.
        start = time.time()
        taken = [folder / time.strftime(f"{ext}-%Y%m%d-%H%M%S.reg", time.localtime(start + s))
                 for s in range(60)]
        for path in taken:
            path.write_bytes(b"an earlier backup")

        result = wc.run_session(self.exe, [ext.encode(), b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN + confirmation(ext.encode()))
        for path in taken:
            self.assertEqual(path.read_bytes(), b"an earlier backup")
        [written] = [p for p in self.backups_of(ext) if p not in taken]
        self.assertRegex(written.name, rf"^{ext}-\d{{8}}-\d{{6}}-2\.reg$")
        self.restore(written)
        self.assertTrue(wc.value_exists(f"{USER_CLASSES}\\.{ext}", ""))



if __name__ == "__main__":
    Backup.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
