"""Any console, any interruption: a console whose code page is UTF-8 reads
and cleans what was typed, lines that name nothing typed are refused, Ctrl+C
lets the running extension finish and be reported (exit code 3), and a
report that reaches nobody is no success. Wine turns the terminal's interrupt
(SIGINT) into the console's Ctrl+C event; a 0x03 typed into its raw terminal
raises none."""
import os
import pty
import signal
import subprocess
import tempfile
import termios
import threading
import time
import unittest
from pathlib import Path

import wine_console as wc
from test_cleanup import USER_CLASSES
from test_command_line import lines
from test_dialogue import QUESTION, TURN
from test_terminal import seen


def drive(argv, steps, *, timeout=60.0, until=None):
    """Runs argv under Wine with a terminal as its console and standard output
    in a file. Each step is (seconds to wait, bytes to type or None for
    Ctrl+C); with `until`, the steps start once it holds. Gives back the exit
    code (None when it had to be stopped) and standard output."""
    master, slave = pty.openpty()
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen([str(wc.WINE_RUN), *argv], stdin=slave, stdout=out,
                                stderr=subprocess.DEVNULL, env=wc.wine_env(), close_fds=True)
        os.close(slave)
        threading.Thread(target=lambda: drain(master), daemon=True).start()
        deadline = time.monotonic() + timeout
        # Wine makes the terminal raw once the program reads its console.
        while until is None and termios.tcgetattr(master)[3] & termios.ICANON:
            if proc.poll() is not None:
                break
            time.sleep(0.02)
        while until is not None and not until() and time.monotonic() < deadline:
            time.sleep(0.01)
        time.sleep(0.3)
        for wait, typed in steps:
            time.sleep(wait)
            if typed is None:
                proc.send_signal(signal.SIGINT)
            else:
                os.write(master, typed)
        try:
            returncode = proc.wait(timeout=max(1.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            returncode = None
        os.close(master)
        out.seek(0)
        return returncode, out.read()


def drain(master):
    try:
        while os.read(master, 4096):
            pass
    except OSError:
        pass


class AnyConsole(wc.VarnethTestCase):
    def utf8_console(self):
        return ["cmd", "/c", f"chcp 65001 >nul & {wc.windows_path(self.exe)}"]

    def test_a_utf8_console_cleans_what_was_typed_and_reads_in_chinese(self):
        typed, shorter = f"{USER_CLASSES}\\.vntmd文", f"{USER_CLASSES}\\.vntmd"
        for on_screen in (True, False):
            self.seed_keys([typed, shorter], f'[{typed}]\n@="typed"\n\n[{shorter}]\n@="kept"\n\n')
            result = wc.run_session("cmd", ["vntmd文".encode(), b"y"], on_screen=on_screen,
                                    args=self.utf8_console()[1:])
            self.assertEqual(result.returncode, 0)
            self.assert_gone([typed])
            self.assert_kept([shorter])
            if on_screen:
                shown = seen(result.screen)
                self.assertIn("请输入待取消或删除关联的扩展名:vntmd文", shown)
                self.assertIn("vntmd文关联已删除，是否退出(Y/N)", shown)
            else:
                # Redirected, the bytes stay code page 936 whatever the console's.
                self.assert_bytes(result.stdout, TURN + b"\r\r\nvntmd" + "文".encode("cp936")
                                  + QUESTION)

    def test_lines_that_name_nothing_typed_are_refused(self):
        # Read as code page 936, 한 would become "?"; a control character
        # left out would name .vntab.
        decoys = [f"{USER_CLASSES}\\.vnt?", f"{USER_CLASSES}\\.vntab"]
        self.seed_keys(decoys, "".join(f'[{key}]\n@="decoy"\n\n' for key in decoys))
        typed = [b"vnt\x01ab", b"vntab\x06", "vnt한".encode(), "vnt\U0001F600".encode()]
        result = wc.run_session(self.exe, typed + [b"vntq", b"y"])
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN * (len(typed) + 1) + b"\r\r\nvntq" + QUESTION)
        self.assert_kept(decoys)

    def test_the_cut_at_2048_bytes_keeps_whole_characters(self):
        # 淺 is bytes 2048 and 2049: it is dropped whole, never cut to a lone
        # lead byte that the registry reads as "?".
        decoy = f"{USER_CLASSES}\\.zz?"
        self.seed_keys([decoy], f'[{decoy}]\n@="decoy"\n\n')
        result = wc.run_session(self.exe, [b"zz" + b" " * 2045 + "淺".encode(), b"y"], timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN + b"\r\r\nzz" + QUESTION)
        self.assert_kept([decoy])

    def test_ctrl_c_at_the_prompt_ends_in_order(self):
        returncode, stdout = drive([str(self.exe)], [(0.3, None)], timeout=20)
        self.assertEqual(returncode, 0)
        self.assert_bytes(stdout, TURN)

    def test_ctrl_c_during_a_run_finishes_that_extension_and_reports_it(self):
        big, later = f"{USER_CLASSES}\\.vntbig", f"{USER_CLASSES}\\.vntlater"
        tree = "".join(f"[{big}\\k{i // 100}\\s{i % 100}]\n\"v\"=\"{i}\"\n\n" for i in range(10000))
        self.seed_keys([big, later], tree + f'[{later}]\n@="later"\n\n')
        before = wc.export_key(big)
        with tempfile.TemporaryDirectory() as tmp:
            folder = Path(tmp)
            # Ctrl+C once the backup is there: the deletion has begun.
            returncode, stdout = drive(
                [str(self.exe), "/b", wc.windows_path(folder), "vntbig", "vntlater"],
                [(0.0, None)], timeout=120, until=lambda: any(folder.glob("*.reg")))
            self.assertEqual(returncode, 3)
            backup = next(folder.glob("*.reg"))
            self.assert_bytes(stdout, lines(
                f"备份文件: {wc.windows_path(backup)}",
                f"已删除: {big} (10101 个键, 10000 个值)", "vntbig: 已删除 1 项",
                "已中断：之后的扩展名均未处理。"))
            self.assert_gone([big])
            self.assert_kept([later])
            wc.reg("import", wc.windows_path(backup), check=True)
        self.assertEqual(wc.export_key(big), before)

    def test_a_report_that_reaches_nobody_is_no_success(self):
        for args in (["/n", "vntfull"], ["vntfull"], ["/?"]):
            with self.subTest(args=args), open("/dev/full", "wb") as full:
                proc = subprocess.run([str(wc.WINE_RUN), str(self.exe), *args],
                                      stdin=subprocess.DEVNULL, stdout=full,
                                      stderr=subprocess.DEVNULL, env=wc.wine_env(), timeout=60)
                self.assertEqual(proc.returncode, 1)


if __name__ == "__main__":
    AnyConsole.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
