# The public names of the headers a host gets installed: classes and structs with their public
# and protected members (what a host may call, read or override), enumerations with their
# values, free functions and macros. Library-internal parts are left out as the build leaves
# them out: headers ending in _internal.h are not installed, and what stands under
# #ifdef QX_INTERNAL_API is not declared for hosts.
import pathlib
import re
from dataclasses import dataclass, field

# Macros that declare a whole class: the class is named by the argument.
CLASS_MACROS = ("QX_DECLARE_STD_FUNCTION", "QX_DECLARE_BY_NAME_FUNCTION")


@dataclass
class Entity:
    kind: str  # "class", "enum", "function" or "macro"
    name: str
    header: str
    members: list = field(default_factory=list)  # member names, or (enumerator, value) pairs


def installed_headers(root):
    return sorted(p for p in (root / "qx").rglob("*.h")
                  if not p.name.endswith("_internal.h") and "internal" not in p.parent.parts)


def _strip_comments(text):
    return re.sub(r"//[^\n]*|/\*.*?\*/", " ", text, flags=re.S)


def _host_view(text):
    """The text with continued lines joined and the QX_INTERNAL_API sections left out."""
    out, skipping = [], []  # one flag per open #if: whether its lines are left out
    for line in text.replace("\\\n", " ").split("\n"):
        directive = line.strip()
        if re.match(r"#\s*if", directive):
            skipping.append(bool(skipping and skipping[-1]) or
                            directive == "#ifdef QX_INTERNAL_API")
        elif re.match(r"#\s*endif", directive):
            skipping.pop()
            continue
        if not (skipping and skipping[-1]):
            out.append(line)
    return "\n".join(out)


def _macros(text, header, entities):
    """Adds the macros a host sees (not those #undef'd again); returns the rows X(value, name, ...)
    of each X-list macro, which enumerations expand."""
    undefined = set(re.findall(r"#\s*undef\s+(\w+)", text))
    rows = {}
    for name, param, body in re.findall(r"#\s*define\s+(\w+)(?:\((\w*)\))?([^\n]*)", text):
        if name in undefined:
            continue
        if name not in [e.name for e in entities if e.kind == "macro"]:  # one per platform
            entities.append(Entity("macro", name, header))
        found = re.findall(r"\b" + param + r"\((-?\d+),\s*(\w+)", body) if param else []
        if found:
            rows[name] = [(n, int(v)) for v, n in found]
    return rows


def _tokens(text):
    text = re.sub(r"^\s*#[^\n]*", " ", text, flags=re.M)
    text = re.sub(r'"(\\.|[^"\\])*"', '""', text)
    return re.findall(r"\w+|::|->|\S", text)


def _balanced(tokens, i):
    """Index after the bracket group that starts at tokens[i]."""
    pairs = {"{": "}", "(": ")", "[": "]"}
    depth = 0
    for j in range(i, len(tokens)):
        if tokens[j] in pairs:
            depth += 1
        elif tokens[j] in pairs.values():
            depth -= 1
            if depth == 0:
                return j + 1
    return len(tokens)


def _declaration(tokens, i):
    """(end, tokens of the declaration at tokens[i], its body or None)."""
    j = i
    while j < len(tokens):
        t = tokens[j]
        if t == ";":
            return j + 1, tokens[i:j], None
        if t in "([":
            j = _balanced(tokens, j)
            continue
        if t == "{":
            end = _balanced(tokens, j)
            if end < len(tokens) and tokens[end] == ";":
                end += 1
            return end, tokens[i:j], tokens[j + 1:_balanced(tokens, j) - 1]
        j += 1
    return j, tokens[i:j], None


def _enumerators(body, macro_rows):
    values, nxt = [], 0
    for item in _split(body, ","):
        if not item:
            continue
        if item[0] in macro_rows:
            values += macro_rows[item[0]]
            continue
        name, value = item[0], nxt
        if len(item) > 2 and item[1] == "=":
            literal = "".join(item[2:])
            value = int(literal) if re.fullmatch(r"-?\d+", literal) else None
        values.append((name, value))
        nxt = value + 1 if value is not None else None
    return values


def _split(tokens, sep):
    parts, current, depth = [], [], 0
    for t in tokens:
        depth += t in "([{<"
        depth -= t in ")]}>"
        if t == sep and depth == 0:
            parts.append(current)
            current = []
        else:
            current.append(t)
    parts.append(current)
    return parts


def _member_name(decl):
    """The name a member declaration declares; None for what a host cannot use."""
    if not decl or decl[0] in ("friend", "using", "typedef") or "delete" in decl:
        return None
    if "operator" in decl:
        at = decl.index("operator")
        return "operator" + "".join(decl[at + 1:decl.index("(", at + 1)])
    paren = decl.index("(") if "(" in decl else None
    if paren is not None and not ("=" in decl and decl.index("=") < paren):
        name = decl[paren - 1]
        return "~" + name if paren > 1 and decl[paren - 2] == "~" else name
    stops = [k for k, t in enumerate(decl) if t in ("=", "[", ":")]
    end = stops[0] if stops else len(decl)
    names = [t for t in decl[:end] if re.fullmatch(r"[A-Za-z_]\w*", t)]
    return names[-1] if names else None


def _class(decl, body, header, macro_rows, entities):
    words = [t for t in decl if t not in ("QX_API", "final")]
    name = words[1]
    access = "private" if words[0] == "class" else "public"
    members, i = [], 0
    while i < len(body):
        if body[i] in ("public", "protected", "private") and body[i + 1:i + 2] == [":"]:
            access, i = body[i], i + 2
            continue
        i, member, inner = _declaration(body, i)
        if access == "private" or not member:
            continue
        if member[0] == "enum":
            _enum(member, inner, header, macro_rows, entities)
        elif member[0] in ("struct", "class", "union") and inner is not None:
            if len(member) == 1:  # an anonymous union: its fields are the class's own
                members += [_member_name(d) for d in _split(inner, ";")]
        else:
            members.append(_member_name(member))
    entities.append(Entity("class", name, header, [m for m in members if m]))


def _enum(decl, body, header, macro_rows, entities):
    words = [t for t in decl if t not in ("class", "struct")]
    if body is not None and len(words) > 1:
        entities.append(Entity("enum", words[1], header, _enumerators(body, macro_rows)))


def _scope(tokens, header, macro_rows, entities):
    i = 0
    while i < len(tokens):
        if tokens[i] == "namespace":
            end = _balanced(tokens, i + 2)
            _scope(tokens[i + 3:end - 1], header, macro_rows, entities)
            i = end
            continue
        i, decl, body = _declaration(tokens, i)
        if not decl:
            continue
        if decl[0] in CLASS_MACROS:
            entities.append(Entity("class", decl[2], header, []))
        elif decl[0] == "enum":
            _enum(decl, body, header, macro_rows, entities)
        elif decl[0] in ("class", "struct") and body is not None:
            _class(decl, body, header, macro_rows, entities)
        elif "(" in decl and decl[0] not in ("class", "struct"):
            entities.append(Entity("function", decl[decl.index("(") - 1], header))


def public_names(root):
    """Every entity a host sees in the installed headers, in header order."""
    entities = []
    for path in installed_headers(root):
        header = str(path.relative_to(root))
        text = _host_view(_strip_comments(path.read_text()))
        macro_rows = _macros(text, header, entities)
        _scope(_tokens(text), header, macro_rows, entities)
    return entities
