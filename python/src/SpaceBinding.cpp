// Space and Value: the library's value space for a host written in Python. A
// Value is a copy of what the space holds (a document's copy shares the
// document), with the runtime it needs, so it outlives the space.
#include <map>

#include "DocumentBinding.h"
#include "SourceBinding.h"

namespace {

struct SpaceValue : ValueHandle {
    using ValueHandle::ValueHandle;
};

// The kinds of what is stored, under the space's own order of names (trimmed,
// letter case ignored), since a value does not tell its kind.
using KindMap = std::map<TransString, ValueHandle::Kind>;

struct SpaceHandle {
    RuntimeRef rt = runtime();
    std::unique_ptr<TransSpace> space;
    KindMap kinds;
    // One call at a time on the space, whichever thread makes it.
    std::mutex lock;

    // The library takes the XML runtime's lock to make and destroy a space.
    SpaceHandle() : space(std::make_unique<TransSpace>()) {}
    ~SpaceHandle() { close(); }

    void close() {
        std::lock_guard<std::mutex> hold(lock);
        space.reset();
        kinds.clear();
    }

    TransSpace& open() {
        if (!space) throw UsageFailure{"the space is closed"};
        return *space;
    }
};

const char* kindName(ValueHandle::Kind kind) {
    switch (kind) {
        case ValueHandle::Text:
            return "text";
        case ValueHandle::Number:
            return "number";
        case ValueHandle::Document:
            return "document";
        default:
            return "null";
    }
}

TransString trimmed(const std::string& name) {
    TransString s(name.c_str());
    TransStatus st;
    s.trim(st);
    return s;
}

[[noreturn]] void missing(const py::object& name) {
    PyErr_SetObject(PyExc_KeyError, name.ptr());
    throw py::error_already_set();
}

void store(SpaceHandle& self, const py::str& name, const py::object& value) {
    const std::string key = fromStr(name);
    std::unique_ptr<ValueHandle> built;
    TransValue made;
    ValueHandle::Kind kind = ValueHandle::Null;
    if (py::isinstance<DocumentHandle>(value)) {
        made = value.cast<const DocumentHandle&>().value;
        kind = ValueHandle::Document;
    } else if (py::isinstance<SpaceValue>(value)) {
        const SpaceValue& v = value.cast<const SpaceValue&>();
        made = v.value;
        kind = v.kind;
    } else if (py::isinstance<SourceHandle>(value)) {
        const SourceHandle& s = value.cast<const SourceHandle&>();
        py::gil_scoped_release unlocked;
        made = dictionaryOf(s.source, s.lock)->value;
        kind = ValueHandle::Document;
    } else if (PyUnicode_Check(value.ptr())) {
        made = TransValue(TransString(fromStr(value).c_str()));
        kind = ValueHandle::Text;
    } else if (PyLong_Check(value.ptr()) || PyFloat_Check(value.ptr())) {
        made = TransValue(value.cast<double>());
        kind = ValueHandle::Number;
    } else {
        throw py::type_error("a space stores str, int, float, Document or DataSource, not " +
                             std::string(Py_TYPE(value.ptr())->tp_name));
    }
    py::gil_scoped_release unlocked;
    std::lock_guard<std::mutex> hold(self.lock);
    TransSpace& space = self.open();
    const TransString n = trimmed(key);
    TransStatus st;
    if (space.exists(n, st)) space.remove(n, st);
    if (!space.add(n, made, st)) throw UsageFailure{"a value needs a name that is not blank"};
    self.kinds[n] = kind;
}

std::unique_ptr<SpaceValue> fetch(SpaceHandle& self, const py::str& name) {
    const TransString n = trimmed(fromStr(name));
    std::unique_ptr<SpaceValue> out;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(self.lock);
        TransSpace& space = self.open();
        TransStatus st;
        const TransValue& found = space.find(n, st);
        if (!st.failure()) {
            auto kind = self.kinds.find(n);
            out = std::make_unique<SpaceValue>(
                found, kind == self.kinds.end() ? ValueHandle::Null : kind->second);
        }
    }
    if (!out) missing(name);
    return out;
}

py::list names(SpaceHandle& self) {
    std::vector<std::string> out;
    {
        py::gil_scoped_release unlocked;
        std::lock_guard<std::mutex> hold(self.lock);
        TransStatus st;
        TransStringList* list = self.open().list(st);
        for (unsigned i = 0; i < list->size(); ++i) out.emplace_back(list->asMBCS(i));
        TransSpace::releaseStringList(list);
    }
    py::list result;
    for (const std::string& n : out) result.append(toStr(n));
    return result;
}

}  // namespace

void bindSpace(py::module_& m) {
    py::class_<SpaceValue> value(m, "Value", "A value taken from a space; it outlives the space");
    bindQueries(value);
    value.def_property_readonly("kind", [](const SpaceValue& v) { return kindName(v.kind); })
        .def("as_string", [](const SpaceValue& v) { return valueText(v); })
        .def("as_double", [](const SpaceValue& v) { return valueNumber(v); })
        .def("__repr__", [](const SpaceValue& v) {
            return "<transspace.Value: " + std::string(kindName(v.kind)) + ">";
        });

    py::class_<SpaceHandle>(m, "Space", "The value space: named values, names in any letter case")
        .def(py::init<>())
        .def("__setitem__", &store)
        .def("__getitem__", &fetch)
        .def("__delitem__",
             [](SpaceHandle& self, const py::str& name) {
                 const TransString n = trimmed(fromStr(name));
                 bool removed = false;
                 {
                     py::gil_scoped_release unlocked;
                     std::lock_guard<std::mutex> hold(self.lock);
                     TransStatus st;
                     removed = self.open().remove(n, st);
                     if (removed) self.kinds.erase(n);
                 }
                 if (!removed) missing(name);
             })
        .def("__contains__",
             [](SpaceHandle& self, const py::object& name) {
                 if (!PyUnicode_Check(name.ptr())) return false;
                 const TransString n = trimmed(fromStr(name));
                 py::gil_scoped_release unlocked;
                 std::lock_guard<std::mutex> hold(self.lock);
                 TransStatus st;
                 return self.open().exists(n, st);
             })
        .def("__len__", [](SpaceHandle& self) { return py::len(names(self)); })
        .def("__iter__", [](SpaceHandle& self) { return py::iter(names(self)); })
        .def("keys", &names)
        .def_property_readonly("closed",
                               [](SpaceHandle& self) {
                                   std::lock_guard<std::mutex> hold(self.lock);
                                   return !self.space;
                               })
        .def("close",
             [](SpaceHandle& self) {
                 py::gil_scoped_release unlocked;
                 self.close();
             })
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](SpaceHandle& self, const py::args&) {
            py::gil_scoped_release unlocked;
            self.close();
            return false;
        });
}
