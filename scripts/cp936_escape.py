#!/usr/bin/env python3
"""Prints a C++ string literal of the code page 936 bytes of each argument.

Program texts live in src/runtime/program_texts.h as byte escapes with the
readable text in a comment; this keeps the bytes exact whatever the compiler's
execution character set. Usage: cp936_escape.py "关联已删除"
"""
import sys


def escape(text: str) -> str:
    out = []
    prev_hex = False
    for byte in text.encode("cp936"):
        ch = chr(byte)
        if byte >= 0x80 or byte < 0x20:
            named = {0x0D: "\\r", 0x0A: "\\n"}.get(byte)
            out.append(named if named else "\\x%02X" % byte)
            prev_hex = named is None
            continue
        if prev_hex and ch in "0123456789abcdefABCDEF":
            out.append('" "')  # a hex escape would swallow this digit
        out.append("\\" + ch if ch in '"\\' else ch)
        prev_hex = False
    return '"' + "".join(out) + '"'


if __name__ == "__main__":
    for arg in sys.argv[1:]:
        print(escape(arg.encode().decode("unicode_escape").encode("latin-1").decode("utf-8")))
