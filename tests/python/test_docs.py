"""The examples of docs/python.md and the README run as printed."""

import contextlib
import io
import re
import warnings

from conftest import SOURCE_DIR


def blocks(name):
    text = (SOURCE_DIR / name).read_text("utf-8")
    return re.findall(r"```python\n(.*?)```", text, re.S)


def test_examples_run(monkeypatch):
    monkeypatch.chdir(SOURCE_DIR)  # the examples name examples/... from the clone
    for name in ("docs/python.md", "README.md"):
        code = "\n".join(blocks(name))
        assert code, name
        with warnings.catch_warnings(), contextlib.redirect_stdout(io.StringIO()) as out:
            warnings.simplefilter("ignore")
            exec(compile(code, name, "exec"), {})
        assert "Age in years" in out.getvalue() or name != "README.md"
