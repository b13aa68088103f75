# Reading the guides as the docs tests need them: fenced code blocks with their info strings, the
# runnable examples among them, sections under a heading, the texts the guides quote, and the
# places where tests pin library texts.
import os
import pathlib
import re
from dataclasses import dataclass

ROOT = pathlib.Path(os.environ.get("QX_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
GUIDES = [ROOT / "README.md"] + sorted((ROOT / "docs").glob("*.md"))


@dataclass
class Block:
    path: pathlib.Path
    line: int  # of the opening fence, from 1
    info: str  # the info string: the language and, for qx, qxrun's options
    text: str
    end: int = 0  # the line after the closing fence
    output: str = None  # the text of an ```output block right after it, if any

    @property
    def language(self):
        return self.info.split()[0] if self.info else ""

    def where(self):
        return f"{self.path.relative_to(ROOT)}:{self.line}"


def blocks(path):
    """The fenced blocks of a guide, each with the output block that follows it, if one does."""
    found, lines, i = [], path.read_text().split("\n"), 0
    while i < len(lines):
        fence = re.match(r"^(\s*)```(.*)$", lines[i])
        if not fence:
            i += 1
            continue
        indent, start, body = len(fence.group(1)), i, []
        i += 1
        while i < len(lines) and lines[i].strip() != "```":
            body.append(lines[i][indent:])
            i += 1
        i += 1
        block = Block(path, start + 1, fence.group(2).strip(), "\n".join(body) + "\n", i)
        if block.language == "output" and found and found[-1].output is None and \
                all(not line.strip() for line in lines[found[-1].end:start]):
            found[-1].output = block.text
        else:
            found.append(block)
    return found


def all_blocks():
    return [block for guide in GUIDES for block in blocks(guide)]


def section(path, heading):
    """The lines under the heading (the whole heading line), up to the next heading of the same
    or a higher level."""
    lines = path.read_text().split("\n")
    for i, line in enumerate(lines):
        if line.rstrip() == heading:
            level = len(heading) - len(heading.lstrip("#"))
            end = next((j for j in range(i + 1, len(lines))
                        if re.match(r"#{1,%d} " % level, lines[j])), len(lines))
            return lines[i + 1:end]
    raise AssertionError(f"{path.name} has no heading {heading!r}")


def without_code(lines):
    """The lines outside code blocks."""
    out, inside = [], False
    for line in lines:
        if line.strip().startswith("```"):
            inside = not inside
        elif not inside:
            out.append(line)
    return out


def prose(path):
    return without_code(path.read_text().split("\n"))


def quoted_texts(path):
    """The texts a guide quotes in double quotes, outside code: the system's own texts. A quote
    may run over a line break inside a paragraph; a table row is a paragraph of its own."""
    paragraphs, current = [], []
    for line in prose(path) + [""]:
        if line.startswith("|") or not line.strip():
            paragraphs += [" ".join(current)] + ([line] if line.strip() else [])
            current = []
        else:
            current.append(line.strip())
    texts = []
    for paragraph in paragraphs:
        texts += re.findall(r'"([^"]+)"', re.sub(r"`[^`]*`", "", paragraph))
    return texts


def _c_string(literal):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), literal)


def pinned_texts():
    """Texts that tests compare with what the library gives: the expectations of the golden
    scripts, the string literals of the unit tests, the qxrun end-to-end expectations and the
    outputs of the guides' runnable examples."""
    pins = []
    for script in (ROOT / "tests" / "scripts").glob("*.qx"):
        for m in re.finditer(r"//\s*expect[^:]*:\s?(.*)", script.read_text()):
            pins.append(m.group(1).replace("\\n", "\n"))
    for source in (ROOT / "tests").rglob("*.cpp"):
        pins += [_c_string(m) for m in re.findall(r'"((?:\\.|[^"\\\n])*)"', source.read_text())]
    pins.append((ROOT / "tests" / "tools" / "qxrun_e2e.sh").read_text().replace("\\n", "\n"))
    pins += [block.output for block in all_blocks() if block.output]
    return pins
