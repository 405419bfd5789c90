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
