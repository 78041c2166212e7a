#!/usr/bin/env python3
"""A small CDDB server (protocol level 6 over HTTP) for the online plug-in's tests.

    cddb_server.py WORKDIR [PORT]

It reads WORKDIR/script.json, listens on 127.0.0.1 at PORT (else at a free
port), which it writes to WORKDIR/port (or "error: ..." when it cannot listen), and answers until WORKDIR/stop appears, its parent
process ends, it has served MAX_REQUESTS requests or LIFETIME seconds have
passed; then it writes WORKDIR/stopped. The plug-in reaches it as its HTTP proxy,
so each request names one of the default servers in its Host header, and the
script says how each of them behaves:

    {"hosts": {"<host>": {"mode": "answer" | "close" | "error_page" | "empty",
                          "charset": "utf-8" | "iso-8859-1" | null,
                          "submit": "accept" | "reject" | "close"}},
     "entries": [{"category": "rock", "discid": "0b014802",
                  "dtitle": "Artist / Album", "ttitles": ["Song", "Guest / Duet"],
                  "year": 1999, "genre": "Pop", "revision": 7,
                  "wrap": 0, "lines": [...]}]}

A host missing from "hosts" answers. "close" drops the connection without a
reply, "error_page" answers HTTP 500 with an HTML page, "empty" answers an empty
body. A query lists the entries of the same disc id (200 for one, 210 for
several), else those of the same track count within 60 seconds of the disc's
length (211), else 202. A read sends the entry in xmcd form: values longer than
"wrap" characters are continued on further lines of the same keyword, and
"lines" replaces the generated lines altogether. A submission is checked against
the xmcd format (headers, track offsets, disc length, disc id recomputed from
them, keywords in order) and answered 200 when it passes, 500 with the first
problem otherwise.

Every request is logged in WORKDIR/log.txt, one tab-separated line: host,
method, path, HTTP version, user agent, hello and protocol level, kind (query,
read, submit, other) and the command or the submission's verdict. Submission n
(from 1) is also kept as WORKDIR/submit-n.headers (its seven submission headers
as received) and WORKDIR/submit-n.body (the raw body).
"""

import http.server
import json
import os
import re
import sys
import time
import urllib.parse

# Wall-clock limits grow where the tests run slower (an emulated PC).
TIME_SCALE = int(os.environ.get("TAVRIN_TIME_SCALE", "1") or "1")
LIFETIME = 60 * TIME_SCALE
MAX_REQUESTS = 200
POLL = 0.05
READ_TIMEOUT = 5 * TIME_SCALE
INEXACT_SECONDS = 60

SUBMIT_HEADERS = ["Category", "Discid", "User-Email", "Submit-Mode", "Charset", "X-Cddbd-Note",
                  "Content-Length"]
CATEGORIES = {"blues", "classical", "country", "data", "folk", "jazz", "misc", "newage", "reggae",
              "rock", "soundtrack"}
HELLO = "TAVRIN-User TAVRIN-System Velmora-TAVRIN 1.0.117.0"


def detach_from_parent_streams():
    """Leaves the streams inherited from the test process, so that nothing waits on them."""
    null = os.open(os.devnull, os.O_RDWR)
    for fd in (0, 1, 2):
        os.dup2(null, fd)
    os.closerange(3, 256)


def digit_sum(n):
    return sum(int(d) for d in str(n))


def disc_id(offsets, length):
    n = sum(digit_sum(o // 75) for o in offsets)
    t = length - offsets[0] // 75
    return ((n % 255) << 24) | (t << 8) | len(offsets)


def write_atomically(path, text):
    with open(path + ".tmp", "w") as f:
        f.write(text)
    os.replace(path + ".tmp", path)


class Script:
    def __init__(self, workdir):
        self.workdir = workdir
        with open(os.path.join(workdir, "script.json"), encoding="utf-8") as f:
            script = json.load(f)
        self.hosts = script.get("hosts", {})
        self.entries = script.get("entries", [])
        self.submissions = 0

    def host(self, name):
        h = {"mode": "answer", "charset": "utf-8", "submit": "accept"}
        h.update(self.hosts.get(name, {}))
        return h

    def log(self, fields):
        line = "\t".join(f.replace("\t", " ").replace("\n", "\\n") for f in fields)
        with open(os.path.join(self.workdir, "log.txt"), "a", encoding="utf-8") as f:
            f.write(line + "\n")


def xmcd_lines(entry):
    if "lines" in entry:
        return list(entry["lines"])
    wrap = entry.get("wrap", 0)

    def keyword(name, value):
        if not wrap or len(value) <= wrap:
            return [name + "=" + value]
        return [name + "=" + value[i:i + wrap] for i in range(0, len(value), wrap)]

    lines = ["# xmcd", "#"]
    if "revision" in entry:
        lines.append("# Revision: %d" % entry["revision"])
    lines.append("DISCID=" + entry["discid"])
    lines += keyword("DTITLE", entry.get("dtitle", ""))
    if "year" in entry:
        lines.append("DYEAR=%d" % entry["year"])
    if "genre" in entry:
        lines.append("DGENRE=" + entry["genre"])
    for i, t in enumerate(entry.get("ttitles", [])):
        lines += keyword("TTITLE%d" % i, t)
    lines.append("EXTD=")
    for i in range(len(entry.get("ttitles", []))):
        lines.append("EXTT%d=" % i)
    lines.append("PLAYORDER=")
    return lines


def entry_line(e):
    return "%s %s %s" % (e["category"], e["discid"], e.get("dtitle", ""))


def query(script, words):
    # cddb query <id> <n> <offset>... <seconds>
    try:
        wanted = words[2].lower()
        count = int(words[3])
        offsets = [int(w) for w in words[4:4 + count]]
        seconds = int(words[4 + count])
        if len(words) != 5 + count or not re.fullmatch(r"[0-9a-f]{8}", wanted):
            raise ValueError
    except (IndexError, ValueError):
        return ["500 Command syntax error."]
    if count and disc_id(offsets, seconds) != int(wanted, 16):
        return ["500 Disc id does not fit the offsets."]
    exact = [e for e in script.entries if e["discid"] == wanted]
    if len(exact) == 1:
        return ["200 " + entry_line(exact[0])]
    if exact:
        return ["210 Found exact matches, list follows (until terminating `.')"] + \
            [entry_line(e) for e in exact] + ["."]
    near = [e for e in script.entries
            if int(e["discid"][-2:], 16) == count
            and abs(int(e["discid"][2:6], 16) - (seconds - offsets[0] // 75)) <= INEXACT_SECONDS]
    if near:
        return ["211 Found inexact matches, list follows (until terminating `.')"] + \
            [entry_line(e) for e in near] + ["."]
    return ["202 No match for disc ID %s." % wanted]


def read(script, words):
    if len(words) != 4:
        return ["500 Command syntax error."]
    category, wanted = words[2], words[3].lower()
    for e in script.entries:
        if e["category"] == category and e["discid"] == wanted:
            return ["210 %s %s CD database entry follows (until terminating `.')" %
                    (category, wanted)] + xmcd_lines(e) + ["."]
    return ["401 %s %s No such CD entry in database." % (category, wanted)]


def check_submission(headers, body):
    """The first problem of a submission against the xmcd format, or None."""
    for name in SUBMIT_HEADERS:
        if headers.get(name) is None:
            return "missing header " + name
    if headers["Category"] not in CATEGORIES:
        return "unknown category " + headers["Category"]
    if not re.fullmatch(r"[0-9a-f]{8}", headers["Discid"]):
        return "bad Discid header"
    if "@" not in headers["User-Email"]:
        return "bad User-Email"
    if headers["Submit-Mode"] not in ("submit", "test"):
        return "bad Submit-Mode"
    if headers["Charset"].lower() != "utf-8":
        return "bad Charset"
    if headers["Content-Length"] != str(len(body)):
        return "Content-Length %s for %d bytes" % (headers["Content-Length"], len(body))
    try:
        text = body.decode("utf-8")
    except UnicodeDecodeError:
        return "body is not UTF-8"
    if not text.endswith("\n"):
        return "last line without a line feed"
    lines = text[:-1].split("\n")
    if lines[:2] != ["# xmcd", "# Track frame offsets:"]:
        return "no xmcd signature or offsets"
    i = 2
    offsets = []
    while i < len(lines) and re.fullmatch(r"#\s*\d+", lines[i]):
        offsets.append(int(lines[i][1:]))
        i += 1
    if not offsets or offsets != sorted(offsets):
        return "no ascending track offsets"
    if lines[i:i + 1] != ["#"]:
        return "offsets not followed by an empty comment"
    m = re.fullmatch(r"# Disc length: (\d+) seconds", lines[i + 1] if i + 1 < len(lines) else "")
    if not m:
        return "no disc length"
    length = int(m.group(1))
    i += 2
    if i < len(lines) and lines[i].startswith("# Revision:"):
        if not re.fullmatch(r"# Revision: [1-9]\d*", lines[i]):
            return "bad revision"
        i += 1
    if i >= len(lines) or not re.fullmatch(r"# Submitted via: \S+ \S+", lines[i]):
        return "no submitting client"
    i += 1
    if any(line.startswith("#") for line in lines[i:]):
        return "comment after the header comments"
    keywords = [line.split("=", 1) for line in lines[i:]]
    if any(len(k) != 2 for k in keywords):
        return "line without '='"
    names = [k[0] for k in keywords]
    values = dict(keywords)
    tracks = len(offsets)
    order = ["DISCID", "DTITLE"] + (["DYEAR"] if "DYEAR" in values else []) + ["DGENRE"] + \
        ["TTITLE%d" % n for n in range(tracks)] + ["EXTD"] + \
        ["EXTT%d" % n for n in range(tracks)] + ["PLAYORDER"]
    if names != order:
        return "keywords %s, expected %s" % (",".join(names), ",".join(order))
    computed = "%08x" % disc_id(offsets, length)
    if values["DISCID"] != computed or headers["Discid"] != computed:
        return "disc id %s, computed %s" % (values["DISCID"], computed)
    if " / " not in values["DTITLE"] or not values["DTITLE"].split(" / ", 1)[1]:
        return "DTITLE without artist and title"
    if "DYEAR" in values and not re.fullmatch(r"\d{4}", values["DYEAR"]):
        return "bad DYEAR"
    if not all(values["TTITLE%d" % n] for n in range(tracks)):
        return "empty track title"
    return None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    timeout = READ_TIMEOUT

    def log_message(self, *args):
        pass

    def target(self):
        parts = urllib.parse.urlsplit(self.path)
        host = parts.hostname or (self.headers.get("Host") or "").split(":")[0]
        return host, parts.path

    def reply(self, host_script, lines):
        charset = host_script["charset"]
        text = "".join(line + "\n" for line in lines)
        body = text.encode(charset or "utf-8", errors="replace")
        self.send_response(200)
        if charset:
            self.send_header("Content-Type", "text/plain; charset=" + charset.upper())
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        self.do_POST()

    def do_POST(self):
        script = self.server.script
        host, path = self.target()
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length else b""
        h = script.host(host)
        fields = [host, self.command, path, self.request_version,
                  self.headers.get("User-Agent") or ""]

        if path == "/~cddb/submit.cgi":
            script.submissions += 1
            n = script.submissions
            headers = {name: self.headers.get(name) for name in SUBMIT_HEADERS}
            with open(os.path.join(script.workdir, "submit-%d.headers" % n), "w",
                      encoding="utf-8", newline="\n") as f:
                for name in SUBMIT_HEADERS:
                    if headers[name] is not None:
                        f.write("%s: %s\n" % (name, headers[name]))
            with open(os.path.join(script.workdir, "submit-%d.body" % n), "wb") as f:
                f.write(body)
            problem = check_submission(headers, body)
            script.log(fields + ["", "submit", problem or "ok"])
            if h["submit"] == "close":
                return
            if h["submit"] == "reject":
                self.reply(h, ["501 Invalid header: submission refused."])
            elif problem:
                self.reply(h, ["500 " + problem])
            else:
                self.reply(h, ["200 OK, submission has been sent."])
            return

        form = body.decode("utf-8", errors="replace")
        if self.command == "GET":
            form = urllib.parse.urlsplit(self.path).query
        query_fields = urllib.parse.parse_qs(form.strip(), keep_blank_values=True)
        cmd = (query_fields.get("cmd") or [""])[0]
        hello = (query_fields.get("hello") or [""])[0]
        proto = (query_fields.get("proto") or [""])[0]
        words = cmd.split()
        kind = words[1] if len(words) > 1 and words[0] == "cddb" else "other"
        script.log(fields + [hello + " proto " + proto, kind, cmd])

        if h["mode"] == "close":
            return
        if h["mode"] == "error_page":
            page = b"<html><body><h1>500 Internal Server Error</h1></body></html>\n"
            self.send_response(500)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
            return
        if h["mode"] == "empty":
            self.reply(h, [])
            return
        if path != "/~cddb/cddb.cgi" or hello != HELLO or proto != "6":
            self.reply(h, ["500 Command syntax error: bad path, hello or protocol level."])
        elif kind == "query":
            self.reply(h, query(script, words))
        elif kind == "read":
            self.reply(h, read(script, words))
        else:
            self.reply(h, ["500 Unrecognized command."])


class Server(http.server.HTTPServer):
    served = 0

    def finish_request(self, request, client_address):
        self.served += 1
        super().finish_request(request, client_address)


def main():
    workdir = sys.argv[1]
    detach_from_parent_streams()
    # The test process that started the server; when it is gone, so is the server.
    parent = os.getppid()
    port = int(sys.argv[2]) if len(sys.argv) > 2 else 0
    try:
        server = Server(("127.0.0.1", port), Handler)
    except OSError as e:
        write_atomically(os.path.join(workdir, "port"), "error: %s" % e)
        write_atomically(os.path.join(workdir, "stopped"), "")
        return
    server.script = Script(workdir)
    server.timeout = POLL
    write_atomically(os.path.join(workdir, "port"), str(server.server_address[1]))
    start = time.monotonic()
    try:
        while (server.served < MAX_REQUESTS and time.monotonic() - start < LIFETIME
               and not os.path.exists(os.path.join(workdir, "stop"))
               and (parent == 1 or os.getppid() == parent)):
            server.handle_request()
    finally:
        server.server_close()
        write_atomically(os.path.join(workdir, "stopped"), "")


if __name__ == "__main__":
    main()
