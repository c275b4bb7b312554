#!/usr/bin/python3
"""The documentation a reader follows: README.md stays a front page (at
most 200 lines and 14,000 characters), it links every page in docs/, and
every relative link and #anchor in README.md and docs/*.md resolves inside
the repository, as the hosting site renders them. Sentences stay short: at
most 35 words on the front page and in the zip's guide
(resources/release-guide.txt), 50 in docs/. What the pages say of the code
is read from the code: the refusal box the guide shows, the packages the
commands install, the guest's disk and memory; no command names an archive
of one version, which the next one makes stale.
  docs_test.py [ROOT]"""

import glob
import os
import re
import sys
import urllib.parse

MAX_LINES = 200
MAX_CHARACTERS = 14000
FRONT_WORDS = 35  # the front page and the guide
DOCS_WORDS = 50
GUIDE = os.path.join("resources", "release-guide.txt")

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


LIST_ITEM = re.compile(r"^\s*(?:[-*+]|\d+[.)])\s+")
UNDERLINE = re.compile(r"^\s*(?:=+|-+)\s*$")
SENTENCE_END = re.compile(r"[.!?][\"')\]*_]*$")


def paragraphs(text):
    """The runs of prose lines of TEXT, each as (first line number, text):
    code blocks, tables, headings and underlines are no prose, and a list
    item starts a run of its own, without its marker."""
    text = COMMENT.sub(lambda m: "\n" * m.group(0).count("\n"), prose(text))
    run = []
    for number, line in enumerate(text.split("\n"), 1):
        item = LIST_ITEM.match(line)
        if (item or not line.strip() or line.lstrip().startswith("|")
                or HEADING.match(line) or UNDERLINE.match(line)):
            if run:
                yield run[0][0], "\n".join(t for _, t in run)
            run = []
            if not item:
                continue
            line = line[item.end():]
        run.append((number, line))
    if run:
        yield run[0][0], "\n".join(t for _, t in run)


def sentences(text):
    """(line number, words) of each sentence of TEXT. A sentence ends with
    ".", "!" or "?" (closing quotes and brackets after it allowed) or with
    its paragraph; a colon or semicolon goes on with it. A code span is one
    word, a link its text, and a word holds a letter or digit."""
    for first, para in paragraphs(text):
        para = CODE_SPAN.sub("code", para)
        para = re.sub(r"!?\[([^\]]*)\]\([^)]*\)", r"\1", para)
        words, line = [], first
        for m in re.finditer(r"\S+", para):
            if not re.search(r"\w", m.group(0)):
                continue
            if not words:
                line = first + para.count("\n", 0, m.start())
            words.append(m.group(0))
            if SENTENCE_END.search(m.group(0)):
                yield line, words
                words = []
        if words:
            yield line, words


def long_sentences(root, path, most):
    name = os.path.relpath(path, root)
    return [f"{name}:{line}: a sentence of {len(words)} words, at most {most}: "
            f"\"{' '.join(words[:8])} ...\""
            for line, words in sentences(read(path)) if len(words) > most]


def refusal_shown(root):
    """The guide shows the refusal box as each library spells it."""
    variants = read(os.path.join(root, "plugin", "variant.h"))
    entry = read(os.path.join(root, "plugin", "entry_points.cpp"))
    captions = re.findall(r"Variant = \{\s*\"([^\"]+)\"", variants)
    text = re.findall(r"RefusalText =\s*\"([^\"]+)\"", entry)
    if len(captions) != 2 or len(text) != 1:
        return ["plugin/: the refusal box's captions and text not found"]
    guide = " ".join(read(os.path.join(root, GUIDE)).split())
    return [f"{GUIDE}: does not show the refusal box's \"{t}\""
            for t in captions + text if t not in guide]


def packages_listed(root):
    """Every package the commands install is named in docs/building.md."""
    names = []
    for script in ("install-deps.sh", os.path.join("vm", "build-image.sh")):
        text = read(os.path.join(root, "tools", script))
        for group in re.findall(r"need\+=\(([^)]*)\)", text):
            names += group.split()
        # The guest's list: to the end of its command, over continued lines.
        guest = re.search(r"--no-install-recommends ((?:[^\n\\\"']|\\\n)+)\n", text)
        if guest:
            names += guest.group(1).replace("\\", " ").split()
    listed = set(re.findall(r"`([^`\s]+)`", read(os.path.join(root, "docs", "building.md"))))
    if not names:
        return ["tools/: no package found in install-deps.sh or vm/build-image.sh"]
    return [f"docs/building.md: the package {n} is installed but not listed"
            for n in dict.fromkeys(names) if n not in listed]


def guest_figures(root):
    """The guest's disk and memory as tools/vm/ makes them."""
    image = re.search(r"mkfs\.ext4 .* (\d+)G$",
                      read(os.path.join(root, "tools", "vm", "build-image.sh")), re.M)
    memory = re.search(r" -m (\d+) ", read(os.path.join(root, "tools", "vm", "run.sh")))
    if not image or not memory:
        return ["tools/vm/: the guest's image size or memory not found"]
    page = " ".join(read(os.path.join(root, "docs", "guest.md")).split())
    return [f"docs/guest.md: does not say {what} ({figure})"
            for what, figure in (("the image's size", f"{image.group(1)} GB"),
                                 ("the guest's memory", f"{int(memory.group(1)) // 1024} GB"))
            if figure not in page]


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
    if lines > MAX_LINES:
        problems.append(f"README.md: {lines} lines; a front page has at most {MAX_LINES}: "
                        "move the rest to docs/")
    if len(text) > MAX_CHARACTERS:
        problems.append(f"README.md: {len(text):,} characters; a front page has at most "
                        f"{MAX_CHARACTERS:,}: move the rest to docs/")
    linked = {os.path.normpath(os.path.join(root, t.partition("#")[0])) for t in targets(readme)}
    problems += [f"README.md: no link to {os.path.relpath(p, root)}, so no reader finds it"
                 for p in pages if p not in linked]
    checked = 0
    for path in [readme] + pages:
        problems += broken_links(root, path)
        checked += len(targets(path))
    guide = os.path.join(root, GUIDE)
    if not os.path.exists(guide):
        problems.append(f"{GUIDE}: missing")
    else:
        problems += long_sentences(root, guide, FRONT_WORDS) + refusal_shown(root)
    problems += long_sentences(root, readme, FRONT_WORDS)
    for path in pages:
        problems += long_sentences(root, path, DOCS_WORDS)
    for path in [readme, guide] + pages:
        if os.path.exists(path):
            problems += [f"{os.path.relpath(path, root)}: {name} goes stale at the next "
                         "version: write VERSION" for name in
                         sorted(set(re.findall(r"history-plugins-\d[\d.]*-win32", read(path))))]
    problems += packages_listed(root) + guest_figures(root)
    for problem in problems:
        print(problem)
    print(f"{lines} lines and {len(text):,} characters in README.md; {checked} links in "
          f"{1 + len(pages)} files; {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
