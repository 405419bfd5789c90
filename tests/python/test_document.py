"""Documents: dictionaries, XML read from files and texts, their queries."""

import pytest

import transspace

AGE = "/dictionary/variable[@name='age']"


@pytest.fixture
def survey(examples):
    return transspace.load(examples / "survey.json")


def test_dictionary_queries(survey):
    d = survey.dictionary()
    assert d.query("@label", AGE) == "Age in years"
    assert d.query_number("count(/dictionary/variable)") == 15.0
    assert d.query_list(
        "valueLabel/@label", "/dictionary/valueLabelSet[valueLabelVariable/@name='city']"
    ) == ["Berlin", "München", "Not asked"]
    assert d.query_list("/dictionary/variable/@name")[:3] == ["id", "age", "sex"]
    text = d.xml()
    assert text.startswith("<?xml") and "Größe (cm)" in text
    assert d.xml(indent=True).count("\n") > text.count("\n")


def test_same_answers_as_the_tool(survey, examples, tool):
    import subprocess
    d = survey.dictionary()
    rows = [
        ([AGE, "@label"], d.query("@label", AGE)),
        (["--list", "/", "/dictionary/variable/@label"],
         "\n".join(d.query_list("/dictionary/variable/@label"))),
    ]
    for args, answer in rows:
        out = subprocess.run([tool, "query", str(examples / "survey.json"), *args],
                             capture_output=True, text=True, check=True).stdout
        assert out == answer + "\n", args
    out = subprocess.run([tool, "dictionary", str(examples / "survey.json")],
                         capture_output=True, text=True, check=True).stdout
    # The creation time differs from run to run.
    strip = lambda t: t[t.index("<variable"):]
    assert strip(out) == strip(d.xml() + "\n")


def test_documents_outlive_their_source(examples):
    d = transspace.load(examples / "survey.json").dictionary()  # the source is gone
    assert d.query("@label", AGE) == "Age in years"


def test_read_xml_follows_the_dictionary_rule(survey, tmp_path):
    saved = tmp_path / "saved.xml"
    saved.write_text(survey.dictionary().xml(), "utf-8")
    # Without namespace processing the dictionary's names need no prefix.
    assert transspace.read_xml(saved).query("@label", AGE) == "Age in years"
    assert transspace.parse_xml(saved.read_bytes()).query("@label", AGE) == "Age in years"
    assert transspace.parse_xml(saved.read_text("utf-8")).query("@label", AGE) == "Age in years"
    other = tmp_path / "other.xml"
    other.write_text('<p:root xmlns:p="urn:x"><p:item n="1"/></p:root>')
    assert transspace.read_xml(other).query("namespace-uri(/*)") == "urn:x"


def test_parse_xml_str_and_bytes():
    latin = '<?xml version="1.0" encoding="ISO-8859-1"?><a b="Straße"/>'
    assert transspace.parse_xml(latin).query("/a/@b") == "Straße"
    assert transspace.parse_xml(latin.encode("iso-8859-1")).query("/a/@b") == "Straße"
    assert transspace.parse_xml("<a>\U0001F600</a>").query("/a/text()") == "\U0001F600"
    assert "<b>" in transspace.parse_xml("<a><b/></a>").xml(indent=True).replace("<b/>", "<b>")


def test_parse_xml_keeps_the_element_as_parsed():
    # CDATA kept, an entity expanded, a default left out, attributes in the
    # DOM's order, nothing around the element; the same from a file.
    text = ('<!DOCTYPE r [<!ENTITY t "text"><!ATTLIST r d CDATA "def">]><!--out-->'
            '<r xmlns:p="urn:p" z="1" a="2">a<![CDATA[<b>]]>&t;<!--c--><?p d?><p:x/></r>')
    expected = ('<r a="2" xmlns:p="urn:p" z="1">a<![CDATA[<b>]]>text<!--c--><?p d?>'
                '<p:x/></r>')
    d = transspace.parse_xml(text)
    assert d.xml().endswith(expected)
    assert d.query_list("//node()[not(self::*)]") == ["a", "<b>", "text", "c", "d"]
    assert d.query("namespace-uri(/r/*)") == "urn:p"


def test_codebook_as_plain_xml(examples):
    d = transspace.read_xml(examples / "codebook.xml")
    assert d.query("name(/*)") == "codeBook"
