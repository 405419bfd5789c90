"""Data sources, their dictionaries, XPath queries, DDI codebooks, diffs and
the value space of the transspace library.

>>> import transspace
>>> ds = transspace.load("examples/survey.json")
>>> ds["age"].label
'Age in years'
"""

from __future__ import annotations

import os
import re
import warnings
from dataclasses import dataclass
from typing import Union

from ._errors import Error, LoadError, NoteWarning, QueryError, QueryWarning
from . import _core
from ._core import DataSource, Diff, Document, Space, Value, Variable

__all__ = [
    "load", "loads", "parse_xml", "read_xml", "diff",
    "DataSource", "Variable", "VariableSet", "MultipleResponseSet",
    "Document", "Space", "Value", "Diff",
    "Error", "LoadError", "QueryError", "NoteWarning", "QueryWarning",
]
__version__ = "1.0.0"

PathLike = Union[str, "os.PathLike[str]"]

# A str's XML declaration may name any encoding; the text reaches the loader
# as UTF-8, so the declaration must say so.
_DECLARED_ENCODING = re.compile(r"""\A(\ufeff?\s*<\?xml\b[^>]*?\bencoding\s*=\s*)(["'])[^"']*\2""")


@dataclass(frozen=True)
class VariableSet:
    """A named group of variables: the members' names, in order."""

    name: str
    variables: list[str]


@dataclass(frozen=True)
class MultipleResponseSet:
    """A multiple-response set. ``kind`` is "dichotomy" (each member counts
    ``counted_value``) or "categories" (the members' categories count)."""

    name: str
    label: str
    kind: str
    counted_value: str | None
    variables: list[str]


def _opened(path: PathLike) -> str:
    """The path as str, after the checks Python's own open makes."""
    path = os.fspath(path)
    if isinstance(path, bytes):
        path = os.fsdecode(path)
    with open(path, "rb"):
        pass
    return path


def _warn_notes(source: DataSource, stacklevel: int) -> DataSource:
    for note in source.notes:
        warnings.warn(f"{source.name}: {note}", NoteWarning, stacklevel=stacklevel + 1)
    return source


def load(path: PathLike, *, file: str | None = None) -> DataSource:
    """Loads the JSON data source or DDI codebook at ``path``, told apart by
    content. ``file`` names a codebook's ``fileDscr`` ID to read only that file.
    Raises FileNotFoundError or OSError as open would, LoadError when it does
    not load; each note is also issued as a NoteWarning."""
    shown = _opened(path)
    source = _core._load(os.fsencode(shown), shown, os.path.basename(shown), file or "")
    return _warn_notes(source, 2)


def loads(text: str | bytes, *, name: str = "<string>", file: str | None = None) -> DataSource:
    """As load, for a data source held in a str or bytes."""
    if isinstance(text, str):
        text = _DECLARED_ENCODING.sub(r"\1\2UTF-8\2", text, count=1).encode("utf-8", "surrogateescape")
    elif not isinstance(text, (bytes, bytearray, memoryview)):
        raise TypeError(f"loads takes str or bytes, not {type(text).__name__}")
    source = _core._loads(bytes(text), name, file or "")
    return _warn_notes(source, 2)


def parse_xml(text: str | bytes, *, name: str = "<string>") -> Document:
    """A document value of the XML in ``text``; LoadError when it is not
    well-formed. Nothing is loaded from outside the text."""
    if not isinstance(text, (str, bytes, bytearray, memoryview)):
        raise TypeError(f"parse_xml takes str or bytes, not {type(text).__name__}")
    if not isinstance(text, str):
        text = bytes(text)
    return _core._parse_xml(text, name)


def read_xml(path: PathLike) -> Document:
    """A document value of the XML file at ``path``. A file whose root element
    is a dictionary is read without namespace processing, as the library
    writes it; any other with it."""
    shown = _opened(path)
    return _core._read_xml(os.fsencode(shown), shown)


def diff(a: PathLike | DataSource | Document, b: PathLike | DataSource | Document,
         *, file: str | None = None) -> Diff:
    """The difference of two dictionaries, each a data source, a document
    holding a dictionary, or the path of a data source or saved dictionary."""

    def operand(x):
        if isinstance(x, (DataSource, Document)):
            return x, ""
        shown = _opened(x)
        return os.fsencode(shown), shown

    (a_in, a_name), (b_in, b_name) = operand(a), operand(b)
    result, notes = _core._diff(a_in, a_name, b_in, b_name, file or "")
    for note in notes:
        warnings.warn(note, NoteWarning, stacklevel=2)
    return result


def _variable_sets(self: DataSource) -> list[VariableSet]:
    return [VariableSet(name, names) for name, names in self._variable_sets()]


def _multiple_response_sets(self: DataSource) -> list[MultipleResponseSet]:
    return [MultipleResponseSet(*fields) for fields in self._response_sets()]


def _missing_text(variable: Variable) -> str:
    parts = [repr(v) if isinstance(v, str) else f"{v:g}" for v in variable.missing_values]
    if variable.missing_range is not None:
        low, high = variable.missing_range
        parts.insert(0, f"{low:g} to {high:g}" if isinstance(low, float) else f"{low!r} to {high!r}")
    return ", ".join(parts)


def _to_dataframe(self: DataSource):
    """One row per variable: name, label, type, width, print_format,
    write_format, measure, n_value_labels, missing. Needs pandas."""
    try:
        import pandas
    except ImportError as e:
        raise ImportError(
            "DataSource.to_dataframe needs pandas: install python3-pandas "
            "(Debian) or 'pip install pandas'") from e
    rows = [
        (v.name, v.label, v.type, v.width, v.print_format, v.write_format, v.measure,
         len(v.value_labels), _missing_text(v))
        for v in self.variables
    ]
    columns = ["name", "label", "type", "width", "print_format", "write_format", "measure",
               "n_value_labels", "missing"]
    return pandas.DataFrame.from_records(rows, columns=columns)


DataSource.variable_sets = property(_variable_sets, doc="The plain variable sets, in order.")
DataSource.multiple_response_sets = property(
    _multiple_response_sets, doc="The multiple-response sets, in order.")
DataSource.to_dataframe = _to_dataframe
Diff.__str__ = lambda self: self.to_text()
