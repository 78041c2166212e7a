#!/usr/bin/env python3
"""Writes the English language file from the user-visible literals of the sources.

A user-visible literal is a string literal whose text ends in a key in braces,
"English text{KEY}" (KEY of capital letters, digits and '_'; whatever follows the
last '}' is never shown). Literals of the C++ sources go into STRINGS; in the
dialog templates of the .rc files a dialog's caption key names an element of its
own (a key with '\\' or '/' names nested elements) that holds the dialog's control
literals, and the literals of a dialog without a caption key go into STRINGS.

    make-language-file.py --app TAVRIN --lcid 1033 --lang English --output FILE DIR...

The same key with two different English texts is an error, except for "x|{KEY}"
beside "x{KEY}" (a default extension and the extension itself), which are one
entry holding "x".
"""

import argparse
import os
import re
import sys
from xml.sax.saxutils import quoteattr

KEY = re.compile(r"[A-Z_][A-Z0-9_]*\Z")
CAPTION_KEY = re.compile(r"[A-Z_][A-Z0-9_]*(?:[\\/][A-Z_][A-Z0-9_]*)*\Z")
SOURCE_SUFFIXES = (".cpp", ".cc", ".h", ".hpp", ".inl")
TEMPLATE_SUFFIXES = (".rc",)
SIMPLE_ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "0": "\0", "a": "\a", "b": "\b",
                  "f": "\f", "v": "\v", "\\": "\\", "'": "'", '"': '"', "?": "?"}


class Failure(Exception):
    pass


def unescape_c(body, where):
    """The text of a C string literal's body."""
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        i += 1
        if i >= len(body):
            raise Failure(f"{where}: literal ends in a backslash")
        c = body[i]
        if c == "x":
            m = re.match(r"[0-9A-Fa-f]+", body[i + 1:])
            if not m:
                raise Failure(f"{where}: \\x without digits")
            out.append(chr(int(m.group(0), 16)))
            i += 1 + len(m.group(0))
        elif c in "uU":
            n = 4 if c == "u" else 8
            digits = body[i + 1:i + 1 + n]
            if not re.fullmatch(r"[0-9A-Fa-f]{%d}" % n, digits):
                raise Failure(f"{where}: bad \\{c} escape")
            out.append(chr(int(digits, 16)))
            i += 1 + n
        elif c in "01234567":
            m = re.match(r"[0-7]{1,3}", body[i:])
            out.append(chr(int(m.group(0), 8)))
            i += len(m.group(0))
        elif c == "\n":  # a spliced line
            i += 1
        elif c in SIMPLE_ESCAPES:
            out.append(SIMPLE_ESCAPES[c])
            i += 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


STRING_PREFIX = re.compile(r'(?:u8|[LuU])?(R?)"')


def tokens(text, path, rc):
    """Yields (kind, value, line) for identifiers, strings and punctuation, with
    comments dropped and adjacent string literals joined."""
    i = 0
    line = 1
    pending = None  # a string literal that the next one may continue
    n = len(text)
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
            continue
        if c.isspace():
            i += 1
            continue
        if text.startswith("//", i):
            while i < n and text[i] != "\n":
                i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
            continue
        m = STRING_PREFIX.match(text, i)
        if m and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            start_line = line
            j = m.end()
            if m.group(1):  # raw string R"delim( ... )delim"
                paren = text.find("(", j)
                close = -1 if paren < 0 else text.find(")" + text[j:paren] + '"', paren)
                if close < 0:
                    raise Failure(f"{path}:{line}: unterminated raw string")
                value = text[paren + 1:close]
                j = close + (paren - j) + 2
            else:
                body = []
                while True:
                    if j >= n or text[j] == "\n":
                        raise Failure(f"{path}:{line}: unterminated string")
                    if text[j] == "\\":
                        body.append(text[j:j + 2])
                        j += 2
                    elif text[j] == '"':
                        if rc and text.startswith('""', j):
                            body.append('\\"')
                            j += 2
                        else:
                            j += 1
                            break
                    else:
                        body.append(text[j])
                        j += 1
                value = unescape_c("".join(body), f"{path}:{line}")
            line += text.count("\n", i, j)
            i = j
            if pending is not None:
                pending = (pending[0] + value, pending[1])
            else:
                pending = (value, start_line)
            continue
        if pending is not None:
            yield ("string", pending[0], pending[1])
            pending = None
        if c == "'" and not rc:
            j = i + 1
            while j < n and text[j] != "'":
                j += 2 if text[j] == "\\" else 1
            i = j + 1
            continue
        if c.isdigit():  # a number, digit separators included
            j = i
            while j < n and (text[j].isalnum() or text[j] in "_.'"):
                j += 1
            i = j
            continue
        if c.isalpha() or c == "_":
            j = i
            while j < n and (text[j].isalnum() or text[j] == "_"):
                j += 1
            yield ("name", text[i:j], line)
            i = j
            continue
        yield ("punct", c, line)
        i += 1
    if pending is not None:
        yield ("string", pending[0], pending[1])


def split_literal(text):
    """(English, key) of a user-visible literal, or None."""
    open_ = text.rfind("{")
    close = text.rfind("}")
    if open_ < 0 or close < open_:
        return None
    return text[:open_], text[open_ + 1:close]


class Catalogue:
    def __init__(self):
        self.strings = {}  # key -> (English, where)
        self.dialogs = {}  # caption key -> [caption, where, {key: (English, where)}]

    @staticmethod
    def _add(table, key, english, where, what):
        # A default extension is written as a filter list of one, "mp3|{KEY}",
        # beside the extension itself, "mp3{KEY}": one entry, which holds the
        # extension, so that both readings of it stay right.
        if key in table and table[key][0] == english + "|":
            table[key] = (english, where)
            return
        if key in table and table[key][0] + "|" == english:
            return
        if key in table and table[key][0] != english:
            raise Failure(f"{where}: {what} {key} is {english!r} here but "
                          f"{table[key][0]!r} at {table[key][1]}")
        table.setdefault(key, (english, where))

    def add_string(self, literal, where):
        english, key = literal
        if not KEY.match(key):
            raise Failure(f"{where}: key {key!r} is not a name of capitals, digits and '_'")
        self._add(self.strings, key, english, where, "key")

    def add_dialog(self, caption, where):
        english, key = caption
        if not CAPTION_KEY.match(key):
            raise Failure(f"{where}: caption key {key!r} is not a path of names")
        entry = self.dialogs.setdefault(key, [english, where, {}])
        if entry[0] != english:
            raise Failure(f"{where}: dialog {key} is captioned {english!r} here but "
                          f"{entry[0]!r} at {entry[1]}")
        return entry[2]

    def add_control(self, controls, literal, where):
        english, key = literal
        if not KEY.match(key):
            raise Failure(f"{where}: key {key!r} is not a name of capitals, digits and '_'")
        self._add(controls, key, english, where, "control")


def read_source(path, catalogue):
    text = open(path, encoding="utf-8").read()
    for kind, value, line in tokens(text, path, rc=False):
        if kind == "string":
            literal = split_literal(value)
            if literal and KEY.match(literal[1]):
                catalogue.add_string(literal, f"{path}:{line}")


def is_word(token, *words):
    """Whether a token is one of the words (a keyword, not a string)."""
    return token[0] != "string" and token[1] in words


def read_templates(path, catalogue):
    text = open(path, encoding="utf-8").read()
    toks = list(tokens(text, path, rc=True))
    i = 0
    while i < len(toks):
        kind, value, line = toks[i]
        if is_word(toks[i], "DIALOG", "DIALOGEX"):
            # Statements up to the block: CAPTION "..." among them.
            j = i + 1
            caption = None
            while j < len(toks) and not is_word(toks[j], "BEGIN", "{"):
                if is_word(toks[j], "CAPTION") and j + 1 < len(toks) and toks[j + 1][0] == "string":
                    caption = split_literal(toks[j + 1][1])
                    if caption and not CAPTION_KEY.match(caption[1]):
                        caption = None
                j += 1
            controls = None
            if caption:
                controls = catalogue.add_dialog(caption, f"{path}:{line}")
            j += 1  # past BEGIN
            depth = 1
            while j < len(toks) and depth:
                k, v, ln = toks[j]
                if is_word(toks[j], "BEGIN", "{"):
                    depth += 1
                elif is_word(toks[j], "END", "}"):
                    depth -= 1
                elif k == "string":
                    literal = split_literal(v)
                    if literal and KEY.match(literal[1]):
                        if controls is None:
                            catalogue.add_string(literal, f"{path}:{ln}")
                        else:
                            catalogue.add_control(controls, literal, f"{path}:{ln}")
                j += 1
            i = j
            continue
        if kind == "string":
            literal = split_literal(value)
            if literal and KEY.match(literal[1]):
                catalogue.add_string(literal, f"{path}:{line}")
        i += 1


def escape_translation(text, where):
    """The form the localizer unescapes back into text."""
    out = []
    for c in text:
        if c == "\\":
            out.append("\\\\")
        elif c == "\n":
            out.append("\\n")
        elif c == "\r":
            out.append("\\r")
        elif c == "\t":
            out.append("\\t")
        elif c == "\0":
            out.append("\\0")
        elif ord(c) < 0x20:
            raise Failure(f"{where}: control character {ord(c):#04x} in a literal")
        elif ord(c) > 0xFFFF:
            raise Failure(f"{where}: character U+{ord(c):X} beyond what a language file holds")
        else:
            out.append(c)
    return "".join(out)


def render(catalogue, app, lcid, lang):
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             f"<{app} lang={quoteattr(lang)} lcid={quoteattr(str(lcid))}>"]
    if catalogue.strings:
        lines.append("    <STRINGS>")
        for key in sorted(catalogue.strings):
            english, where = catalogue.strings[key]
            lines.append(f"        <{key} name={quoteattr(escape_translation(english, where))} />")
        lines.append("    </STRINGS>")
    else:
        lines.append("    <STRINGS />")
    for key in sorted(catalogue.dialogs):
        caption, where, controls = catalogue.dialogs[key]
        if any(ord(c) < 0x20 or ord(c) > 0xFFFF for c in caption):
            raise Failure(f"{where}: a caption holds a control character or one beyond U+FFFF")
        parts = re.split(r"[\\/]", key)
        indent = "    "
        for part in parts[:-1]:
            lines.append(f"{indent}<{part}>")
            indent += "    "
        head = f"{indent}<{parts[-1]} name={quoteattr(caption)}"
        if controls:
            lines.append(head + ">")
            for ckey, (english, cwhere) in controls.items():
                lines.append(f"{indent}    <{ckey} name="
                             f"{quoteattr(escape_translation(english, cwhere))} />")
            lines.append(f"{indent}</{parts[-1]}>")
        else:
            lines.append(head + " />")
        for part in reversed(parts[:-1]):
            indent = indent[:-4]
            lines.append(f"{indent}</{part}>")
    lines.append(f"</{app}>")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--app", required=True)
    parser.add_argument("--lcid", type=int, default=1033)
    parser.add_argument("--lang", default="English")
    parser.add_argument("--output", required=True)
    parser.add_argument("folders", nargs="+")
    args = parser.parse_args()

    catalogue = Catalogue()
    try:
        for folder in args.folders:
            for base, dirs, files in os.walk(folder):
                dirs.sort()
                for name in sorted(files):
                    path = os.path.join(base, name)
                    if name.endswith(SOURCE_SUFFIXES):
                        read_source(path, catalogue)
                    elif name.endswith(TEMPLATE_SUFFIXES):
                        read_templates(path, catalogue)
        content = render(catalogue, args.app, args.lcid, args.lang)
    except (Failure, UnicodeDecodeError) as e:
        print(f"make-language-file: {e}", file=sys.stderr)
        return 1

    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    with open(args.output, "w", encoding="utf-8", newline="\n") as f:
        f.write(content)
    return 0


if __name__ == "__main__":
    sys.exit(main())
