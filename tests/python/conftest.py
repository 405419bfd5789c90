"""Shared fixtures: the repository's examples, the tool when it was built,
and small data sources written by the tests."""

import json
import os
import pathlib

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get(
    "TRANSSPACE_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
EXAMPLES = SOURCE_DIR / "examples"


@pytest.fixture
def examples():
    return EXAMPLES


@pytest.fixture
def tool():
    path = os.environ.get("TRANSSPACE_TOOL")
    if not path or not os.path.exists(path):
        pytest.skip("the transspace tool is not built")
    return path


def source_json(count, *, prefix="v", label="Variable"):
    """A JSON data source of count numeric variables with labels."""
    return json.dumps({
        "rowCount": count,
        "variables": [
            {"name": f"{prefix}{i}", "label": f"{label} {i}", "format": "F8.2",
             "valueLabels": [[1, "One"], [2, "Two"]]}
            for i in range(count)
        ],
    })


@pytest.fixture
def write_source(tmp_path):
    """Writes text to a file in the test's folder and returns its path."""
    def write(name, text):
        path = tmp_path / name
        path.write_bytes(text.encode("utf-8") if isinstance(text, str) else text)
        return path
    return write
