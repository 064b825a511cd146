#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# The documents as a browser reads them: converts the samples and a set of tricky sources with ostrand-convert,
# opens every document in headless Chromium at once (one page that frames them all and, once they are loaded,
# writes what it reads from each frame's DOM: the cells' text, the table's border and its computed colours), and
# compares that with the fields the conversion promises, cut here from the sources by the rules alone.
# Usage: browser_check.py BIN_DIR OUT_DIR CHROMIUM. Exits 0 when every document reads as promised.
import html
import json
import os
import shutil
import subprocess
import sys

bin_dir, out_dir, chromium = sys.argv[1:4]
src = os.path.join(out_dir, "sources")
docs = os.path.join(out_dir, "documents")
shutil.rmtree(out_dir, ignore_errors=True)
os.makedirs(src)
os.makedirs(docs)
failures = []


def decode(raw):
    """The source's text: UTF-16 after its byte order mark, UTF-8 when valid, Windows-1252 otherwise."""
    if raw[:2] == b"\xff\xfe":
        return raw.decode("utf-16-le", errors="surrogatepass")
    if raw[:2] == b"\xfe\xff":
        return raw.decode("utf-16-be", errors="surrogatepass")
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        table = {0x81: "\u0081", 0x8D: "\u008d", 0x8F: "\u008f", 0x90: "\u0090", 0x9D: "\u009d"}
        return "".join(table.get(b) or bytes([b]).decode("cp1252") for b in raw)


def promised_rows(raw, delimiter):
    """One row per non-empty line (carriage returns dropped), one cell per field; a byte order mark stays. A file
    of no bytes reads as the text "empty file"."""
    rows = []
    for line in (decode(raw) if raw else "empty file").split("\n"):
        line = line.replace("\r", "")
        if line:
            rows.append(line.split(delimiter) if delimiter else [line])
    return rows


# name: (bytes, delimiter, converter options)
cases = {}
samples = os.path.join(bin_dir, "Samples")
sample_delimiters = {"Comma": ",", "Semicolon": ";", "Tab": "\t", "Other (pipe)": "|"}
for name in sorted(os.listdir(samples)):
    kind = name.split(" - ")[0]
    delimiter = sample_delimiters[kind]
    option = {",": ["--comma"], ";": ["--semicolon"], "\t": ["--tab"], "|": ["--other=|"]}[delimiter]
    with open(os.path.join(samples, name), "rb") as f:
        cases["sample " + name] = (f.read(), delimiter, option)
cases["utf16"] = ("\ufeffname,ciudad\r\nJosé,Málaga\r\n北京,東京\r\n".encode("utf-16-le"), ",", [])
cases["windows-1252"] = ("caf\xe9,na\xefve,\x80 5\r\n".encode("latin-1"), ",", [])
cases["long line"] = (",".join("f%06d" % i for i in range(20000)).encode() + b"\n", ",", [])
cases["many columns"] = ("\n".join(";".join("r%dc%d" % (r, c) for c in range(300)) for r in range(20)).encode(),
                         ";", ["--semicolon"])
cases["empty"] = (b"", ",", [])
cases["markup escaped"] = (b'<b>bold</b>,x < y & z,"quoted",it\'s\n&amp;,<script>alert(1)</script>\n', ",",
                           ["--escape-html"])

colours = ["--border=3", "--text-color=#1A2B3C", "--background-color=#F0E0D0"]
expected = {}
for index, (name, (raw, delimiter, options)) in enumerate(sorted(cases.items())):
    base = "doc%02d" % index
    path = os.path.join(src, base + ".csv")
    with open(path, "wb") as f:
        f.write(raw)
    run = subprocess.run([os.path.join(bin_dir, "ostrand-convert"), "-q", "-o", docs] + colours + options + [path],
                         capture_output=True)
    if run.returncode != 0:
        failures.append("%s: ostrand-convert failed: %s" % (name, run.stderr.decode(errors="replace")))
        continue
    expected[base] = (name, promised_rows(raw, delimiter))

# One page frames every document; once all are loaded it writes what it reads into #out.
frames = "".join('<iframe id="%s" src="documents/%s.htm"></iframe>' % (b, b) for b in sorted(expected))
page = """<!DOCTYPE html><html><body>%s<pre id="out"></pre><script>
window.addEventListener("load", () => {
  const read = {};
  for (const frame of document.querySelectorAll("iframe")) {
    const doc = frame.contentDocument;
    const table = doc.querySelector("table");
    read[frame.id] = {
      tables: doc.querySelectorAll("table").length,
      border: table ? table.getAttribute("border") : null,
      color: table ? getComputedStyle(table).color : null,
      background: table ? getComputedStyle(table).backgroundColor : null,
      cellColor: doc.querySelector("td") ? frame.contentWindow.getComputedStyle(doc.querySelector("td")).color : null,
      rows: Array.from(doc.querySelectorAll("tr"), tr => Array.from(tr.querySelectorAll("td"), td => td.textContent))
    };
  }
  document.getElementById("out").textContent = JSON.stringify(read);
});
</script></body></html>""" % frames
with open(os.path.join(out_dir, "page.html"), "w") as f:
    f.write(page)

dump = subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--allow-file-access-from-files",
                       "--virtual-time-budget=10000", "--dump-dom", "file://" + os.path.join(out_dir, "page.html")],
                      capture_output=True, timeout=120)
text = dump.stdout.decode()
start = text.find('<pre id="out">')
end = text.find("</pre>", start)
if start < 0 or end < 0 or end == start + len('<pre id="out">'):
    sys.exit("FAIL: the browser wrote nothing back (exit %d): %s" % (dump.returncode, dump.stderr.decode()[-600:]))
read = json.loads(html.unescape(text[start + len('<pre id="out">'):end]))

for base, (name, rows) in sorted(expected.items()):
    got = read.get(base)
    if got is None:
        failures.append("%s: not read" % name)
        continue
    if got["tables"] != 1 or got["border"] != "3":
        failures.append("%s: %d table(s), border %r" % (name, got["tables"], got["border"]))
    if got["color"] != "rgb(26, 43, 60)" or got["background"] != "rgb(240, 224, 208)":
        failures.append("%s: colours %s on %s" % (name, got["color"], got["background"]))
    if rows and got["cellColor"] != "rgb(26, 43, 60)":
        failures.append("%s: cell colour %s" % (name, got["cellColor"]))
    if got["rows"] != rows:
        for i, (a, b) in enumerate(zip(got["rows"], rows)):
            if a != b:
                failures.append("%s: row %d reads %r, promised %r" % (name, i + 1, a[:8], b[:8]))
                break
        else:
            failures.append("%s: %d rows read, %d promised" % (name, len(got["rows"]), len(rows)))

for failure in failures:
    print("FAIL: " + failure, file=sys.stderr)
if not failures:
    print("%d documents read in the browser as promised" % len(expected))
sys.exit(1 if failures else 0)
