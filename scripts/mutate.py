#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Mutation testing: plants one small fault at a time in a scratch copy of the sources and runs the tests.

Started by scripts/mutate.sh, which documents the options. The repository itself is only read (through git);
every file written lives in the scratch folder.
"""

import argparse
import bisect
import difflib
import fcntl
import hashlib
import json
import os
import random
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time

STATE_VERSION = 1
BUILD_TIMEOUT = 900
CONFIGURE = [
    "-G", "Ninja",
    "-DCMAKE_BUILD_TYPE=Release",
    # The optimisation of the usual build (RelWithDebInfo) without its debug information, which only slows linking.
    "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG",
    # A mutant that only warns must still build and count.
    "-DOSTRAND_WERROR=OFF",
    "-DOSTRAND_BUILD_BENCH=OFF",
]


class Interrupted(Exception):
    pass


def say(*parts, **kwargs):
    print(*parts, flush=True, **kwargs)


def fail(message):
    say(f"mutate: {message}", file=sys.stderr)
    sys.exit(2)


def git(repo, *args, binary=False):
    out = subprocess.run(["git", "-C", repo, *args], check=True, stdout=subprocess.PIPE)
    return out.stdout if binary else out.stdout.decode("utf-8", "surrogateescape")


# ---------------------------------------------------------------------------------------------------------------
# Child processes: each runs in its own session so that Ctrl-C reaches only this script, which ends them.

CHILDREN = set()


def end_group(proc):
    """Ends the child and everything it started: a test may outlive ctest, or hang in its own SIGTERM handler."""
    for sig, grace in ((signal.SIGTERM, 3.0), (signal.SIGKILL, 5.0)):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            break
        deadline = time.monotonic() + grace
        while time.monotonic() < deadline:
            proc.poll()
            try:
                os.killpg(proc.pid, 0)
            except ProcessLookupError:
                break
            time.sleep(0.05)
        else:
            continue
        break
    try:
        proc.wait(timeout=5)
    except subprocess.TimeoutExpired:
        pass


def start(cmd, cwd, log_path):
    with open(log_path, "wb") as log:
        proc = subprocess.Popen(cmd, cwd=cwd, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                start_new_session=True)
    CHILDREN.add(proc)
    return proc


def finish(proc):
    CHILDREN.discard(proc)


def end_all_children():
    for proc in list(CHILDREN):
        end_group(proc)
        CHILDREN.discard(proc)


# ---------------------------------------------------------------------------------------------------------------
# The scratch copy of HEAD's tracked files. A manifest remembers each file's blob and stat, so that only files whose
# content differs are written (and get a new modification time): ninja then rebuilds only what changed.

def blob_id(data):
    return hashlib.sha1(b"blob %d\0" % len(data) + data).hexdigest()


def head_files(repo):
    files = {}
    raw = git(repo, "ls-tree", "-r", "-z", "--full-tree", "HEAD", binary=True)
    for entry in raw.split(b"\0"):
        if not entry:
            continue
        meta, path = entry.split(b"\t", 1)
        mode, kind, sha = meta.decode().split()
        if kind != "blob":
            continue
        files[path.decode("utf-8", "surrogateescape")] = (mode, sha)
    return files


def read_blobs(repo, shas):
    """The contents of the given blobs, read through one `git cat-file --batch`."""
    result = {}
    if not shas:
        return result
    proc = subprocess.Popen(["git", "-C", repo, "cat-file", "--batch"], stdin=subprocess.PIPE,
                            stdout=subprocess.PIPE)
    proc.stdin.write("".join(s + "\n" for s in shas).encode())
    proc.stdin.close()
    for sha in shas:
        header = proc.stdout.readline().split()
        size = int(header[2])
        result[sha] = proc.stdout.read(size)
        proc.stdout.read(1)
    proc.wait()
    return result


def file_stat(path):
    st = os.lstat(path)
    return [st.st_size, st.st_mtime_ns]


def touch_now(path):
    """Gives the file a modification time later than any object built from it."""
    now = time.time_ns()
    st = os.stat(path)
    os.utime(path, ns=(now, max(now, st.st_mtime_ns + 1)))


def sync_tree(repo, tree, state):
    files = head_files(repo)
    manifest = state.setdefault("manifest", {})
    to_write = []
    for path, (mode, sha) in files.items():
        full = os.path.join(tree, path)
        known = manifest.get(path)
        if known and known[0] == sha and os.path.lexists(full):
            try:
                if file_stat(full) == known[1:]:
                    continue
            except OSError:
                pass
        if os.path.lexists(full) and not os.path.isdir(full):
            data = os.readlink(full).encode("utf-8", "surrogateescape") if os.path.islink(full) else \
                open(full, "rb").read()
            same_kind = os.path.islink(full) == (mode == "120000")
            if same_kind and blob_id(data) == sha:
                manifest[path] = [sha] + file_stat(full)
                continue
        to_write.append(path)
    blobs = read_blobs(repo, sorted({files[p][1] for p in to_write}))
    for path in to_write:
        mode, sha = files[path]
        full = os.path.join(tree, path)
        if os.path.isdir(full) and not os.path.islink(full):
            shutil.rmtree(full)
        elif os.path.lexists(full):
            os.unlink(full)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        if mode == "120000":
            os.symlink(blobs[sha].decode("utf-8", "surrogateescape"), full)
        else:
            with open(full, "wb") as out:
                out.write(blobs[sha])
            os.chmod(full, 0o755 if mode == "100755" else 0o644)
            touch_now(full)
        manifest[path] = [sha] + file_stat(full)
    # Files that HEAD no longer has.
    removed = 0
    for root, dirs, names in os.walk(tree, topdown=False):
        for name in names:
            full = os.path.join(root, name)
            rel = os.path.relpath(full, tree)
            if rel not in files:
                os.unlink(full)
                manifest.pop(rel, None)
                removed += 1
        for name in dirs:
            full = os.path.join(root, name)
            if os.path.isdir(full) and not os.path.islink(full) and not os.listdir(full):
                os.rmdir(full)
    for rel in [p for p in manifest if p not in files]:
        manifest.pop(rel)
    return files, len(to_write), removed


# ---------------------------------------------------------------------------------------------------------------
# Reading C++: a masked copy of the text of the same length, with comments, preprocessor lines, the insides of
# string and character literals, attributes and static_asserts blanked, so that the patterns below see only code.

def mask_source(text):
    out = list(text)
    n = len(text)

    def blank(a, b, fill=" "):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = fill

    i = 0
    line_start = True
    while i < n:
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if c in " \t\r\f\v":
            i += 1
            continue
        if line_start and c == "#":
            e = i
            while True:
                e = text.find("\n", e)
                if e < 0:
                    e = n
                    break
                if text[e - 1] == "\\" or (text[e - 1] == "\r" and text[e - 2] == "\\"):
                    e += 1
                    continue
                break
            # A block comment opened on a directive line runs on past it.
            line = text[i:e]
            if line.rfind("/*") > line.rfind("*/"):
                end = text.find("*/", e)
                e = n if end < 0 else end + 2
            blank(i, e)
            i = e
            continue
        line_start = False
        if text.startswith("//", i):
            e = text.find("\n", i)
            e = n if e < 0 else e
            blank(i, e)
            i = e
            continue
        if text.startswith("/*", i):
            e = text.find("*/", i + 2)
            e = n if e < 0 else e + 2
            blank(i, e)
            i = e
            continue
        if c == '"':
            j = i
            while j > 0 and (text[j - 1].isalnum() or text[j - 1] == "_"):
                j -= 1
            prefix = text[j:i]
            if prefix in ("R", "u8R", "uR", "UR", "LR"):
                paren = text.find("(", i + 1)
                delim = text[i + 1:paren] if paren >= 0 else ""
                end = text.find(")" + delim + '"', paren + 1) if paren >= 0 else -1
                close = n - 1 if end < 0 else end + len(delim) + 1
                blank(i + 1, close, "_")
                i = close + 1
                continue
            j = i + 1
            while j < n and text[j] != '"' and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, min(j, n), "_")
            i = j + 1
            continue
        if c == "'":
            j = i
            while j > 0 and (text[j - 1].isalnum() or text[j - 1] in "_'"):
                j -= 1
            if j < i and text[j].isdigit():
                i += 1  # a digit separator
                continue
            j = i + 1
            while j < n and text[j] != "'" and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            blank(i + 1, min(j, n), "_")
            i = j + 1
            continue
        i += 1
    masked = "".join(out)

    def blank_regions(pattern, through_semicolon):
        nonlocal masked
        chars = list(masked)
        for m in re.finditer(pattern, masked):
            a = m.start()
            if through_semicolon:
                e = masked.find(";", m.end())
                e = n if e < 0 else e + 1
            else:
                e = m.end()
            for k in range(a, e):
                if chars[k] != "\n":
                    chars[k] = " "
        masked = "".join(chars)

    blank_regions(r"\bstatic_assert\b", True)
    blank_regions(r"\[\[.*?\]\]", False)
    return masked


NS, CLASS, CODE, INIT = range(4)
BODY_WORDS = {"else", "do", "try", "const", "noexcept", "override", "final", "mutable"}


def previous_significant(masked, i):
    j = i - 1
    while j >= 0 and masked[j].isspace():
        j -= 1
    return j


def word_before(masked, j):
    k = j
    while k >= 0 and (masked[k].isalnum() or masked[k] == "_"):
        k -= 1
    return masked[k + 1:j + 1]


def classify_brace(masked, i, top):
    if top == INIT:
        return INIT
    j = previous_significant(masked, i)
    pc = masked[j] if j >= 0 else ";"
    k = j
    while k >= 0 and masked[k] not in ";{}":
        k -= 1
    head = masked[k + 1:i]
    if re.search(r'\bnamespace\b|\bextern\s*"', head):
        return NS
    if pc == ")" or pc == "]":
        return CODE
    if re.search(r"\b(class|struct|union|enum)\b", head) and "=" not in head and "(" not in head:
        return CLASS
    if pc in ";{}:":
        return CODE
    if (pc.isalnum() or pc == "_") and word_before(masked, j) in BODY_WORDS:
        return CODE
    if "->" in head and (pc.isalnum() or pc in "_>"):
        return CODE
    return INIT


class Source:
    """One file's text with what the mutation operators need to know about each position."""

    def __init__(self, path, text):
        self.path = path
        self.text = text
        self.masked = mask_source(text)
        self.line_starts = [0] + [m.end() for m in re.finditer("\n", text)]
        n = len(text)
        self.kind = bytearray(n)
        self.paren = [0] * n
        stack = [[NS, 0]]
        masked = self.masked
        for i, c in enumerate(masked):
            top = stack[-1]
            self.kind[i] = top[0]
            self.paren[i] = top[1]
            if c in "([":
                top[1] += 1
            elif c in ")]":
                top[1] = max(0, top[1] - 1)
            elif c == "{":
                stack.append([classify_brace(masked, i, top[0]), 0])
            elif c == "}" and len(stack) > 1:
                stack.pop()

    def line_of(self, offset):
        return bisect.bisect_right(self.line_starts, offset)

    def line_span(self, line):
        a = self.line_starts[line - 1]
        b = self.line_starts[line] if line < len(self.line_starts) else len(self.text)
        return a, b

    def first_code(self, line):
        a, b = self.line_span(line)
        seg = self.masked[a:b]
        stripped = len(seg) - len(seg.lstrip())
        if a + stripped >= b or seg.strip() == "":
            return None
        return a + stripped

    def statement_end(self, p):
        """Offset of the `;` ending the statement that starts at p, and whether a brace opened at its top level."""
        depth = 0
        braced = False
        masked = self.masked
        limit = min(len(masked), p + 3000)
        for i in range(p, limit):
            c = masked[i]
            if c in "([{":
                if c == "{" and depth == 0:
                    braced = True
                depth += 1
            elif c in ")]}":
                depth -= 1
                if depth < 0:
                    return None, braced
            elif c == ";" and depth == 0:
                return i, braced
        return None, braced

    def matching_open(self, close):
        depth = 0
        for i in range(close, -1, -1):
            c = self.masked[i]
            if c == ")":
                depth += 1
            elif c == "(":
                depth -= 1
                if depth == 0:
                    return i
        return None

    def matching_close(self, open_):
        depth = 0
        for i in range(open_, len(self.masked)):
            c = self.masked[i]
            if c == "(":
                depth += 1
            elif c == ")":
                depth -= 1
                if depth == 0:
                    return i
        return None

    def statement_start(self, line, strict):
        """The offset where a statement starts on this line, or None."""
        p = self.first_code(line)
        if p is None or self.kind[p] != CODE or self.paren[p] != 0:
            return None
        c = self.masked[p]
        if not (c.isalpha() or c in "_(:~"):
            return None
        j = previous_significant(self.masked, p)
        if j < 0:
            return None
        pc = self.masked[j]
        if pc in ";{}":
            return p
        if pc == ":":
            before = self.masked[self.line_starts[self.line_of(j) - 1]:j + 1].strip()
            if re.fullmatch(r"(case\b.*|default|[A-Za-z_]\w*)\s*:", before) and not before.endswith("::"):
                return p
            return None
        if strict:
            return None
        if pc == ")":
            o = self.matching_open(j)
            if o is not None and word_before(self.masked, previous_significant(self.masked, o)) in (
                    "if", "for", "while"):
                return p
            return None
        if word_before(self.masked, j) in ("else", "do"):
            return p
        return None


# ---------------------------------------------------------------------------------------------------------------
# Mutation operators. Each site is one mutant: a span of the text and what replaces it.

FLIPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "=="}
NOT_CALLS = {"return", "co_return", "co_await", "co_yield", "delete", "throw", "goto", "new", "sizeof", "case",
             "default", "typedef", "using", "emit", "if", "for", "while", "switch", "catch", "do", "else", "assert",
             "static_cast", "reinterpret_cast", "const_cast", "dynamic_cast", "decltype"}
NOT_SWAPPED = {"return", "co_return", "break", "continue", "goto", "throw", "case", "default", "else", "if", "for",
               "while", "do", "switch", "try", "catch", "using", "typedef"}
CALL_SKELETON = re.compile(
    r"(?:\(\)\s*)?(?:::)?~?[A-Za-z_]\w*(?:\[\])?(?:\s*(?:::|\.|->)\s*~?[A-Za-z_]\w*(?:\[\])?)*\s*(?:<[^;()]*>)?\s*\(\)"
    r"(?:\s*(?:\.|->)\s*[A-Za-z_]\w*\s*\(\))*\s*;")
DECLARED = re.compile(
    r"(?:(?:const|constexpr|static|inline|thread_local|volatile|unsigned|signed|long|short)\s+)*"
    r"[A-Za-z_][\w:]*\s*(?:<.*?>)?[\s&*]+([A-Za-z_]\w*)\s*(?:=|\(|\{|;|\[)", re.S)
DECLARED_CONDITION = re.compile(
    r"(?:const\s+)?(?:auto|[A-Za-z_][\w:]*(?:<[^()]*>)?)\s*[&*]*\s+[&*]*\s*[A-Za-z_]\w*\s*(?:=(?!=)|\{)"
    r"|auto\s*[&]*\s*\[")


def skeleton(masked):
    """The statement with every bracketed group at its top level reduced to () or [] and spaces squeezed."""
    out = []
    depth = 0
    for c in masked:
        if c in "([{":
            if depth == 0:
                out.append("(" if c == "(" else "[" if c == "[" else "{")
            depth += 1
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                out.append(")" if c == ")" else "]" if c == "]" else "}")
        elif depth == 0:
            out.append(c)
    return re.sub(r"\s+", " ", "".join(out)).strip()


def declared_names(masked_statement):
    s = masked_statement.strip()
    names = set()
    m = re.match(r"(?:const\s+)?auto\s*[&]*\s*\[([^\]]*)\]", s)
    if m:
        names.update(re.findall(r"[A-Za-z_]\w*", m.group(1)))
    m = DECLARED.match(s)
    if m and m.group(1) not in ("return",):
        names.add(m.group(1))
    return names


PATH = re.compile(r"[A-Za-z_]\w*(?:\s*(?:\.|->|::)\s*[A-Za-z_]\w*)*")


def written(masked_statement):
    """What a statement changes: the target of an assignment, the object of a member call, the name it declares;
    None for a free function call, which may change anything."""
    s = masked_statement.strip()
    names = declared_names(s)
    if names:
        return names
    m = re.match(r"(\*?\s*" + PATH.pattern + r")\s*(?:\[[^]]*\])?\s*(?:[-+*/%&|^]|<<|>>)?=(?!=)", s)
    if m:
        return {re.sub(r"[\s*]", "", m.group(1))}
    m = re.match(r"(?:\+\+|--)\s*(" + PATH.pattern + ")|(" + PATH.pattern + r")\s*(?:\+\+|--)", s)
    if m:
        return {re.sub(r"\s", "", m.group(1) or m.group(2))}
    m = re.match(r"(?:\(\s*void\s*\)\s*)?(" + PATH.pattern + r")\s*\(", s)
    if m:
        path = re.sub(r"\s", "", m.group(1))
        parts = re.split(r"\.|->", path)
        if len(parts) > 1:
            return {".".join(parts[:-1]).replace("->", ".")}
    return None


def depends(s1, s2):
    """Whether swapping the two statements may change what they do."""
    w1, w2 = written(s1), written(s2)
    if w1 is None or w2 is None:
        return True

    def touches(writes, other):
        paths = {re.sub(r"\s", "", p).replace("->", ".") for p in PATH.findall(other)}
        for w in writes:
            w = w.replace("->", ".")
            for p in paths:
                if p == w or p.startswith(w + ".") or w.startswith(p + "."):
                    return True
        return False

    return touches(w1, s2) or touches(w2, s1)


def sites_of(src, rng):
    text, masked = src.text, src.masked
    sites = []

    def add(kind, detail, a, b, repl):
        sites.append({"file": src.path, "line": src.line_of(a), "last": src.line_of(max(a, b - 1)), "kind": kind,
                      "detail": detail, "start": a, "end": b, "repl": repl})

    # Comparisons, written with spaces around them (template brackets never are).
    for m in re.finditer(r"(?<=[ \t])(==|!=|<=|>=|<|>)(?=\s)", masked):
        op = m.group(1)
        add("flip-comparison", f"{op} to {FLIPS[op]}", m.start(), m.end(), FLIPS[op])

    # Decimal integer constants.
    for m in re.finditer(r"(?<![\w.'])(\d[\d']*)([uUlLzZ]*)(?![\w.'])", masked):
        digits = m.group(1).replace("'", "")
        if len(digits) > 1 and digits.startswith("0"):
            continue
        if digits == "0" and re.search(r"\)\s*(?:const\s*)?(?:override\s*)?=\s*$", masked[:m.start()][-80:]):
            continue  # a pure virtual function
        value = int(digits)
        new = value + 1 if value == 0 or rng.random() < 0.5 else value - 1
        add("constant", f"{value} to {new}", m.start(1), m.end(1), str(new))

    # Statements that are only a call (its value unused) become empty.
    for line in range(1, len(src.line_starts) + 1):
        p = src.statement_start(line, strict=False)
        if p is None:
            continue
        e, braced = src.statement_end(p)
        if e is None or braced:
            continue
        stmt = masked[p:e + 1]
        first = re.match(r"(?:\(\s*void\s*\)\s*)?(?:::)?([A-Za-z_]\w*)", stmt)
        if not first or first.group(1) in NOT_CALLS:
            continue
        name = first.group(1)
        if name.startswith("Q_") or re.fullmatch(r"[A-Z0-9_]+", name):
            continue  # macros: assertions and markers
        if stmt.startswith("(") and not re.match(r"\(\s*void\s*\)", stmt):
            continue
        if not CALL_SKELETON.fullmatch(skeleton(stmt)):
            continue
        callee = re.match(r"(?:\(\s*void\s*\)\s*)?([^(]*)\(", stmt).group(1)
        callee = re.sub(r"\s+", "", callee)
        add("remove-call", f"{callee}(...)", p, e + 1, ";")

    # Branch conditions negated.
    for m in re.finditer(r"\bif\b", masked):
        if src.kind[m.start()] != CODE:
            continue
        j = m.end()
        while j < len(masked) and masked[j].isspace():
            j += 1
        if j >= len(masked) or masked[j] != "(":
            continue  # also `if constexpr`
        k = src.matching_close(j)
        if k is None:
            continue
        a = j + 1
        depth = 0
        for q in range(j + 1, k):
            c = masked[q]
            if c in "([{":
                depth += 1
            elif c in ")]}":
                depth -= 1
            elif c == ";" and depth == 0:
                a = q + 1
        while a < k and masked[a].isspace():
            a += 1
        b = k
        while b > a and masked[b - 1].isspace():
            b -= 1
        if a >= b or DECLARED_CONDITION.match(masked[a:b]):
            continue
        add("negate-if", "if (x) to if (!(x))", a, b, "!(" + text[a:b] + ")")

    # Two adjacent one-line statements swapped.
    for line in range(1, len(src.line_starts)):
        p1 = src.statement_start(line, strict=True)
        if p1 is None:
            continue
        p2 = src.statement_start(line + 1, strict=True)
        if p2 is None:
            continue
        e1, _ = src.statement_end(p1)
        e2, _ = src.statement_end(p2)
        if e1 is None or e2 is None or src.line_of(e1) != line or src.line_of(e2) != line + 1:
            continue
        a1, b1 = src.line_span(line)
        a2, b2 = src.line_span(line + 1)
        if masked[e1 + 1:b1].strip() or masked[e2 + 1:b2].strip():
            continue
        if p1 - a1 != p2 - a2:
            continue
        s1, s2 = masked[p1:e1 + 1], masked[p2:e2 + 1]
        w1, w2 = re.match(r"[A-Za-z_]\w*", s1), re.match(r"[A-Za-z_]\w*", s2)
        if (w1 and w1.group(0) in NOT_SWAPPED) or (w2 and w2.group(0) in NOT_SWAPPED):
            continue
        if text[p1:e1 + 1].strip() == text[p2:e2 + 1].strip():
            continue
        if any(re.search(rf"\b{re.escape(n)}\b", s2) for n in declared_names(s1)) or \
                any(re.search(rf"\b{re.escape(n)}\b", s1) for n in declared_names(s2)):
            continue  # a name used before its declaration: it would not build
        if not depends(s1, s2):
            continue  # two statements that touch different things: swapped, they do the same
        first, second = text[a1:b1], text[a2:b2]
        if not second.endswith("\n"):
            continue
        add("swap-statements", f"lines {line} and {line + 1}", a1, b2, second + first)
    return sites


# ---------------------------------------------------------------------------------------------------------------
# Which lines the compiler sees: code in an #if branch not taken here would only make mutants nothing can kill.

CONDITIONAL = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif|else)\b", re.M)


def preprocess_command(build, rel, tree):
    try:
        with open(os.path.join(build, "compile_commands.json")) as f:
            entries = json.load(f)
    except (OSError, ValueError):
        return None
    full = os.path.join(tree, rel)
    folder = os.path.dirname(full)
    chosen = None
    for want in (lambda e: e["file"] == full,
                 lambda e: os.path.dirname(e["file"]) == folder and "/src/" in e["file"],
                 lambda e: e["file"].startswith(os.path.join(tree, rel.split("/")[0], rel.split("/")[1]))):
        chosen = next((e for e in entries if want(e) and "_autogen" not in e["file"]), None)
        if chosen:
            break
    if not chosen:
        return None
    args = chosen.get("arguments") or shlex.split(chosen["command"])
    cmd = []
    skip = False
    for arg in args:
        if skip:
            skip = False
            continue
        if arg in ("-o", "-MT", "-MF", "-MQ"):
            skip = True
            continue
        if arg in ("-c", "-MD", "-MMD") or arg == chosen["file"]:
            continue
        cmd.append(arg)
    header = not rel.endswith(".cpp")
    cmd += ["-E", "-w"] + (["-x", "c++"] if header else []) + [full, "-o", "-"]
    return cmd, chosen["directory"], full


def active_lines(rel, text, tree, build, cache, sha):
    if not CONDITIONAL.search(text):
        return None
    key = f"{rel}@{sha}"
    if key in cache:
        return set(cache[key])
    found = preprocess_command(build, rel, tree)
    lines = None
    if found:
        cmd, cwd, full = found
        out = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if out.returncode == 0:
            lines = set()
            current, number = None, 0
            for row in out.stdout.decode("utf-8", "surrogateescape").split("\n"):
                m = re.match(r'# (\d+) "(.*)"', row)
                if m:
                    current, number = m.group(2), int(m.group(1))
                    continue
                if current == full and row.strip():
                    lines.add(number)
                number += 1
    if lines is not None:  # a failure is tried again next time
        cache[key] = sorted(lines)
    return lines


# ---------------------------------------------------------------------------------------------------------------
# Tests: the names and durations come from an unmutated run; for each mutant, tests that relate to its file run
# first, then the rest, stopping at the first failure.

def list_tests(build):
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build, check=True, stdout=subprocess.PIPE)
    tests = []
    for t in json.loads(out.stdout)["tests"]:
        labels = []
        for prop in t.get("properties", []):
            if prop["name"] == "LABELS":
                labels = prop["value"]
        tests.append({"name": t["name"], "labels": labels})
    return tests


GENERIC = {"src", "core", "cpp", "h", "tst", "test", "tests", "common", "e2e", "install", "main"}


def words(name):
    out = set()
    for piece in re.split(r"[/_.\-]", name):
        out.update(w.lower() for w in re.findall(r"[A-Z]+(?![a-z])|[A-Z]?[a-z]+", piece))
    return {w for w in out if len(w) > 1} - GENERIC


def related(a, b):
    if a == b:
        return True
    n = 0
    for x, y in zip(a, b):
        if x != y:
            break
        n += 1
    return n >= 5


def areas_of(rel):
    """The test labels of the area of the program the file belongs to."""
    top = rel.split("/")[1] if rel.count("/") >= 2 else ""
    return {"cli": {"cli"}, "app": {"gui", "e2e"}, "options": {"gui", "e2e"}, "filelist": {"gui", "e2e"}}.get(
        top, {"core"})


def order_tests(rel, tests, durations, kills):
    """Tests that killed mutants of this file or its folder before, then those whose names share a word with the
    file's path, then the others of its area of the program, shortest first; then the rest."""
    fw = words(rel)
    areas = areas_of(rel)
    by_file = kills.get(rel, {})
    by_dir = kills.get("dir:" + os.path.dirname(rel), {})
    first, near, rest = [], [], []
    for t in tests:
        name = t["name"]
        score = sum(1 for w in words(name) if any(related(w, v) for v in fw))
        took = durations.get(name, 1.0)
        if score or by_file.get(name) or by_dir.get(name):
            first.append(((-by_file.get(name, 0), -by_dir.get(name, 0), -score, took), name))
        elif areas & set(t["labels"]):
            near.append((took, name))
        else:
            rest.append((took, name))
    rest.sort()
    # The longest of the rest starts at once, beside the short ones, so that a mutant nothing kills costs little
    # more than the suite run on all cores.
    if len(rest) > 1:
        rest.insert(0, rest.pop())
    return [name for _, name in sorted(first)] + [name for _, name in sorted(near)] + [name for _, name in rest]


def run_tests(build, names, jobs, timeouts, logs, stop_on_failure, log_prefix="test"):
    """Runs the tests in order, `jobs` at a time. Returns (durations, failures) where failures are (name, why)."""
    queue = list(names)
    running = {}
    durations, failures = {}, []
    try:
        while queue or running:
            while queue and len(running) < jobs and not (failures and stop_on_failure):
                name = queue.pop(0)
                proc = start(["ctest", "-R", f"^{re.escape(name)}$", "--output-on-failure", "--no-tests=error"],
                             build, os.path.join(logs, f"{log_prefix}-{name}.log"))
                running[name] = (proc, time.monotonic())
            if failures and stop_on_failure:
                break
            time.sleep(0.05)
            for name, (proc, began) in list(running.items()):
                rc = proc.poll()
                spent = time.monotonic() - began
                if rc is None:
                    if spent > timeouts.get(name, 300):
                        end_group(proc)
                        finish(proc)
                        del running[name]
                        durations[name] = spent
                        failures.append((name, "timeout"))
                    continue
                finish(proc)
                del running[name]
                durations[name] = spent
                if rc != 0:
                    failures.append((name, "failed"))
    finally:
        for proc, _ in running.values():
            end_group(proc)
            finish(proc)
    return durations, failures


def build_scratch(build, jobs, logs):
    proc = start(["ninja", "-C", build, f"-j{jobs}"], build, os.path.join(logs, "build.log"))
    try:
        proc.wait(timeout=BUILD_TIMEOUT)
    except subprocess.TimeoutExpired:
        end_group(proc)
    finally:
        finish(proc)
    return proc.returncode == 0


# ---------------------------------------------------------------------------------------------------------------

def draw_order(sites, rng):
    """The sites in the order they are tried: each draw picks a kind at random, then a place of that kind, so that
    the kinds come up about equally often however many places each has."""
    by_kind = {}
    for site in sites:
        by_kind.setdefault(site["kind"], []).append(site)
    for kind in sorted(by_kind):
        rng.shuffle(by_kind[kind])
    order = []
    while by_kind:
        kind = rng.choice(sorted(by_kind))
        order.append(by_kind[kind].pop())
        if not by_kind[kind]:
            del by_kind[kind]
    return order


def changed_lines(repo, since):
    if subprocess.run(["git", "-C", repo, "rev-parse", "--verify", "--quiet", since + "^{commit}"],
                      stdout=subprocess.DEVNULL).returncode != 0:
        fail(f"--since: {since} is not a commit")
    diff = git(repo, "diff", "-U0", "--no-color", "--no-ext-diff", "--src-prefix=a/", "--dst-prefix=b/",
               since, "HEAD", "--", "src/")
    changed = {}
    current = None
    for row in diff.split("\n"):
        if row.startswith("+++ "):
            current = row[6:] if row.startswith("+++ b/") else None
        elif row.startswith("@@") and current:
            m = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", row)
            if m:
                first, count = int(m.group(1)), int(m.group(2) or "1")
                changed.setdefault(current, set()).update(range(first, first + count))
    return changed


def unified(rel, before, after):
    return "".join(difflib.unified_diff(before.splitlines(True), after.splitlines(True), f"a/{rel}", f"b/{rel}",
                                        n=2))


def fmt_seconds(s):
    return f"{s:.1f} s" if s < 120 else f"{int(s // 60)} min {int(s % 60)} s"


def main():
    parser = argparse.ArgumentParser(prog="scripts/mutate.sh", description=__doc__)
    parser.add_argument("--since", metavar="REV", help="mutate only lines of src/ changed from REV to HEAD")
    parser.add_argument("--count", type=int, default=30, metavar="N", help="mutants to build and test (30)")
    parser.add_argument("--seed", type=int, default=1, metavar="S", help="random seed (1)")
    parser.add_argument("--jobs", type=int, default=2, metavar="J", help="parallel builds and tests (2)")
    parser.add_argument("--scratch", metavar="DIR", help="scratch folder (default: ../mutate-scratch beside the "
                        "repository, or $OSTRAND_MUTATE_SCRATCH)")
    parser.add_argument("--exclude", metavar="REGEX", help="never run the tests whose names match")
    parser.add_argument("--dry-run", action="store_true", help="list the first N places and kinds, build nothing")
    args = parser.parse_args()
    if args.count < 1 or args.jobs < 1:
        fail("--count and --jobs must be at least 1")

    here = os.path.dirname(os.path.abspath(__file__))
    repo = git(here, "rev-parse", "--show-toplevel").strip()
    changed = changed_lines(repo, args.since) if args.since else None
    scratch = os.path.abspath(args.scratch or os.environ.get("OSTRAND_MUTATE_SCRATCH") or
                              os.path.join(os.path.dirname(repo), "mutate-scratch"))
    real_repo, real_scratch = os.path.realpath(repo), os.path.realpath(scratch)
    if real_scratch == real_repo or real_scratch.startswith(real_repo + os.sep) or \
            real_repo.startswith(real_scratch + os.sep):
        fail(f"the scratch folder {scratch} must lie outside the repository")
    tree, build, logs = (os.path.join(scratch, d) for d in ("tree", "build", "logs"))
    for d in (tree, build, logs):
        os.makedirs(d, exist_ok=True)

    lock = open(os.path.join(scratch, "lock"), "w")
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except BlockingIOError:
        fail(f"another run is using {scratch}")

    state_path = os.path.join(scratch, "state.json")
    try:
        with open(state_path) as f:
            state = json.load(f)
        if state.get("version") != STATE_VERSION:
            state = {}
    except (OSError, ValueError):
        state = {}
    state["version"] = STATE_VERSION

    def save_state():
        tmp = state_path + ".tmp"
        with open(tmp, "w") as f:
            json.dump(state, f)
        os.replace(tmp, state_path)

    current = {"path": None, "data": None}  # the planted mutant's file and its original bytes

    def restore():
        if current["path"]:
            with open(current["path"], "wb") as f:
                f.write(current["data"])
            touch_now(current["path"])
            current["path"] = None

    # Tests run as root may write anywhere; a mutant that sends a file astray (a document written to /a.htm) leaves
    # it behind. New entries of the top folder are named, never removed, so that they can be cleaned up.
    watched = {"/": set(os.listdir("/"))}

    def warn_leftovers():
        for folder, known in watched.items():
            fresh = sorted(set(os.listdir(folder)) - known)
            for name in fresh:
                say(f"mutate: warning: {os.path.join(folder, name)} appeared during the tests of this mutant")
            known.update(fresh)

    def on_signal(signum, frame):
        raise Interrupted(signum)

    for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, on_signal)

    began = time.monotonic()
    results = []
    not_built = 0
    interrupted = None
    try:
        head = git(repo, "rev-parse", "--short", "HEAD").strip()
        files, written, removed = sync_tree(repo, tree, state)
        save_state()
        what = f"lines changed since {args.since}" if args.since else "all of src/"
        say(f"mutate: HEAD {head} copied to {tree} ({written} files written, {removed} removed); "
            f"mutating {what}; seed {args.seed}")

        if not os.path.exists(os.path.join(build, "build.ninja")):
            say("mutate: configuring the scratch build (the first build takes a few minutes)")
            out = subprocess.run(["cmake", "-S", tree, "-B", build] + CONFIGURE + [
                "-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld" if shutil.which("ld.lld") else "-DCMAKE_EXE_LINKER_FLAGS=",
            ], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
            if out.returncode != 0:
                say(out.stdout.decode(errors="replace"))
                fail("cmake failed")

        # The places to mutate.
        rng = random.Random(args.seed)
        cache = state.setdefault("active_lines", {})
        sites = []
        # The preprocessor needs the compile commands, which the first configure writes.
        for rel in sorted(files):
            if not rel.startswith("src/") or not rel.endswith((".cpp", ".h")):
                continue
            if changed is not None and rel not in changed:
                continue
            with open(os.path.join(tree, rel), "rb") as f:
                text = f.read().decode("utf-8", "surrogateescape")
            src = Source(rel, text)
            active = active_lines(rel, text, tree, build, cache, files[rel][1])
            for site in sites_of(src, random.Random(f"{args.seed}:{rel}")):
                span = set(range(site["line"], site["last"] + 1))
                if active is not None and not span <= active:
                    continue
                if changed is not None and not span & changed[rel]:
                    continue
                sites.append(site)
        for key in [k for k in cache if k.split("@")[0] not in files]:
            cache.pop(key)
        save_state()
        sites = draw_order(sites, rng)
        kinds = {}
        for s in sites:
            kinds[s["kind"]] = kinds.get(s["kind"], 0) + 1
        say(f"mutate: {len(sites)} places in {len({s['file'] for s in sites})} files (" +
            ", ".join(f"{k} {v}" for k, v in sorted(kinds.items())) + ")")
        if not sites:
            say("mutate: nothing to mutate")
            return 0
        if args.dry_run:
            for n, s in enumerate(sites[:args.count], 1):
                say(f"{n:3}  {s['file']}:{s['line']}  {s['kind']} ({s['detail']})")
            return 0

        # An unmutated build and test run: the tests' names and durations, and which tests fail without any
        # mutant (they are left out).
        say("mutate: building the scratch copy")
        t0 = time.monotonic()
        if not build_scratch(build, args.jobs, logs):
            fail(f"the unmutated scratch copy does not build: see {os.path.join(logs, 'build.log')}")
        tests = list_tests(build)
        if args.exclude:
            tests = [t for t in tests if not re.search(args.exclude, t["name"])]
        config = {"tree": git(repo, "rev-parse", "HEAD^{tree}").strip(), "tests": [t["name"] for t in tests]}
        baseline = state.get("baseline")
        if not baseline or baseline.get("config") != config:
            say(f"mutate: built in {fmt_seconds(time.monotonic() - t0)}; running the {len(tests)} tests unmutated")
            t1 = time.monotonic()
            durations, failures = run_tests(build, [t["name"] for t in tests], args.jobs, {}, logs, False)
            baseline = {"config": config, "durations": durations, "failing": [n for n, _ in failures],
                        "wall": time.monotonic() - t1}
            state["baseline"] = baseline
            save_state()
        failing = set(baseline["failing"])
        durations = baseline["durations"]
        for name in sorted(failing):
            say(f"mutate: warning: {name} fails without any mutant; it is left out (see {logs}/test-{name}.log)")
        tests = [t for t in tests if t["name"] not in failing]
        if not tests:
            fail("no test passes on the unmutated copy")
        # A mutant that makes a test loop forever is killed by the timeout; the floor leaves room for a busy machine.
        timeouts = {name: max(60.0, 10 * d) for name, d in durations.items()}
        say(f"mutate: {len(tests)} tests, {fmt_seconds(baseline['wall'])} for all of them unmutated "
            f"({fmt_seconds(sum(durations.get(t['name'], 0) for t in tests))} one after another)")

        kills = state.setdefault("kills", {})
        counted = 0
        for site in sites:
            if counted >= args.count:
                break
            rel = site["file"]
            path = os.path.join(tree, rel)
            with open(path, "rb") as f:
                original_bytes = f.read()
            before = original_bytes.decode("utf-8", "surrogateescape")
            after = before[:site["start"]] + site["repl"] + before[site["end"]:]
            current["path"], current["data"] = path, original_bytes
            with open(path, "wb") as f:
                f.write(after.encode("utf-8", "surrogateescape"))
            touch_now(path)
            t0 = time.monotonic()
            where = f"{rel}:{site['line']}"
            kind = f"{site['kind']} ({site['detail']})"
            built = build_scratch(build, args.jobs, logs)
            t1 = time.monotonic()
            if not built:
                restore()
                not_built += 1
                say(f"  --   {where}  {kind}  not built  {fmt_seconds(time.monotonic() - t0)}")
                continue
            order = order_tests(rel, tests, durations, kills)
            _, failures = run_tests(build, order, args.jobs, timeouts, logs, True)
            restore()
            if failures:
                # The test that failed must pass without the mutant: otherwise it is unreliable here, or the
                # mutant left something behind that the test now finds (a file outside the test's folders).
                killer, why = failures[0]
                if not build_scratch(build, args.jobs, logs):
                    fail(f"the unmutated scratch copy no longer builds: see {os.path.join(logs, 'build.log')}")
                limit = timeouts.get(killer, 300)
                took, again = run_tests(build, [killer], 1, {killer: 3 * limit}, logs, True, "unmutated")
                if again:
                    tests = [t for t in tests if t["name"] != killer]
                    say(f"  ??   {where}  {kind}  not decided: {killer} fails without the mutant too, and is left "
                        f"out from now on (see {logs}/unmutated-{killer}.log)  {fmt_seconds(time.monotonic() - t0)}")
                    warn_leftovers()
                    if not tests:
                        fail("no test is left")
                    continue
                if why == "timeout" and took.get(killer, 0) > limit / 2:
                    # Slow without the mutant as well: the machine is busy. The test gets more time from now on.
                    timeouts[killer] = 3 * took[killer]
                    say(f"  ??   {where}  {kind}  not decided: {killer} timed out, and takes "
                        f"{fmt_seconds(took[killer])} without the mutant too; it now gets "
                        f"{fmt_seconds(timeouts[killer])}  {fmt_seconds(time.monotonic() - t0)}")
                    continue
            counted += 1
            spent = time.monotonic() - t0
            built_in = t1 - t0
            if failures:
                outcome = f"killed by {killer}" + (" (timeout)" if why == "timeout" else "")
                for key in (rel, "dir:" + os.path.dirname(rel)):
                    kills.setdefault(key, {})
                    kills[key][killer] = kills[key].get(killer, 0) + 1
                save_state()
            else:
                outcome = "survived"
            results.append({"site": site, "killed": bool(failures), "diff": unified(rel, before, after)})
            say(f"{counted:4}/{args.count}  {where}  {kind}  {outcome}  {fmt_seconds(spent)} "
                f"(build {fmt_seconds(built_in)})")
            warn_leftovers()
        if counted < args.count:
            say(f"mutate: only {counted} mutants could be built from {len(sites)} places")
    except Interrupted as e:
        interrupted = e.args[0]
    finally:
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(sig, signal.SIG_IGN)
        end_all_children()
        restore()
        save_state()

    killed = sum(1 for r in results if r["killed"])
    survivors = [r for r in results if not r["killed"]]
    if interrupted is not None:
        say(f"\nmutate: interrupted; the scratch copy is restored")
    if results:
        say(f"\nScore: {killed} of {len(results)} mutants killed = {100.0 * killed / len(results):.1f} % "
            f"({len(survivors)} survived; {not_built} not built, not counted) in "
            f"{fmt_seconds(time.monotonic() - began)}")
    for r in survivors:
        s = r["site"]
        say(f"\nSurvived: {s['file']}:{s['line']}  {s['kind']} ({s['detail']})")
        say(r["diff"], end="")
    if interrupted is not None:
        return 128 + interrupted
    return 0


if __name__ == "__main__":
    sys.exit(main())
