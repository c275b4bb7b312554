#!/usr/bin/python3
"""The documentation a reader follows: README.md stays a front page (at
most 200 lines and 14,000 characters), it links every page in docs/, and
every relative link and #anchor in README.md and docs/*.md resolves inside
the repository, as the hosting site renders them.
  docs_test.py [ROOT]"""

import glob
import os
import re
import sys
import urllib.parse

MAX_LINES = 200
MAX_CHARACTERS = 14000

FENCE = re.compile(r"^ {0,3}(`{3,}|~{3,})")
COMMENT = re.compile(r"<!--.*?-->", re.S)
CODE_SPAN = re.compile(r"(`+)(.+?)\1", re.S)
LINK = re.compile(r"\]\(\s*<?([^()\s<>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
REFERENCE = re.compile(r"^ {0,3}\[[^\]]+\]:\s*<?(\S+?)>?(?:\s|$)", re.M)
HTML_TARGET = re.compile(r"<(?:a|img)\b[^>]*?\b(?:href|src)=\"([^\"]*)\"", re.I)
HTML_ANCHOR = re.compile(r"<a\b[^>]*?\b(?:id|name)=\"([^\"]+)\"", re.I)
HEADING = re.compile(r"^ {0,3}#{1,6}\s+(.*?)(?:\s+#+)?\s*$")


def prose(text):
    """TEXT without fenced code blocks: links and headings there are code."""
    kept, fence = [], None
    for line in text.split("\n"):
        m = FENCE.match(line)
        if fence:
            if m and m.group(1)[0] == fence[0] and len(m.group(1)) >= len(fence):
                fence = None
            kept.append("")
        elif m:
            fence = m.group(1)
            kept.append("")
        else:
            kept.append(line)
    return "\n".join(kept)


def slug(heading):
    """The anchor the hosting site gives a heading."""
    text = CODE_SPAN.sub(lambda m: m.group(2), heading)
    text = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"<[^>]+>", "", text).lower()
    text = "".join(c for c in text if c.isalnum() or c in "-_ ")
    return text.replace(" ", "-")


def anchors(path):
    text = COMMENT.sub("", prose(read(path)))
    found, seen = set(HTML_ANCHOR.findall(text)), {}
    for line in text.split("\n"):
        m = HEADING.match(line)
        if m:
            base = slug(m.group(1))
            n = seen.get(base, 0)
            seen[base] = n + 1
            found.add(base if n == 0 else f"{base}-{n}")
    return found


def targets(path):
    text = CODE_SPAN.sub("", COMMENT.sub("", prose(read(path))))
    return LINK.findall(text) + REFERENCE.findall(text) + HTML_TARGET.findall(text)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def broken_links(root, path):
    """What is wrong with each relative link of PATH, in words."""
    problems = []
    for target in targets(path):
        if re.match(r"^[a-zA-Z][a-zA-Z0-9+.-]*:|^//", target):
            continue  # another site's page: not ours to resolve
        where, _, fragment = target.partition("#")
        name = os.path.relpath(path, root)
        resolved = (os.path.normpath(os.path.join(os.path.dirname(path),
                                                  urllib.parse.unquote(where)))
                    if where else path)
        if os.path.relpath(resolved, root).startswith(".."):
            problems.append(f"{name}: {target} leads out of the repository")
        elif not os.path.exists(resolved):
            problems.append(f"{name}: {target}: no such file")
        elif fragment and not resolved.endswith(".md"):
            problems.append(f"{name}: {target}: an anchor in a file that has none")
        elif fragment and urllib.parse.unquote(fragment) not in anchors(resolved):
            problems.append(f"{name}: {target}: no heading or anchor "
                            f"#{fragment} in {os.path.relpath(resolved, root)}")
    return problems


def main(argv):
    root = os.path.abspath(argv[1] if len(argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    readme = os.path.join(root, "README.md")
    pages = sorted(glob.glob(os.path.join(root, "docs", "*.md")))
    problems = []
    text = read(readme)
    lines = len(text.splitlines())
    if lines > MAX_LINES or len(text) > MAX_CHARACTERS:
        problems.append(f"README.md: {lines} lines and {len(text):,} characters; a front page "
                        f"has at most {MAX_LINES} and {MAX_CHARACTERS:,}: move the rest to docs/")
    linked = {os.path.normpath(os.path.join(root, t.partition("#")[0])) for t in targets(readme)}
    problems += [f"README.md: no link to {os.path.relpath(p, root)}, so no reader finds it"
                 for p in pages if p not in linked]
    checked = 0
    for path in [readme] + pages:
        problems += broken_links(root, path)
        checked += len(targets(path))
    for problem in problems:
        print(problem)
    print(f"{lines} lines and {len(text):,} characters in README.md; {checked} links in "
          f"{1 + len(pages)} files; {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
