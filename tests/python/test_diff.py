"""diff: the same comparison as the tool's, from paths, sources and documents."""

import subprocess

import pytest

import transspace


def test_waves(examples):
    d = transspace.diff(examples / "survey.json", examples / "survey-wave2.json")
    assert d and d.added == ["bmi"] and d.removed == ["comment"]
    assert d.changed == [("age", ["label"]), ("sex", ["valueLabels"]),
                         ("satisfaction", ["missingValues"])]
    assert d.file == ["rowCount"]
    assert "+ bmi" in str(d)


def test_every_kind_of_operand_gives_one_answer(examples, tmp_path):
    old = transspace.load(examples / "survey.json")
    new = transspace.load(examples / "survey-wave2.json")
    saved = tmp_path / "wave2.xml"
    saved.write_text(new.dictionary().xml(), "utf-8")
    reference = transspace.diff(old, new).to_json()
    operands = [
        (examples / "survey.json", saved),
        (old.dictionary(), new),
        (old, transspace.read_xml(saved)),  # a parsed saved dictionary
        (old, transspace.parse_xml(saved.read_bytes())),
    ]
    for a, b in operands:
        assert transspace.diff(a, b).to_json() == reference, (a, b)
    same = transspace.diff(old, old.dictionary())
    assert not same and same.changed == [] and same.to_json().startswith("{")


def test_json_is_the_tools(examples, tool):
    pairs = [("survey.json", "survey-wave2.json"), ("survey.json", "codebook.xml"),
             ("minimal.json", "minimal.json")]
    for a, b in pairs:
        out = subprocess.run([tool, "diff", "--json", str(examples / a), str(examples / b)],
                             capture_output=True, text=True).stdout
        assert transspace.diff(examples / a, examples / b).to_json() == out, (a, b)


def test_not_a_dictionary(examples, tmp_path):
    other = tmp_path / "other.xml"
    other.write_text("<root/>")
    with pytest.raises(transspace.LoadError, match="other.xml"):
        transspace.diff(other, examples / "survey.json")
    with pytest.raises(transspace.Error):
        transspace.diff(transspace.parse_xml("<root/>"), examples / "survey.json")
