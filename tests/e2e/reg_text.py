"""Reads the registry editor's export text (a backup file, or what Wine's
reg.exe exports) into the keys and values it holds, names folded as the
registry compares them."""
from pathlib import Path


def _value_name(line: str):
    """The name of a value line ("" for @), or None for no value line."""
    if line.startswith("@="):
        return ""
    if not line.startswith('"'):
        return None
    name, i = [], 1
    while i < len(line) and line[i] != '"':
        if line[i] == "\\":
            i += 1
        name.append(line[i])
        i += 1
    return "".join(name)


def read_reg(text: str):
    """(keys, values): full key paths, and (key path, value name) pairs."""
    keys, values, key = set(), set(), None
    for line in text.splitlines():
        if line.startswith("[") and line.endswith("]"):
            key = line[1:-1].upper()
            keys.add(key)
        elif key is not None:
            name = _value_name(line)
            if name is not None:
                values.add((key, name.upper()))
    return keys, values


def read_reg_file(path: Path):
    data = path.read_bytes()
    text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("cp936")
    return read_reg(text)
