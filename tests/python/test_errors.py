"""Every way a call can fail, and what the caller gets."""

import gc
import os

import pytest

import transspace


def test_missing_and_unreadable_files(tmp_path):
    for call in (transspace.load, transspace.read_xml):
        with pytest.raises(FileNotFoundError):
            call(tmp_path / "absent.json")
        with pytest.raises(IsADirectoryError):
            call(tmp_path)
    with pytest.raises(FileNotFoundError):
        transspace.diff(tmp_path / "absent.json", tmp_path / "absent.json")
    if os.geteuid() != 0:  # root reads everything
        locked = tmp_path / "locked.json"
        locked.write_text("{}")
        locked.chmod(0)
        with pytest.raises(PermissionError):
            transspace.load(locked)


def test_broken_json_has_its_position(write_source):
    path = write_source("broken.json", '{\n  "variables": [\n    {"name": }\n  ]\n}\n')
    with pytest.raises(transspace.LoadError) as caught:
        transspace.load(path)
    e = caught.value
    assert isinstance(e, ValueError) and isinstance(e, transspace.Error)
    assert (e.filename, e.lineno) == (str(path), 3)
    assert e.offset > 0 and e.msg
    assert str(e) == f"{path}:3:{e.offset}: {e.msg}"


def test_load_errors_table(write_source):
    # (what, file text, the start of the message after the name, has a position)
    rows = [
        ("broken codebook", '<codeBook xmlns="ddi:codebook:2_5"><dataDscr><var name="a">',
         "", True),
        ("plain XML", "<html/>", "an XML document that is not a DDI codebook", False),
        ("neither", "hello", "neither a JSON data source nor a DDI codebook", False),
        ("empty", "", "neither a JSON data source nor a DDI codebook", False),
        ("weight of nothing", '{"weight": "w", "variables": [{"name": "a"}]}',
         "weight: no variable", False),
    ]
    for what, text, message, positioned in rows:
        path = write_source("input", text)
        with pytest.raises(transspace.LoadError) as caught:
            transspace.load(path)
        e = caught.value
        assert str(e).startswith(f"{path}:"), what
        assert e.msg.startswith(message), (what, e.msg)
        assert (e.lineno is not None) == positioned, what
        # The same text in memory reports under the name it was given.
        with pytest.raises(transspace.LoadError) as caught:
            transspace.loads(text, name="mem")
        assert caught.value.filename == "mem" and str(caught.value).startswith("mem:"), what


def test_parse_errors():
    with pytest.raises(transspace.LoadError) as caught:
        transspace.parse_xml("<a>\n<b></a>", name="doc.xml")
    assert (caught.value.filename, caught.value.lineno) == ("doc.xml", 2)
    # Cut short, and a prefix without a namespace: where the parser stopped.
    for text, message in (("<a>\n<b>", "doc.xml:2:4: input ended before"),
                          ("<a>\n <p:b/></a>", "doc.xml:2:8: prefix 'p' can not be resolved")):
        with pytest.raises(transspace.LoadError) as caught:
            transspace.parse_xml(text, name="doc.xml")
        assert str(caught.value).startswith(message), text
    with pytest.raises(TypeError):
        transspace.parse_xml(None)


def test_external_entities_are_not_loaded(tmp_path):
    secret = tmp_path / "secret.txt"
    secret.write_text("SECRET")
    text = f'<!DOCTYPE a [<!ENTITY s SYSTEM "{secret.as_uri()}">]>\n<a>&s;</a>'
    source = tmp_path / "entity.xml"
    source.write_text(text)
    for read in (lambda: transspace.parse_xml(text, name="entity.xml"),
                 lambda: transspace.read_xml(source)):
        with pytest.raises(transspace.LoadError, match="external entity") as caught:
            read()
        assert caught.value.lineno == 2 and "SECRET" not in str(caught.value)


def test_failing_queries_raise_and_warnings_warn(examples):
    document = transspace.load(examples / "survey.json").dictionary()
    rows = [("(((", "/"), ("@label", "/nothing"), ("", "/"), ("@label", "")]
    for expression, context in rows:
        with pytest.raises(transspace.QueryError) as caught:
            document.query(expression, context)
        assert caught.value.failure and caught.value.warning, expression
        assert isinstance(caught.value, transspace.Error)
        with pytest.raises(transspace.QueryError):
            document.query_list(expression, context)
        with pytest.raises(transspace.QueryError):
            document.query_number(expression, context)
    with pytest.warns(transspace.QueryWarning):
        assert document.query("@absent", "/dictionary") == ""
    with pytest.warns(transspace.QueryWarning):
        assert document.query("/dictionary/variable/@name") == "id"  # several nodes


def test_closed_space():
    space = transspace.Space()
    space["x"] = 1
    space.close()
    assert space.closed
    for use in (lambda: space["x"], lambda: space.__setitem__("y", 2), lambda: len(space),
                lambda: "x" in space, lambda: space.__delitem__("x")):
        with pytest.raises(transspace.Error, match="closed"):
            use()
    space.close()  # again: nothing happens
    gc.collect()


def test_space_misuse():
    with transspace.Space() as space:
        with pytest.raises(KeyError):
            space["absent"]
        with pytest.raises(KeyError):
            del space["absent"]
        with pytest.raises(TypeError):
            space["x"] = object()
        with pytest.raises(transspace.Error):
            space["   "] = 1
        space["t"] = "not a number"
        with pytest.raises(transspace.QueryError):
            space["t"].as_double()
        with pytest.raises(transspace.QueryError):
            space["t"].query("/")
