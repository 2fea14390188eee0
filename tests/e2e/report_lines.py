"""The lines of Varneth's reports on the command line, built here only, so
that a change of wording is made in one place. Each line ends in CR LF; the
texts are code page 936."""
import re

CP = "cp936"
# Below a place that stayed, why it stayed.
UNREACHABLE = "  名称含有系统代码页无法表示的字符，Varneth 无法删除"
CHANGED_DURING_RUN = "  运行期间其他程序更改了此项，未备份的内容已保留"
KEEPS_CLASS_NAMES = "  列表中的类未能删除，其类名已保留，以便下次运行时删除"
# A registry link in a place that stayed, then the link's full path.
LINK = "  注册表链接，Varneth 既不跟随也不删除: "


def lines(*texts: str) -> bytes:
    return b"".join(text.encode(CP) + b"\r\n" for text in texts)


def place(fate: str, key: str, keys: int, values: int) -> str:
    """A place with its fate (已删除, 未能删除, 将删除) and what it held."""
    return f"{fate}: {key} ({keys} 个键, {values} 个值)"


def stayed(key: str, left_keys: int, left_values: int, gone_keys: int, gone_values: int) -> str:
    """A place that stayed, with what is left of it and what of it went."""
    return (f"未能删除: {key} (剩余 {left_keys} 个键, {left_values} 个值; "
            f"已删除 {gone_keys} 个键, {gone_values} 个值)")


def would_keep(key: str) -> str:
    """In a dry run, a kept class."""
    return f"将保留: {key}"


def would_stay(key: str, left_keys: int, left_values: int, gone_keys: int, gone_values: int) -> str:
    """In a dry run, a place the run would leave, worded as the run's line."""
    return (f"将保留: {key} (将剩余 {left_keys} 个键, {left_values} 个值; "
            f"将删除 {gone_keys} 个键, {gone_values} 个值)")


def dry_run_summary(ext: str, count: int, staying: int = 0) -> str:
    if staying:
        return f"{ext}: 试运行，将删除 {count} 项，{staying} 项将无法删除，未做任何更改"
    return f"{ext}: 试运行，将删除 {count} 项，未做任何更改"


def stayed_pattern(key: str, *reasons: str) -> bytes:
    """A place that stayed, whatever it held, followed by these reasons."""
    return (re.escape(f"未能删除: {key} (".encode(CP)) + rb"[^\r\n]*\)\r\n" +
            re.escape(lines(*reasons)))


def backup_failed(path: str, reason: str) -> str:
    return f"无法写入备份文件 {path}：{reason}，未删除任何内容。"
