"""Registry links and long paths on the command line: a link is neither
followed nor deleted, whatever it points to, and stays named in the report
with what is left of its place; keys of any path length go like any other."""
import tempfile
import unittest

import wine_console as wc
from test_cleanup import FILE_EXTS, MACHINE_CLASSES, USER_CLASSES, association, association_keys
from report_lines import CP, LINK, UNREACHABLE, dry_run_summary, lines, stayed, would_stay

VICTIM_TEXT = '@="victim"\n"v"=dword:00000001\n\n'
RUN_WORDS = [("将保留: ", "未能删除: "), ("将剩余 ", "剩余 "), ("将删除", "已删除")]


def places(stdout, words=()):
    """The report's place lines and the lines below them, a dry run's worded
    as the run's."""
    text = stdout.decode(CP)
    for dry_word, run_word in words:
        text = text.replace(dry_word, run_word)
    return [line for line in text.split("\r\n")
            if line.startswith(("已删除: ", "未能删除: ", "  "))]


class Links(wc.VarnethTestCase):
    def run_cleanup(self, ext):
        with tempfile.TemporaryDirectory() as folder:
            return wc.run_command_line(self.exe, ["/b", wc.windows_path(folder), ext])

    def test_a_link_stays_untouched_with_its_target_and_the_rest_goes(self):
        machine_victim = r"HKEY_LOCAL_MACHINE\Software\VarnethVictim"
        user_victim = r"HKEY_CURRENT_USER\Software\VarnethVictim"
        # (extension, the link, what it points to, what is gone besides, the
        # place that stays with what is left of it and what goes, its link line)
        cases = [
            ("vnlplace", f"{USER_CLASSES}\\.vnlplace", machine_victim,
             [f"{FILE_EXTS}\\.vnlplace", f"{USER_CLASSES}\\vnlplace_auto_file"],
             [(f"{USER_CLASSES}\\.vnlplace", 1, 0, 0, 0),
              f"{LINK}{USER_CLASSES}\\.vnlplace"]),
            ("vnlbelow", f"{USER_CLASSES}\\.vnlbelow\\sub", user_victim,
             [f"{FILE_EXTS}\\.vnlbelow", f"{MACHINE_CLASSES}\\VarnethLnk.vnlbelow"],
             [(f"{USER_CLASSES}\\.vnlbelow", 2, 0, 0, 2),
              f"{LINK}{USER_CLASSES}\\.vnlbelow\\sub"]),
            ("vnlclass", f"{MACHINE_CLASSES}\\VarnethLnk.vnlclass\\shell\\link", user_victim,
             [f"{USER_CLASSES}\\.vnlclass", f"{MACHINE_CLASSES}\\VarnethLnk.vnlclass\\DefaultIcon"],
             [(f"{MACHINE_CLASSES}\\VarnethLnk.vnlclass", 3, 0, 3, 3),
              f"{LINK}{MACHINE_CLASSES}\\VarnethLnk.vnlclass\\shell\\link"]),
            ("vnlchoice", f"{FILE_EXTS}\\.vnlchoice\\UserChoice", user_victim,
             [f"{USER_CLASSES}\\.vnlchoice", f"{MACHINE_CLASSES}\\VarnethLnk.vnlchoice"],
             [(f"{FILE_EXTS}\\.vnlchoice", 2, 0, 2, 3),
              f"{LINK}{FILE_EXTS}\\.vnlchoice\\UserChoice"]),
            # A link to the key above it: a cycle, which ends like anything else.
            ("vnlcycle", f"{USER_CLASSES}\\.vnlcycle\\loop", f"{USER_CLASSES}\\.vnlcycle",
             [f"{FILE_EXTS}\\.vnlcycle", f"{USER_CLASSES}\\vnlcycle_auto_file"],
             [(f"{USER_CLASSES}\\.vnlcycle", 2, 0, 0, 2),
              f"{LINK}{USER_CLASSES}\\.vnlcycle\\loop"]),
        ]
        for ext, link, target, gone, (counts, link_line) in cases:
            report = [stayed(*counts), link_line]
            with self.subTest(ext):
                cls = f"VarnethLnk.{ext}"
                self.seed_keys(association_keys(ext, [cls]) + [machine_victim, user_victim],
                               association(ext, [cls]) + f"[{machine_victim}\\deep]\n{VICTIM_TEXT}"
                               f"[{user_victim}\\deep]\n{VICTIM_TEXT}")
                # The link takes the place of a key the association has.
                wc.delete_key(link)
                wc.make_link(link, target)
                self.addCleanup(wc.remove_link, link)
                victims = {key: wc.export_key(key) for key in (machine_victim, user_victim)}

                # The dry run says what the run then does, place by place,
                # and ends as it will.
                listing = wc.run_command_line(self.exe, ["/n", ext])
                self.assertEqual(listing.returncode, 1, listing.stdout)
                self.assertIn(lines(would_stay(*counts), link_line), listing.stdout)
                # A class that stays keeps its name in the list, and so FileExts\.E.
                staying = 2 if ext == "vnlclass" else 1
                self.assertIn(lines(dry_run_summary(ext, 5 - staying, staying)), listing.stdout)

                result = self.run_cleanup(ext)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(lines(*report), result.stdout)
                self.assertEqual(places(listing.stdout, RUN_WORDS), places(result.stdout))
                self.assertTrue(wc.is_link(link), link)
                for key, text in victims.items():
                    self.assertEqual(wc.export_key(key), text, key)
                self.assert_gone(gone)
                wc.remove_link(link)

    def test_the_dry_run_names_each_place_as_the_run_then_leaves_it(self):
        # A link below the extension's key, a Korean-named key below the
        # automatic class, a value named like the Explorer record beside it
        # and a class of the extension's own.
        ext, cls = "vnljudge", "VarnethLnk.vnljudge"
        self.seed_keys(association_keys(ext, [cls]),
                       association(ext, [cls]) + f'[{USER_CLASSES}\\{ext}_auto_file\\\uD55C]\n'
                       f'"v"="x"\n\n[{FILE_EXTS}]\n".{ext}"="same name"\n\n', unicode=True)
        self.addCleanup(wc.reg, "delete", FILE_EXTS, "/v", f".{ext}", "/f")
        link = f"{USER_CLASSES}\\.{ext}\\sub"
        wc.delete_key(link)
        wc.make_link(link, r"HKEY_CURRENT_USER\Software\VarnethVictim")
        self.addCleanup(wc.remove_link, link)

        dry = wc.run_command_line(self.exe, ["/n", ext])
        real = self.run_cleanup(ext)

        self.assertEqual(places(dry.stdout, RUN_WORDS), places(real.stdout))
        self.assertIn(lines(UNREACHABLE), real.stdout)
        self.assertIn(f"{LINK}{link}".encode(CP), real.stdout)
        self.assertEqual((dry.returncode, real.returncode), (1, 1))
        self.assertFalse(wc.value_exists(FILE_EXTS, f".{ext}"))
        self.assert_gone([f"{MACHINE_CLASSES}\\{cls}", f"{FILE_EXTS}\\.{ext}"])

    def test_the_dry_run_foresees_what_stays_beside_a_link(self):
        # A listed class that is a link stays, so the run keeps the list that
        # names it; a value named like a place, in a key above it that is a
        # link, stays too. The dry run must name both as the run leaves them.
        ext, cls = "vnlfore", "VarnethLnk.vnlfore"
        victim = r"HKEY_CURRENT_USER\Software\VarnethVictim"
        recent = r"HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\RecentDocs"
        self.seed_keys(association_keys(ext, [cls]) + [victim, recent],
                       association(ext, [cls]) + f'[{victim}]\n".{ext}"="victim"\n\n')
        for link, target in ((f"{MACHINE_CLASSES}\\{cls}", victim), (recent, victim)):
            wc.delete_key(link)
            wc.make_link(link, target)
            self.addCleanup(wc.remove_link, link)

        dry = wc.run_command_line(self.exe, ["/n", ext])
        real = self.run_cleanup(ext)

        self.assertEqual(places(dry.stdout, RUN_WORDS), places(real.stdout))
        self.assertEqual(dry.returncode, real.returncode)
        self.assertTrue(wc.value_exists(victim, f".{ext}"))
        self.assertTrue(wc.key_exists(f"{FILE_EXTS}\\.{ext}\\OpenWithProgids"))
        # The link above the place is named by its own key, and is no key of the place.
        self.assertIn(lines(stayed(f"{recent}\\.{ext}", 0, 0, 0, 0), f"{LINK}{recent}"),
                      real.stdout)

    def test_long_paths_go_like_short_ones(self):
        # 70 nested keys below .E, and an extension of 240 characters whose
        # E_auto_file name has 251: paths longer than the ANSI calls take.
        chain = "\\".join(f"k{i:02}" for i in range(70))
        long_ext = "x" * 240
        keys = association_keys("vnllong", []) + association_keys(long_ext, [])
        self.seed_keys(keys, f'[{USER_CLASSES}\\.vnllong\\{chain}]\n"v"="deep"\n\n'
                             f'[{USER_CLASSES}\\.{long_ext}]\n@="{long_ext}_auto_file"\n\n'
                             f'[{USER_CLASSES}\\{long_ext}_auto_file\\shell\\open\\command]\n'
                             f'@="editor.exe"\n\n', unicode=True)
        self.assertTrue(wc.key_exists(f"{USER_CLASSES}\\.vnllong\\{chain}"))
        expected = {
            "vnllong": [f"已删除: {USER_CLASSES}\\.vnllong (71 个键, 1 个值)", "vnllong: 已删除 1 项"],
            long_ext: [f"已删除: {USER_CLASSES}\\.{long_ext} (1 个键, 1 个值)",
                       f"已删除: {USER_CLASSES}\\{long_ext}_auto_file (4 个键, 1 个值)",
                       f"{long_ext}: 已删除 2 项"],
        }
        for ext, report in expected.items():
            with self.subTest(ext[:10]):
                result = self.run_cleanup(ext)
                self.assertEqual(result.returncode, 0, result.stdout)
                self.assertTrue(result.stdout.endswith(lines(*report)), result.stdout)
                self.assert_gone(association_keys(ext, []))


if __name__ == "__main__":
    Links.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
