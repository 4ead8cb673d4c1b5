#!/usr/bin/env python3
"""Renders the Markdown documents as HTML pages that Windows 2000 can open.

    render-docs.py CMARK_GFM SOURCE_DIR OUT_DIR NAME.md...

Each NAME.md below SOURCE_DIR becomes NAME.html below OUT_DIR, and OUT_DIR
gets a README.txt that names README.html. The Markdown stays the source;
the pages are what the release ZIP holds, for PCs whose Notepad shows an
LF-only file as one line and whose browser is Internet Explorer 5:
- HTML 4.01, its encoding declared in a <meta http-equiv>, every character
  outside ASCII as a numeric reference, no script, no web font;
- each heading carries the anchor GitHub gives it (lower case, punctuation
  but hyphens and underscores dropped, blanks as hyphens, a repeated one
  numbered), so the Markdown's links to headings work in the pages too;
- relative links to NAME.md lead to NAME.html;
- CR LF line ends.
The output depends only on the input, so the release stays reproducible.
"""
import html
import os
import re
import subprocess
import sys

HEAD = """<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01//EN"
 "http://www.w3.org/TR/html4/strict.dtd">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=us-ascii">
<title>%s</title>
<style type="text/css">
body { font-family: Verdana, Arial, sans-serif; font-size: 80%%; margin: 1em 2em; }
pre { background: #f4f4f4; border: 1px solid #ccc; padding: 0.5em; }
code, pre { font-family: "Courier New", monospace; }
table { border-collapse: collapse; }
th, td { border: 1px solid #999; padding: 0.2em 0.4em; vertical-align: top; }
th { background: #e8e8e8; text-align: left; }
</style>
</head>
<body>
"""
TAIL = "</body>\n</html>\n"

README_TXT = """This folder holds zoderudo, zrreport, zrcheck and their documentation.

Open README.html in a web browser (double-click it) to read how to use them.
The pages in the docs folder are linked from there.
"""


def slug(text):
    # GitHub's anchors: the heading's text, lower case, without punctuation
    # other than hyphens and underscores, its blanks turned into hyphens.
    return re.sub(r"[^\w\- ]", "", text.strip().lower()).replace(" ", "-")


def add_anchors(body):
    seen = {}

    def anchor(match):
        level, inner = match.group(1), match.group(2)
        text = html.unescape(re.sub(r"<[^>]+>", "", inner))
        base = slug(text)
        count = seen.get(base, 0)
        seen[base] = count + 1
        name = base if count == 0 else "%s-%d" % (base, count)
        # An empty named anchor: what every browser since HTML 2 follows.
        return '<h%s><a name="%s"></a>%s</h%s>' % (level, name, inner, level)

    return re.sub(r"<h([1-6])>(.*?)</h\1>", anchor, body, flags=re.S)


def md_to_html_links(body):
    def relink(match):
        href, rest, text = match.group(1), match.group(2), match.group(3)
        if re.match(r"[A-Za-z][A-Za-z0-9+.-]*:", href):
            return match.group(0)
        path, hash_, anchor = href.partition("#")
        if path.endswith(".md"):
            new_path = path[:-3] + ".html"
            # A link that shows its own file name shows the page's name.
            if text == path:
                text = new_path
            path = new_path
        return '<a href="%s%s%s"%s>%s</a>' % (path, hash_, anchor, rest, text)

    return re.sub(r'<a href="([^"]*)"([^>]*)>(.*?)</a>', relink, body,
                  flags=re.S)


def render(cmark, source):
    body = subprocess.run(
        [cmark, "--extension", "table", "--extension", "strikethrough", source],
        check=True, stdout=subprocess.PIPE).stdout.decode("utf-8")
    body = md_to_html_links(add_anchors(body))
    title = re.search(r"<h1>(?:<a[^>]*></a>)?(.*?)</h1>", body, re.S)
    title = re.sub(r"<[^>]+>", "", title.group(1)) if title else \
        os.path.basename(source)[:-3]
    page = (HEAD % title) + body + TAIL
    return page.encode("ascii", "xmlcharrefreplace")


def write_crlf(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n"))


def main(cmark, source_dir, out_dir, names):
    for name in names:
        if not name.endswith(".md"):
            sys.exit("render-docs: not a Markdown file: " + name)
        write_crlf(os.path.join(out_dir, name[:-3] + ".html"),
                   render(cmark, os.path.join(source_dir, name)))
    write_crlf(os.path.join(out_dir, "README.txt"), README_TXT.encode("ascii"))


if __name__ == "__main__":
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:])
