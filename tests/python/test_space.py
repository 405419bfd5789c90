"""The value space, and the lifetimes of what is taken from it."""

import gc
import weakref

import pytest

import transspace

AGE = "/dictionary/variable[@name='age']"


def test_store_and_read_each_kind(examples):
    ds = transspace.load(examples / "survey.json")
    with transspace.Space() as space:
        space["text"] = "Größe"
        space["whole"] = 3
        space["real"] = 2.5
        space["dictionary"] = ds
        space["document"] = transspace.parse_xml("<a n='1'/>")
        assert [space[n].kind for n in ("text", "whole", "real", "dictionary", "document")] == [
            "text", "number", "number", "document", "document"]
        assert space["TEXT"].as_string() == "Größe"  # any letter case
        assert space[" whole "].as_double() == 3.0
        assert space["real"].as_string() == "2.5"
        assert space["dictionary"].query("@label", AGE) == "Age in years"
        assert space["document"].query_number("/a/@n") == 1.0
        with pytest.warns(transspace.QueryWarning):
            assert space["document"].as_string().startswith("<?xml")
        assert len(space) == 5 and "Dictionary" in space and "nothing" not in space
        assert sorted(space, key=str.lower) == list(space)  # the space's order
        space["text"] = "replaced"
        assert space["text"].as_string() == "replaced" and len(space) == 5
        del space["TEXT"]
        assert "text" not in space and len(space) == 4


def test_values_outlive_their_space(examples):
    space = transspace.Space()
    space["d"] = transspace.load(examples / "survey.json")
    space["n"] = 7
    value, number = space["d"], space["n"]
    del space["d"]  # the value is a copy, not a view of the entry
    space.close()
    assert value.query("@label", AGE) == "Age in years"
    del space
    gc.collect()
    assert value.query_number("count(//variable)") == 15.0 and number.as_double() == 7.0


def test_collected_in_any_order(examples):
    # Documents, values and spaces held in reference cycles, collected at once.
    class Holder:
        pass
    holders = []
    for _ in range(3):
        h = Holder()
        h.me = h
        h.space = transspace.Space()
        h.space["d"] = transspace.load(examples / "survey.json")
        h.value = h.space["d"]
        h.document = transspace.load(examples / "survey.json").dictionary()
        holders.append(weakref.ref(h))
    del h
    gc.collect()
    assert all(r() is None for r in holders)
    # The runtime is still up for what comes next.
    assert transspace.parse_xml("<a>1</a>").query_number("/a/text()") == 1.0


def test_many_spaces_and_documents(examples):
    ds = transspace.load(examples / "minimal.json")
    documents = [ds.dictionary() for _ in range(50)]
    spaces = [transspace.Space() for _ in range(20)]
    for i, space in enumerate(spaces):
        space["d"] = documents[i]
    for space in spaces[::2]:
        space.close()
    del documents
    assert all(s["d"].query_number("count(//variable)") == 2.0 for s in spaces[1::2])
