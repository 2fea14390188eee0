"""Drives varneth.exe on a real Wine console and reads Wine's registry.

The program's standard input is a pseudo-terminal, which Wine turns into a
console; its standard output goes to a file, so the exact bytes it wrote can
be compared. Lines are typed only once Wine has put the terminal in raw mode,
and the terminal is drained all the time (undrained, Wine's input stalls).
"""
import fcntl
import os
import pty
import re
import signal
import struct
import subprocess
import sys
import tempfile
import termios
import threading
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
WINE_RUN = ROOT / "scripts" / "wine-run"


def no_32_bit_wine():
    """Why Wine cannot run a 32-bit program here, or None when it can: the
    archive may not give wine32:i386 (scripts/setup.sh says why), or the
    kernel may run no 32-bit programs."""
    loader = Path("/usr/lib/wine/wine")
    if not loader.exists():
        return "32-bit Wine is not installed (scripts/setup.sh names the reason)"
    try:
        subprocess.run([str(loader), "--version"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
    except (OSError, subprocess.CalledProcessError):
        return "this host runs no 32-bit programs"
    return None


def wine_prefix() -> Path:
    """The prefix of this test: the one scripts/test.sh made for the lane
    CTest gave it ("id:N,slots:1"; scripts/wine-run chooses alike), else the
    first; VARNETH_WINEPREFIX names another."""
    if "VARNETH_WINEPREFIX" in os.environ:
        return Path(os.environ["VARNETH_WINEPREFIX"])
    lane = os.environ.get("CTEST_RESOURCE_GROUP_0_PREFIX", "").removeprefix("id:").split(",")[0]
    return ROOT / "build" / "wine" / ("test-prefix" if lane in ("", "1") else f"test-prefix-{lane}")


def wine_env(**extra):
    env = dict(os.environ)
    env.setdefault("VARNETH_WINEPREFIX", str(wine_prefix()))
    env["WINEPREFIX"] = env["VARNETH_WINEPREFIX"]
    env["WINEDEBUG"] = "-all"
    # LC_ALL overrides any LC_CTYPE the caller (or Python itself) has set.
    env["LANG"] = env["LC_ALL"] = "zh_CN.UTF-8"
    env.pop("DISPLAY", None)  # message boxes return at once without a display
    env.update(extra)
    return env


class Result:
    def __init__(self, stdout: bytes, returncode, screen: bytes):
        self.stdout = stdout
        self.returncode = returncode  # None when the program was still waiting
        self.screen = screen


# Wine's console decodes each read of the terminal on its own, so a UTF-8
# character split between two reads arrives as U+FFFD; and the kernel cuts a
# write into pieces of 2,048 bytes, which Wine may read apart. So a line goes
# in pieces that end on a character, each written once Wine has read all
# before it: with the queue empty, the kernel hands Wine a piece whole.
PIECE = 1024


def type_bytes(master, probe, line: bytes, deadline):
    while line:
        cut = len(line)
        if cut > PIECE:
            cut = next((i for i in range(PIECE, 0, -1) if (line[i] & 0xC0) != 0x80), PIECE)
        while (struct.unpack("i", fcntl.ioctl(probe, termios.FIONREAD, b"\0" * 4))[0] > 0
               and time.monotonic() < deadline):
            time.sleep(0.005)
        written = os.write(master, line[:cut])
        line = line[written:]


def run_session(exe, lines, *, timeout=30.0, on_screen=False, args=(), env=None,
                pending=b"", interrupt_when=None):
    """Runs the program, types each of `lines` (bytes, without line end) and
    gives back what it wrote to standard output; the program must end by
    itself within `timeout`. Lines are typed ahead, as a person may: the
    console keeps them until the program reads. With on_screen, standard
    output is the terminal too, as for a person: then only `screen` holds
    what it wrote, as the terminal received it. `pending` is typed last,
    without a line end. With interrupt_when, Ctrl+C comes once
    interrupt_when(screen) holds (Wine turns SIGINT into it)."""
    master, slave = pty.openpty()
    with tempfile.TemporaryFile() as out:
        proc = subprocess.Popen([str(WINE_RUN), str(exe), *args], stdin=slave,
                                stdout=slave if on_screen else out,
                                stderr=subprocess.DEVNULL, env=env or wine_env(), close_fds=True)
        # Only to see how much Wine has still to read; closed before the
        # end, so that the drain sees the terminal close.
        probe = os.open(os.ttyname(slave), os.O_RDWR | os.O_NOCTTY)
        os.close(slave)
        screen = bytearray()

        def drain():
            while True:
                try:
                    chunk = os.read(master, 4096)
                except OSError:
                    return
                if not chunk:
                    return
                screen.extend(chunk)

        reader = threading.Thread(target=drain, daemon=True)
        reader.start()
        try:
            deadline = time.monotonic() + timeout
            # Typed before Wine made the terminal raw, a line would be read
            # by the terminal's own line editing.
            while termios.tcgetattr(master)[3] & termios.ICANON:
                if time.monotonic() > deadline or proc.poll() is not None:
                    break
                time.sleep(0.01)
            for line in lines:
                type_bytes(master, probe, line + b"\r", deadline)
            type_bytes(master, probe, pending, deadline)
            os.close(probe)
            probe = None
            if interrupt_when is not None:
                while not interrupt_when(bytes(screen)) and time.monotonic() < deadline:
                    time.sleep(0.01)
                proc.send_signal(signal.SIGINT)
            try:
                returncode = proc.wait(timeout=max(1.0, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
                returncode = None
        finally:
            if probe is not None:
                os.close(probe)
            os.close(master)
            reader.join(timeout=2)
        # A killed wine loader can leave the Windows process behind.
        if returncode is None:
            subprocess.run([str(WINE_RUN), "taskkill", "/f", "/im", Path(exe).name],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           env=wine_env())
        out.seek(0)
        return Result(out.read(), returncode, bytes(screen))


def run_with_stdin(exe, stdin, timeout=30.0):
    """Runs the program with a non-console standard input (a file, a pipe or
    /dev/null) and gives back its standard output and exit code."""
    with tempfile.TemporaryFile() as out:
        proc = subprocess.run([str(WINE_RUN), str(exe)], stdin=stdin, stdout=out,
                              stderr=subprocess.DEVNULL, env=wine_env(), timeout=timeout)
        out.seek(0)
        return Result(out.read(), proc.returncode, b"")


class CommandResult:
    def __init__(self, stdout: bytes, stderr: bytes, returncode):
        self.stdout = stdout
        self.stderr = stderr
        self.returncode = returncode  # None when it had to be stopped


def run_command_line(exe, args, *, stdin=subprocess.DEVNULL, timeout=60.0, env=None):
    """Runs the program with arguments and a standard input that is no
    console: /dev/null by default, or subprocess.PIPE for a pipe that stays
    open (it is never written to or closed while the program runs)."""
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        proc = subprocess.Popen([str(WINE_RUN), str(exe), *args], stdin=stdin, stdout=out,
                                stderr=err, env=env or wine_env())
        try:
            returncode = proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            returncode = None
        finally:
            if proc.stdin:
                proc.stdin.close()
        out.seek(0)
        err.seek(0)
        return CommandResult(out.read(), err.read(), returncode)


def reg(*args, check=False):
    """Runs Wine's reg.exe; gives back (exit code, output). With check, a
    failure is tried once more, its reason written to the test's log: a
    seeding import failed once in many suite runs with no word on stdout,
    and what reg said on stderr is what tells why."""
    def run():
        return subprocess.run([str(WINE_RUN), "reg", *args], stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, env=wine_env(), stdin=subprocess.DEVNULL)
    proc = run()
    if check and proc.returncode != 0:
        sys.stderr.write(f"reg {' '.join(args)} failed ({proc.returncode}): "
                         f"{proc.stdout!r} {proc.stderr!r}; trying once more\n")
        proc = run()
        if proc.returncode != 0:
            raise AssertionError(f"reg {' '.join(args)} failed ({proc.returncode}): "
                                 f"{proc.stdout!r} {proc.stderr!r}")
    return proc.returncode, proc.stdout


def import_reg(text: str):
    """Seeds the registry from .reg text (REGEDIT4, code page 936)."""
    with tempfile.NamedTemporaryFile("wb", suffix=".reg", delete=False) as f:
        f.write(("REGEDIT4\r\n\r\n" + text.replace("\n", "\r\n")).encode("cp936"))
        name = f.name
    try:
        subprocess.run([str(WINE_RUN), "regedit", "/S", name], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=wine_env())
    finally:
        os.unlink(name)


def import_reg5(text: str):
    """Seeds the registry from .reg text in the editor's Unicode format
    (version 5, UTF-16), which carries any character."""
    with tempfile.NamedTemporaryFile("wb", suffix=".reg", delete=False) as f:
        body = "Windows Registry Editor Version 5.00\r\n\r\n" + text.replace("\n", "\r\n")
        f.write(b"\xff\xfe" + body.encode("utf-16-le"))
        name = f.name
    try:
        reg("import", windows_path(name), check=True)
    finally:
        os.unlink(name)


def export_key(key: str) -> str:
    """The key with everything below it as Wine's reg.exe exports it (a
    stable dump to compare states with); "" when the key does not exist."""
    return export_keys([key])[key]


def export_keys(keys) -> dict:
    """export_key of each key, from one export per top-level key (Software
    of HKCU, ...) of the keys' closest common parent there: a Wine process
    costs more than the export of a larger tree."""
    groups = {}
    for key in keys:
        name = full_key_name(key)
        groups.setdefault(tuple(name.upper().split("\\")[:2]), []).append((key, name))
    found = {}
    for members in groups.values():
        common = os.path.commonprefix([name.upper().split("\\") for _, name in members])
        sections = _exported_sections(members[0][1][:len("\\".join(common))])
        for key, name in members:
            # When the parent is not there (or will not export), the key alone.
            mine = _exported_sections(name) if sections is None and len(members) > 1 else sections
            # The export spells the names it was given as given: each key's
            # own part is spelled as the caller spelled it.
            found[key] = "".join(f"[{name}{text[len(name) + 1:]}" for path, text in mine or []
                                 if path == name.upper() or path.startswith(name.upper() + "\\"))
    return found


def full_key_name(key: str) -> str:
    """The key as reg.exe's export names it: its root spelled out."""
    root, _, rest = key.partition("\\")
    root = ROOT_NAMES.get(root.upper(), root)
    return f"{root}\\{rest}" if rest else root


ROOT_NAMES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE", "HKU": "HKEY_USERS",
              "HKCR": "HKEY_CLASSES_ROOT"}


def _exported_sections(key: str):
    """(upper-case key path, its section of the export) for the key and every
    key below it, in the export's order; None when it does not export."""
    with tempfile.TemporaryDirectory() as tmp:
        dump = Path(tmp) / "key.reg"
        if reg("export", key, windows_path(dump), "/y")[0] != 0:
            return None
        text = dump.read_bytes().decode("utf-16")
    sections = []
    for section in text.split("\r\n\r\n"):
        if section.startswith("["):
            sections.append((section.split("\r\n", 1)[0][1:-1].upper(), section + "\r\n\r\n"))
    return sections


def windows_path(path) -> str:
    """A Unix path as Wine's Windows programs name it (drive Z: is /)."""
    return "Z:" + str(path).replace("/", "\\")


def local_app_data() -> Path:
    """The prefix user's %LOCALAPPDATA%, on the Unix side."""
    prefix = Path(wine_env()["WINEPREFIX"])
    found = sorted(prefix.glob("drive_c/users/*/AppData/Local"))
    found = [p for p in found if p.parent.parent.name != "Public"]
    return found[0]


def backup_folder() -> Path:
    return local_app_data() / "Varneth" / "Backups"


def key_exists(key: str) -> bool:
    return reg("query", key)[0] == 0


def value_exists(key: str, name: str) -> bool:
    if name == "":
        code, out = reg("query", key, "/ve")
        return code == 0 and b"(value not set)" not in out
    return reg("query", key, "/v", name)[0] == 0


def delete_key(key: str):
    reg("delete", key, "/f")


def deletions(keys) -> str:
    """.reg text that deletes each key with everything below it."""
    return "".join(f"[-{key}]\n\n" for key in keys)


def delete_keys(keys):
    """delete_key of each key, in one Wine process."""
    import_reg5(deletions(keys))


def exe_from_argv():
    import argparse
    import sys
    global LINK_TOOL
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    args, rest = parser.parse_known_args()
    sys.argv[1:] = rest
    LINK_TOOL = Path(args.exe).parent / "varneth_test_link.exe"
    return Path(args.exe)


LINK_TOOL: Path = None


def link_tool(*args) -> int:
    return subprocess.run([str(WINE_RUN), str(LINK_TOOL), *args], stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, env=wine_env(),
                          stdin=subprocess.DEVNULL).returncode


def make_link(key: str, target: str):
    """Makes `key` ("HKCU\\..." or "HKLM\\...") a registry link to `target`."""
    if link_tool("make", key, target) != 0:
        raise AssertionError(f"cannot make the link {key}")


def is_link(key: str) -> bool:
    return link_tool("is", key) == 0


def remove_link(key: str):
    """Removes the link itself, never its target."""
    link_tool("remove", key)


# What Windows' HKCU\Software\Classes links to: the user's classes hive.
WINDOWS_CLASSES_LINK = r"\REGISTRY\USER\<SID>_Classes"


def lay_classes_out_as_windows(test_class, target=WINDOWS_CLASSES_LINK):
    r"""While the test class runs, HKCU\Software\Classes is as on Windows: a
    link (naming `target`, <SID> the user's) to the hive
    HKEY_USERS\<SID>_Classes, which holds the user's classes. Wine keeps the
    hive in memory only, as long as the prefix's wineserver runs."""
    if link_tool("classes-hive", target) != 0:
        link_tool("classes-key")
        raise AssertionError(r"cannot lay HKCU\Software\Classes out as Windows does")
    test_class.addClassCleanup(link_tool, "classes-key")


class VarnethTestCase(unittest.TestCase):
    exe: Path = None

    def assert_bytes(self, actual: bytes, expected: bytes):
        self.assertEqual(actual, expected, f"\nactual:   {actual!r}\nexpected: {expected!r}")

    def seed_keys(self, keys, text, *, unicode=False):
        """Seeds .reg text (REGEDIT4, or with unicode the editor's version 5);
        its keys are removed before and after the test, and so are the
        machine's extension keys it writes (the ties). One Wine process each
        time, however many keys."""
        ties = re.findall(r"^\[(HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\\.vn[^\\\]]+)", text, re.M)
        removed = list(keys) + sorted(set(ties) - set(keys))
        self.addCleanup(delete_keys, removed)
        (import_reg5 if unicode else import_reg)(deletions(removed) + text)
        return keys

    def assert_gone(self, keys):
        for key in keys:
            self.assertFalse(key_exists(key), key)

    def assert_kept(self, keys):
        for key in keys:
            self.assertTrue(key_exists(key), key)
