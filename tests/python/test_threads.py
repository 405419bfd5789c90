"""Two threads loading and querying different sources at once."""

import threading

import transspace
from conftest import source_json


def work(text, prefix, count, results, key):
    ds = transspace.loads(text)
    d = ds.dictionary()
    answers = [d.query("@label", f"/dictionary/variable[@name='{prefix}{i}']")
               for i in range(0, count, max(1, count // 50))]
    results[key] = (len(ds), d.query_number("count(//variable)"), answers)


def test_two_threads_each_right():
    count = 2000
    texts = {p: source_json(count, prefix=p, label=f"Label {p}") for p in ("a", "b")}
    results = {}
    threads = [threading.Thread(target=work, args=(texts[p], p, count, results, p))
               for p in texts]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for p in texts:
        n, counted, answers = results[p]
        assert (n, counted) == (count, float(count))
        assert answers == [f"Label {p} {i}" for i in range(0, count, count // 50)]


def test_long_calls_let_other_threads_run():
    # While one thread is inside a long call, the other runs Python: the call
    # does not hold the interpreter (no clock involved).
    text = source_json(20000)
    ds = transspace.loads(text)
    started, done = threading.Event(), threading.Event()

    def long_calls():
        started.set()
        for _ in range(3):
            ds.dictionary()
        done.set()

    t = threading.Thread(target=long_calls)
    t.start()
    started.wait()
    spins = 0
    while not done.is_set():
        spins += 1
    t.join()
    assert spins > 10000


def test_one_source_from_two_threads():
    # Name lookups fill the source's cache; the diff of its dictionary reads
    # the same source. Each waits for the other.
    count = 3000
    ds = transspace.loads(source_json(count))
    document = ds.dictionary()
    failures = []

    def compare():
        for _ in range(10):
            if transspace.diff(document, ds):
                failures.append("a difference")

    def look_up():
        for i in range(count):
            if ds[f"V{i}"].name != f"v{i}":
                failures.append(i)

    threads = [threading.Thread(target=compare), threading.Thread(target=look_up)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
