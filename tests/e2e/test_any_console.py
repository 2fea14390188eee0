"""Any console, any interruption: a UTF-8 console cleans what was typed, lines
that name nothing typed are refused, Ctrl+C lets the running extension finish
and be reported (exit code 3), and a lost report is no success."""
import os
import pty
import signal
import subprocess
import tempfile
import time
import unittest
from pathlib import Path

import wine_console as wc
from report_lines import lines, place
from test_cleanup import USER_CLASSES
from test_dialogue import QUESTION, TURN
from test_terminal import seen


def interrupt(argv, ready, timeout=120.0):
    """Runs argv on a Wine console, output to a file, and sends Ctrl+C once
    ready(output so far) holds: Wine turns SIGINT into the console's Ctrl+C
    event (a 0x03 typed into its raw terminal raises none)."""
    master, slave = pty.openpty()
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen([str(wc.WINE_RUN), *argv], stdin=slave, stdout=out,
                                stderr=subprocess.DEVNULL, env=wc.wine_env())
        os.close(slave)
        deadline = time.monotonic() + timeout
        while not ready(os.pread(out.fileno(), 1 << 16, 0)) and time.monotonic() < deadline:
            time.sleep(0.01)
        proc.send_signal(signal.SIGINT)
        returncode = proc.wait(timeout=timeout)
        os.close(master)
        out.seek(0)
        return returncode, out.read()


class AnyConsole(wc.VarnethTestCase):
    def test_a_utf8_console_cleans_what_was_typed_and_reads_in_chinese(self):
        typed, shorter = f"{USER_CLASSES}\\.vntmd文", f"{USER_CLASSES}\\.vntmd"
        self.seed_keys([typed, shorter], f'[{typed}]\n@="typed"\n\n[{shorter}]\n@="kept"\n\n')
        result = wc.run_session("cmd", ["vntmd文".encode(), b"y"], on_screen=True, args=[
            "/c", f"chcp 65001 >nul & {wc.windows_path(self.exe)}"])
        self.assertEqual(result.returncode, 0)
        self.assertIn("请输入待取消或删除关联的扩展名:vntmd文", seen(result.screen))
        self.assertIn("vntmd文关联已删除，是否退出(Y/N)", seen(result.screen))
        self.assert_gone([typed])
        self.assert_kept([shorter])

    def test_lines_that_name_nothing_typed_are_refused(self):
        # As bytes, 한 would read as "?" and a control character left out
        # would name .vntab; the 2,048-byte cut across 淺 would leave a lone
        # lead byte, also "?".
        decoys = [f"{USER_CLASSES}\\.vnt?", f"{USER_CLASSES}\\.vntab", f"{USER_CLASSES}\\.zz?"]
        self.seed_keys(decoys, "".join(f'[{key}]\n@="decoy"\n\n' for key in decoys))
        typed = [b"vnt\x01ab", b"vntab\x06", "vnt한".encode(), "vnt\U0001F600".encode()]
        result = wc.run_session(self.exe, typed + [b"zz" + b" " * 2045 + "淺".encode(), b"y"],
                                timeout=60)
        self.assertEqual(result.returncode, 0)
        self.assert_bytes(result.stdout, TURN * (len(typed) + 1) + b"\r\r\nzz" + QUESTION)
        self.assert_kept(decoys)

    def test_ctrl_c_at_the_prompt_ends_in_order(self):
        # The banner is written once the program watches for the event.
        returncode, stdout = interrupt([str(self.exe)], lambda output: output)
        self.assertEqual(returncode, 0)
        self.assert_bytes(stdout, TURN)

    def test_ctrl_c_at_the_question_after_a_run_ends_in_order(self):
        # The run is over: the event ends the program at once, exit code 0.
        # The x typed is shown once the answer is being read.
        asked = "vntafter关联已删除，是否退出(Y/N)x"
        result = wc.run_session(self.exe, [b"vntafter"], pending=b"x", on_screen=True, timeout=15,
                                interrupt_when=lambda screen: asked in seen(screen))
        self.assertEqual(result.returncode, 0)
        self.assertTrue(seen(result.screen).endswith(asked), seen(result.screen))

    def test_ctrl_c_during_a_run_finishes_that_extension_and_reports_it(self):
        big, later = f"{USER_CLASSES}\\.vntbig", f"{USER_CLASSES}\\.vntlater"
        # Deleting 2,000 keys takes seconds: the event arrives during it.
        tree = "".join(f"[{big}\\k{i // 100}\\s{i % 100}]\n\"v\"=\"{i}\"\n\n" for i in range(2000))
        self.seed_keys([big, later], tree + f'[{later}]\n@="later"\n\n')
        before = wc.export_key(big)
        with tempfile.TemporaryDirectory() as tmp:
            # Once the backup is there, the deletion has begun.
            returncode, stdout = interrupt(
                [str(self.exe), "/b", wc.windows_path(tmp), "vntbig", "vntlater"],
                lambda _: any(Path(tmp).glob("*.reg")))
            backup = next(Path(tmp).glob("*.reg"))
            self.assertEqual(returncode, 3)
            self.assert_bytes(stdout, lines(
                f"备份文件: {wc.windows_path(backup)}", place("已删除", big, 2021, 2000),
                "vntbig: 已删除 1 项", "已中断：之后的扩展名均未处理。"))
            self.assert_gone([big])
            self.assert_kept([later])
            wc.reg("import", wc.windows_path(backup), check=True)
        self.assertEqual(wc.export_key(big), before)

    def test_a_report_that_reaches_nobody_is_no_success(self):
        for args in (["/n", "vntfull"], ["vntfull"], ["/?"]):
            with self.subTest(args=args), open("/dev/full", "wb") as full:
                proc = subprocess.run([str(wc.WINE_RUN), str(self.exe), *args], stdout=full,
                                      stdin=subprocess.DEVNULL, env=wc.wine_env(), timeout=60)
                self.assertEqual(proc.returncode, 1)


if __name__ == "__main__":
    AnyConsole.exe = wc.exe_from_argv()
    unittest.main(verbosity=2)
