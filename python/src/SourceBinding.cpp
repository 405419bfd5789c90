// DataSource and Variable: loading by content, and read-only views of the
// dictionary's parts as Python values.
#include "SourceBinding.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include <pybind11/stl.h>

#include "DocumentBinding.h"
#include "VornDdiWriter.h"
#include "VornSourceFile.h"
#include "XmlIndent.h"

namespace {

const char* const kFileIgnored = "file= names a file of a DDI codebook; ignored";

py::object labelOf(const char* label) {
    if (label == nullptr) return py::none();
    return toStr(label);
}

// "F8.2", "A20", "DATE11": the name, the width and, when there are any, the
// decimals. A code without a name shows as its number.
std::string formatText(VORN_Variable::FormatType code, int width, int decimals) {
    const char* name = VORN_Variable::GetFormatName(code);
    std::string out = name != nullptr ? name : std::to_string(static_cast<int>(code));
    out += std::to_string(width);
    if (decimals > 0) out += "." + std::to_string(decimals);
    return out;
}

const char* measureWord(int level) {
    switch (level) {
        case VORN_Variable::MeasureNominal:
            return "nominal";
        case VORN_Variable::MeasureOrdinal:
            return "ordinal";
        case VORN_Variable::MeasureScale:
            return "scale";
        default:
            return "unknown";
    }
}

const char* alignmentWord(int alignment) {
    switch (alignment) {
        case VORN_Variable::AlignLeft:
            return "left";
        case VORN_Variable::AlignRight:
            return "right";
        case VORN_Variable::AlignCenter:
            return "center";
        default:
            return "unknown";
    }
}

py::dict attributesOf(const DatasourceAttributes& attributes) {
    py::dict out;
    for (unsigned i = 0; i < attributes.Size(); ++i) {
        py::list values;
        for (const std::string& v : attributes.Values(i)) values.append(toStr(v));
        out[toStr(attributes.Name(i))] = values;
    }
    return out;
}

// A string variable's 8-byte value without the blanks that pad it.
py::object obsValue(const OBS& obs, bool numeric) {
    if (numeric) return py::float_(obs.number);
    std::size_t n = sizeof obs.text;
    while (n > 0 && (obs.text[n - 1] == ' ' || obs.text[n - 1] == '\0')) --n;
    return toStr(obs.text, n);
}

// The open ends of a range as infinities.
double rangeEnd(double value) {
    if (value == VORNLowestValue()) return -std::numeric_limits<double>::infinity();
    if (value == VORNHighestValue()) return std::numeric_limits<double>::infinity();
    return value;
}

py::dict valueLabelsOf(const VORN_Variable& v) {
    py::dict out;
    VORN_ValueLabelMap labels(v.GetValueLabels());
    const char* label = nullptr;
    if (v.GetType() == 0) {
        double value = 0;
        while (labels.GetNextPair(value, label)) out[py::float_(value)] = toStr(label);
    } else {
        std::string value;
        while (labels.GetNextPair(value, label)) out[toStr(value)] = toStr(label);
    }
    return out;
}

// The sets as tuples; the Python layer makes its records of them.
py::list setsOf(const VORN_DataSource& source, VarSetsType which) {
    py::list out;
    for (const VariableSet& set : source.GetVariableSets(which)) {
        py::list names;
        for (const std::string& n : set.GetVariableNames(VariableSet::KeepCase))
            names.append(toStr(n));
        if (which == PlainVariableSets) {
            out.append(py::make_tuple(toStr(set.GetName(VariableSet::KeepCase)), names));
            continue;
        }
        const bool dichotomy = set.GetType() == VariableSet::DichotomySet;
        py::object counted = dichotomy ? py::object(toStr(set.GetValue())) : py::object(py::none());
        out.append(py::make_tuple(toStr(set.GetName(VariableSet::KeepCase)), toStr(set.GetLabel()),
                                  dichotomy ? "dichotomy" : "categories", counted, names));
    }
    return out;
}

std::unique_ptr<SourceHandle> finish(std::unique_ptr<VORN_DataSource> source,
                                     const std::string& error, const std::string& shownName,
                                     const std::string& name, std::vector<std::string> notes,
                                     bool json, const std::string& fileId) {
    if (!source) throw LoadFailure{error, shownName};
    auto handle = std::make_unique<SourceHandle>();
    handle->source = std::move(source);
    handle->name = name;
    handle->notes = std::move(notes);
    if (json && !fileId.empty()) handle->notes.push_back(kFileIgnored);
    return handle;
}

std::unique_ptr<SourceHandle> loadPath(const std::string& path, const std::string& shownName,
                                       const std::string& name, const std::string& fileId) {
    py::gil_scoped_release unlocked;
    std::string error;
    std::vector<std::string> notes;
    DDILoadOptions options;
    options.fileId = fileId;
    const SourceFormat format = DetectSourceFileFormat(path, error);
    std::unique_ptr<VORN_DataSource> source =
        error.empty() ? LoadDataSource(path, format, error, notes, options) : nullptr;
    const bool json = source && !fileId.empty() && format == SourceFormat::JSON;
    return finish(std::move(source), error, shownName, name, std::move(notes), json, fileId);
}

std::unique_ptr<SourceHandle> loadText(const std::string& text, const std::string& name,
                                       const std::string& fileId) {
    py::gil_scoped_release unlocked;
    std::string error;
    std::vector<std::string> notes;
    DDILoadOptions options;
    options.fileId = fileId;
    const SourceFormat format = DetectSourceFormat(text);
    std::unique_ptr<VORN_DataSource> source =
        LoadDataSourceText(text, format, name, error, notes, options);
    const bool json = source && !fileId.empty() && format == SourceFormat::JSON;
    return finish(std::move(source), error, name, name, std::move(notes), json, fileId);
}

py::object makeVariables(const SourceHandle& self) {
    py::list out(self.source->ColumnCount());
    for (unsigned i = 0; i < self.source->ColumnCount(); ++i)
        out[i] = py::cast(VariableHandle{self.source, static_cast<int>(i)});
    return std::move(out);
}

const py::list& variablesOf(SourceHandle& self) {
    if (!self.variables) self.variables = makeVariables(self);
    return static_cast<const py::list&>(self.variables);
}

}  // namespace

int SourceHandle::find(const std::string& variable) const {
    std::lock_guard<std::mutex> hold(*lock);
    return source->FindVarIndex(variable.c_str(), 0);
}

void bindDataSource(py::module_& m) {
    py::class_<VariableHandle>(m, "Variable", "A variable of a data source; read-only")
        .def_property_readonly("name",
                               [](const VariableHandle& v) { return toStr(v.get().GetName()); })
        .def_property_readonly("label",
                               [](const VariableHandle& v) { return labelOf(v.get().GetLabel()); })
        .def_property_readonly(
            "type",
            [](const VariableHandle& v) { return v.get().GetType() == 0 ? "numeric" : "string"; })
        .def_property_readonly("width", [](const VariableHandle& v) { return v.get().GetType(); })
        .def_property_readonly("print_format",
                               [](const VariableHandle& v) {
                                   VORN_Variable::FormatType code;
                                   int width = 0, decimals = 0;
                                   v.get().GetFormatEx(code, width, decimals);
                                   return formatText(code, width, decimals);
                               })
        .def_property_readonly("write_format",
                               [](const VariableHandle& v) {
                                   VORN_Variable::FormatType code;
                                   int width = 0, decimals = 0;
                                   v.get().GetWriteFormatEx(code, width, decimals);
                                   return formatText(code, width, decimals);
                               })
        .def_property_readonly(
            "measure",
            [](const VariableHandle& v) { return measureWord(v.get().GetMeasurementLevel()); })
        .def_property_readonly(
            "alignment",
            [](const VariableHandle& v) { return alignmentWord(v.get().GetAlignment()); })
        .def_property_readonly(
            "display_width",
            [](const VariableHandle& v) { return static_cast<int>(v.get().GetDisplayWidth()); })
        .def_property_readonly("value_labels",
                               [](const VariableHandle& v) { return valueLabelsOf(v.get()); })
        .def_property_readonly("missing_values",
                               [](const VariableHandle& v) {
                                   const OBS* values[3] = {nullptr, nullptr, nullptr};
                                   const int n =
                                       v.get().GetMissingValues(values[0], values[1], values[2]);
                                   const bool numeric = v.get().GetType() == 0;
                                   py::list out;
                                   if (n > 0) {
                                       for (int i = 0; i < n && i < 3; ++i)
                                           out.append(obsValue(*values[i], numeric));
                                   } else if (n == -3 && values[2] != nullptr) {
                                       out.append(obsValue(*values[2], numeric));
                                   }
                                   return py::tuple(out);
                               })
        .def_property_readonly(
            "missing_range",
            [](const VariableHandle& v) -> py::object {
                const OBS* values[3] = {nullptr, nullptr, nullptr};
                const int n = v.get().GetMissingValues(values[0], values[1], values[2]);
                if (n >= 0 || values[0] == nullptr || values[1] == nullptr) return py::none();
                if (v.get().GetType() != 0)
                    return py::make_tuple(obsValue(*values[0], false), obsValue(*values[1], false));
                return py::make_tuple(rangeEnd(values[0]->number), rangeEnd(values[1]->number));
            })
        .def_property_readonly(
            "attributes",
            [](const VariableHandle& v) { return attributesOf(v.get().GetAttributes()); })
        .def("__repr__", [](const VariableHandle& v) {
            return py::str("<transspace.Variable {!r}>").format(toStr(v.get().GetName()));
        });

    py::class_<SourceHandle>(m, "DataSource", "A loaded data source; read-only")
        .def_property_readonly("name", [](const SourceHandle& s) { return toStr(s.name); })
        .def_property_readonly("notes",
                               [](const SourceHandle& s) {
                                   py::list out;
                                   for (const std::string& n : s.notes) out.append(toStr(n));
                                   return out;
                               })
        .def_property_readonly("variables",
                               [](SourceHandle& s) {
                                   // A new list each time, of the same Variable objects.
                                   const py::list& all = variablesOf(s);
                                   PyObject* copy = PyList_GetSlice(all.ptr(), 0, PY_SSIZE_T_MAX);
                                   if (copy == nullptr) throw py::error_already_set();
                                   return py::reinterpret_steal<py::list>(copy);
                               })
        .def("__len__", [](const SourceHandle& s) { return s.source->ColumnCount(); })
        .def("__iter__", [](SourceHandle& s) { return py::iter(variablesOf(s)); })
        .def("__getitem__",
             [](SourceHandle& s, const py::object& name) -> py::object {
                 if (!PyUnicode_Check(name.ptr())) throw py::key_error(py::repr(name));
                 const int i = s.find(fromStr(name));
                 if (i < 0) {
                     PyErr_SetObject(PyExc_KeyError, name.ptr());
                     throw py::error_already_set();
                 }
                 return variablesOf(s)[static_cast<std::size_t>(i)];
             })
        .def("__contains__",
             [](const SourceHandle& s, const py::object& name) {
                 return PyUnicode_Check(name.ptr()) && s.find(fromStr(name)) >= 0;
             })
        .def_property_readonly("weight",
                               [](SourceHandle& s) -> py::object {
                                   const int i = s.source->GetWeightVarIndex();
                                   if (i < 0) return py::none();
                                   return variablesOf(s)[static_cast<std::size_t>(i)];
                               })
        .def_property_readonly("row_count",
                               [](const SourceHandle& s) -> py::object {
                                   const std::int64_t rows = s.source->GetRowCount();
                                   if (rows < 0) return py::none();
                                   return py::int_(rows);
                               })
        .def_property_readonly(
            "attributes",
            [](const SourceHandle& s) { return attributesOf(s.source->GetAttributes()); })
        .def("_variable_sets",
             [](const SourceHandle& s) { return setsOf(*s.source, PlainVariableSets); })
        .def("_response_sets",
             [](const SourceHandle& s) { return setsOf(*s.source, MultipleResponseSets); })
        .def("dictionary",
             [](const SourceHandle& s) {
                 py::gil_scoped_release unlocked;
                 return dictionaryOf(s.source, s.lock);
             })
        .def(
            "to_ddi",
            [](const SourceHandle& s, bool indent) {
                std::string text, error;
                bool written = false;
                {
                    py::gil_scoped_release unlocked;
                    std::lock_guard<std::mutex> hold(*s.lock);
                    written = WriteDataSourceDDI(*s.source, s.name, text, error);
                    if (written && indent) text = indentXML(text);
                    if (written && !text.empty() && text.back() != '\n') text += '\n';
                }
                if (!written) throw UsageFailure{error};
                return toStr(text);
            },
            py::kw_only(), py::arg("indent") = false)
        .def("__repr__", [](const SourceHandle& s) {
            return py::str("<transspace.DataSource {!r}: {} variables>")
                .format(toStr(s.name), s.source->ColumnCount());
        });

    m.def("_load", [](const py::bytes& path, const py::str& shown, const py::str& name,
                      const py::str& fileId) {
        return loadPath(std::string(path), fromStr(shown), fromStr(name), fromStr(fileId));
    });
    m.def("_loads", [](const py::bytes& text, const py::str& name, const py::str& fileId) {
        return loadText(std::string(text), fromStr(name), fromStr(fileId));
    });
}
