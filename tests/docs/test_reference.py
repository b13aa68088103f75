# docs/embedding.md's reference names every public name of the installed headers: each class
# and struct with every member a host can reach, each enumeration with every value and its
# number, every free function and macro. A name added to a header and not to the reference
# fails here, named with its header.
import re

from docs_text import ROOT, section, without_code
from public_names import public_names

REFERENCE = without_code(section(ROOT / "docs" / "embedding.md", "## Reference"))


def spans(lines, squeeze=False):
    """The code spans of the lines; squeezed: with whitespace removed, as operators compare."""
    found = re.findall(r"`([^`]+)`", "\n".join(lines))
    return [re.sub(r"\s+", "", s) for s in found] if squeeze else found


def scope(name):
    """Where the reference describes name: the ### section whose heading names it, else the
    table rows whose first cell names it; None when it is nowhere."""
    for i, line in enumerate(REFERENCE):
        if line.startswith("### ") and name in spans([line], squeeze=True):
            end = next((j for j in range(i + 1, len(REFERENCE))
                        if REFERENCE[j].startswith("### ")), len(REFERENCE))
            return REFERENCE[i:end]
    rows = [line for line in REFERENCE
            if line.startswith("|") and name in spans([line.split("|")[1]], squeeze=True)]
    return rows or None


def mentions(lines, member, owner):
    """Whether the lines' code spans show member: a word of its own, owner( for a constructor,
    ~owner for the destructor, operators as written."""
    if member == owner:
        return any((owner + "(") in s for s in spans(lines, squeeze=True))
    if not re.fullmatch(r"\w+", member):
        return any(member in s for s in spans(lines, squeeze=True))
    return any(re.search(r"(^|[^\w~])" + member + r"(\W|$)", s) for s in spans(lines))


def shows_value(lines, enumerator, value):
    """Whether a line names the enumerator with its number: `name` N, `name` (N), `name` = N,
    or a table row holding the name and a cell N."""
    for line in lines:
        if f"`{enumerator}`" not in line:
            continue
        if re.search(rf"`{enumerator}`\s*(=\s*|\()?{value}\b", line):
            return True
        if line.startswith("|") and str(value) in [c.strip() for c in line.split("|")]:
            return True
    return False


def missing():
    gaps, names = [], " ".join(spans(REFERENCE))
    for entity in public_names(ROOT):
        where = f"({entity.header})"
        if entity.kind in ("function", "macro"):
            if not re.search(r"(^|\W)" + entity.name + r"(\W|$)", names):
                gaps.append(f"{entity.kind} {entity.name} {where}")
            continue
        lines = scope(entity.name)
        if lines is None:
            gaps.append(f"{entity.kind} {entity.name} {where}")
        elif entity.kind == "enum":
            gaps += [f"{entity.name}::{n} = {v} {where}" for n, v in entity.members
                     if not mentions(lines, n, entity.name) or
                     (v is not None and not shows_value(lines, n, v))]
        else:
            gaps += [f"{entity.name}::{m} {where}" for m in dict.fromkeys(entity.members)
                     if not mentions(lines, m, entity.name)]
    return gaps


def test_reference_names_every_public_name_of_the_installed_headers():
    gaps = missing()
    assert not gaps, ("docs/embedding.md's reference lacks these public names (add a row to the "
                      "class's table, or the enumerator with its number):\n  " + "\n  ".join(gaps))
