# Every error text the guides give is one a test pins: a golden script's expectation, a unit
# test's string, a qxrun end-to-end expectation or a runnable example's output. So a text the
# library changes fails its test, and a text the guides get wrong fails here.
import re

from docs_text import ROOT, pinned_texts, quoted_texts, section

LANGUAGE = ROOT / "docs" / "language.md"
PINS = pinned_texts()
# Texts no test can bring about, with the reason.
UNREACHABLE = {
    "Arctan cos(x)=0 undefined": "no double has a cosine of exactly 0",
    "Syntaxerror ... script too long": "it takes a script of 2 GiB",
}
LOCATION = r" on line \d+, position -?\d+\."


def table_column(lines):
    """The first cells of a table's rows, below its header."""
    rows = [line for line in lines if line.startswith("|")]
    return [re.split(r"(?<!\\)\|", row)[1].strip().replace("\\|", "|") for row in rows[2:]]


def type_texts():
    table = section(ROOT / "docs" / "embedding.md", "### Error types (`eErrorType`)")
    rows = [line for line in table if line.startswith("|")]
    return set(re.findall(r'\| "([^"]+)"', "\n".join(rows)))


def compile_error_pattern(text, types):
    """A compile error as the table writes it: TYPE ... DETAIL, a bare TYPE (empty detail), or
    a text without location."""
    text = text.replace("(line break) Name= NAME", "\nName= \\w+")
    if " ... " in text:
        kind, detail = text.split(" ... ", 1)
        return re.escape(kind) + LOCATION + " " + re.escape(detail).replace("\\\\w\\+", r"\w+")
    if text in types:
        return re.escape(text) + LOCATION + " ?$"
    return re.escape(text)


def runtime_error_pattern(text):
    """A run-time text as it stands in a report: after the location or the type text, before
    the variable it names."""
    return r"(^|\. |Interpreter Error:  )" + re.escape(text.strip()) + r"( accessing Variable |$)"


def unpinned(patterns):
    return [text for text, pattern in patterns if text not in UNREACHABLE and
            not any(re.search(pattern, pin, re.M) for pin in PINS)]


def test_every_compile_error_of_the_table_is_pinned():
    types = type_texts()
    texts = table_column(section(LANGUAGE, "### Compile errors"))
    assert len(texts) > 30
    assert unpinned([(t, compile_error_pattern(t, types)) for t in texts]) == []


def test_every_run_time_error_of_the_table_is_pinned():
    texts = [t for cell in table_column(section(LANGUAGE, "### Run-time errors"))
             for t in cell.split(", ")]
    assert len(texts) > 30
    assert unpinned([(t, runtime_error_pattern(t)) for t in texts]) == []


def test_every_quoted_text_of_the_guides_is_pinned():
    texts = {(guide.name, text) for guide in [LANGUAGE, ROOT / "docs" / "functions.md",
                                               ROOT / "docs" / "embedding.md"]
             for text in quoted_texts(guide)}
    assert [(name, text) for name, text in sorted(texts) if text not in UNREACHABLE and
            not any(text.strip() in pin for pin in PINS)] == []
