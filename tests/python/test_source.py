"""Loading data sources and reading their dictionaries."""

import math
import os
import pathlib
import subprocess
import sys
import warnings

import pytest

import transspace

CODEBOOK_TWO_FILES = """<?xml version="1.0" encoding="ISO-8859-1"?>
<codeBook xmlns="ddi:codebook:2_5" version="2.5">
  <fileDscr ID="F1"><fileTxt><dimensns><caseQnty>10</caseQnty></dimensns></fileTxt></fileDscr>
  <fileDscr ID="F2"><fileTxt><dimensns><caseQnty>20</caseQnty></dimensns></fileTxt></fileDscr>
  <dataDscr>
    <var ID="A" name="a" files="F1"><labl>Stra\u00dfe</labl></var>
    <var ID="B" name="b" files="F2"><labl>B</labl></var>
    <var ID="C" name="c" files="F2"><labl>C</labl><location width="abc"/></var>
  </dataDscr>
</codeBook>
"""


def test_survey_as_a_user_reads_it(examples):
    ds = transspace.load(examples / "survey.json")
    assert ds.name == "survey.json"
    assert len(ds) == 15 and ds.row_count == 1500
    assert [v.name for v in ds][:3] == ["id", "age", "sex"]
    assert ds.weight is ds["wgt"]
    assert ds.attributes["Origin"] == ["Household panel", "Wave 3"]

    age = ds["AGE"]  # letter case ignored, as the data source does
    assert (age.name, age.label, age.type, age.width) == ("age", "Age in years", "numeric", 0)
    assert (age.measure, age.alignment, age.display_width) == ("scale", "right", 8)
    assert age.missing_values == (999.0,)
    assert age.missing_range == (-math.inf, 0.0)
    assert age.attributes == {"$Role": ["input"], "Question": ["Q1", "How old are you?"]}
    assert ds["income"].missing_range == (100000.0, math.inf)
    assert ds["income"].print_format == "DOLLAR12.2"
    assert ds["height"].print_format == "F5.1" and ds["height"].write_format == "F8.3"

    sat = ds["satisfaction"]
    assert list(sat.value_labels)[:2] == [1.0, 2.0]  # the data source's order
    assert sat.value_labels[8.0] == "Don't know" and sat.missing_values == (8.0, 9.0)
    city = ds["city"]
    assert (city.type, city.width, city.print_format) == ("string", 20, "A20")
    assert city.value_labels == {"BER": "Berlin", "MUC": "München", "NA": "Not asked"}
    assert city.missing_values == ("NA", "XX")
    assert ds["height"].label == "Größe (cm)"
    assert ds["comment"].label in ("", None)


def test_lookup_and_containment(examples):
    ds = transspace.load(str(examples / "survey.json"))
    assert "Age" in ds and "nothing" not in ds and 3 not in ds
    with pytest.raises(KeyError, match="nothing"):
        ds["nothing"]
    variables = ds.variables
    variables.clear()  # a copy: the source keeps its own
    assert len(ds.variables) == 15


def test_sets(examples):
    ds = transspace.load(examples / "survey.json")
    assert [s.name for s in ds.variable_sets] == ["demographics", "shopping"]
    assert ds.variable_sets[0].variables[:2] == ["age", "sex"]
    shops, brands = ds.multiple_response_sets
    assert (shops.kind, shops.counted_value, shops.label) == ("dichotomy", "1", "Shops visited")
    assert (brands.kind, brands.counted_value) == ("categories", None)
    assert brands.variables == ["brand1", "brand2"]


def test_codebook_and_its_files(write_source):
    path = write_source("two.xml", CODEBOOK_TWO_FILES.encode("iso-8859-1"))
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        everything = transspace.load(path)
        second = transspace.load(path, file="F2")
    assert [v.name for v in everything] == ["a", "b", "c"]
    assert everything["a"].label == "Straße"  # declared ISO-8859-1, read whole
    assert [v.name for v in second] == ["b", "c"] and second.row_count == 20
    # The width that is not a number is one note, issued once per load.
    assert len(second.notes) == 1 and "width" in second.notes[0]
    notes = [w for w in caught if issubclass(w.category, transspace.NoteWarning)]
    assert len(notes) == 2 and str(notes[0].message).startswith("two.xml: ")
    assert notes[0].filename == __file__  # pointing at the caller


def test_notes_can_fail(write_source):
    path = write_source("two.xml", CODEBOOK_TWO_FILES.encode("iso-8859-1"))
    with warnings.catch_warnings():
        warnings.simplefilter("error", transspace.NoteWarning)
        with pytest.raises(transspace.NoteWarning):
            transspace.load(path)


def test_loads_str_and_bytes(examples):
    text = (examples / "survey.json").read_text("utf-8")
    for given in (text, text.encode("utf-8")):
        ds = transspace.loads(given)
        assert ds.name == "<string>" and ds["height"].label == "Größe (cm)"
    # A str keeps its characters whatever encoding its declaration names.
    with pytest.warns(transspace.NoteWarning, match="^cb: "):
        ds = transspace.loads(CODEBOOK_TWO_FILES, name="cb")
    assert ds["a"].label == "Straße" and ds.name == "cb"
    with pytest.warns(transspace.NoteWarning, match="ignored"):
        ds = transspace.loads(text, file="F1")
    assert len(ds) == 15
    with pytest.raises(TypeError):
        transspace.loads(42)


def test_path_like(examples, tmp_path):
    class Path:
        def __fspath__(self):
            return str(examples / "minimal.json")
    assert transspace.load(Path()).row_count == 250
    assert transspace.load(pathlib.Path(examples / "minimal.json")).variables[1].name == "y"


def test_texts_whole_in_the_c_locale(examples):
    # The package runs the host in UTF-8 mode whatever the locale says.
    script = (
        "import transspace, sys\n"
        f"ds = transspace.load({str(examples / 'survey.json')!r})\n"
        "d = ds.dictionary()\n"
        "q = \"/dictionary/variable[@name='height']\"\n"
        "assert ds['height'].label == 'Größe (cm)', ds['height'].label\n"
        "assert d.query('@label', q) == 'Größe (cm)'\n"
        "assert d.query('count(/dictionary/variable[@label=\"Größe (cm)\"])') == '1'\n"
        "print('ok')\n"
    )
    env = dict(os.environ, LC_ALL="C", LANG="C")
    out = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True)
    assert out.returncode == 0, out.stderr
    assert out.stdout == "ok\n"


def test_ddi_round_trip(examples, tmp_path):
    ds = transspace.load(examples / "survey.json")
    text = ds.to_ddi()
    assert text.startswith("<?xml") and "<codeBook" in text and text.endswith("\n")
    assert ds.to_ddi(indent=True).count("\n") > text.count("\n")
    again = transspace.loads(text)
    assert [v.name for v in again] == [v.name for v in ds]
    assert again["city"].value_labels == ds["city"].value_labels


def test_dataframe(examples):
    pandas = pytest.importorskip("pandas")
    frame = transspace.load(examples / "survey.json").to_dataframe()
    assert isinstance(frame, pandas.DataFrame)
    assert list(frame.columns) == ["name", "label", "type", "width", "print_format",
                                   "write_format", "measure", "n_value_labels", "missing"]
    row = frame.set_index("name").loc["satisfaction"]
    assert (row["measure"], row["n_value_labels"], row["missing"]) == ("ordinal", 7, "8, 9")


def test_dataframe_without_pandas(examples, monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="pandas"):
        transspace.load(examples / "minimal.json").to_dataframe()
