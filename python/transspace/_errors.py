"""The exceptions and warnings of transspace."""

from __future__ import annotations

import re

__all__ = ["Error", "LoadError", "QueryError", "NoteWarning", "QueryWarning"]

# "name:3:17: message" after the name, as the loaders write their one line.
_POSITION = re.compile(r"(\d+):(\d+): (.*)\Z", re.S)


class Error(Exception):
    """The base of every error transspace raises."""


class LoadError(Error, ValueError):
    """A file or text that does not load as what was asked.

    ``str(e)`` is the loader's one line (``name:line:column: message``);
    ``filename``, ``lineno``, ``offset`` and ``msg`` are as SyntaxError has
    them (``lineno`` and ``offset`` None when the error has no position).
    """

    def __init__(self, line: str, filename: str | None = None) -> None:
        super().__init__(line)
        self.filename = filename
        self.lineno: int | None = None
        self.offset: int | None = None
        self.msg = line
        rest = line
        if filename is not None and line.startswith(filename + ":"):
            rest = line[len(filename) + 1 :].lstrip()
            self.msg = rest
        match = _POSITION.match(rest)
        if match:
            self.lineno = int(match.group(1))
            self.offset = int(match.group(2))
            self.msg = match.group(3)

    def __str__(self) -> str:
        return str(self.args[0])


class QueryError(Error):
    """A query, or a reading of a value, that failed: the library's failure
    flag, with its warning flag beside it."""

    def __init__(self, message: str, *, warning: bool = False, failure: bool = True) -> None:
        super().__init__(message)
        self.warning = warning
        self.failure = failure


class NoteWarning(UserWarning):
    """What a loader could not carry into the data source (one note)."""


class QueryWarning(UserWarning):
    """A query or reading whose answer is empty, absent or partial: the
    library's warning flag without its failure flag."""
