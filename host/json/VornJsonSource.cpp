#include "VornJsonSource.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "VornCodePage.h"
#include "VornDateTime.h"

namespace {

using json = nlohmann::json;

// Carries one finished error line out of the nested readers.
struct LoadError {
    std::string message;
};

std::string Child(const std::string& path, const char* key) {
    return path.empty() ? std::string(key) : path + "." + key;
}

std::string Index(const std::string& path, size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

std::string Quote(const std::string& text) { return json(text).dump(); }

std::string Describe(const json& j) {
    switch (j.type()) {
        case json::value_t::null:
            return "null";
        case json::value_t::boolean:
            return "a boolean";
        case json::value_t::string:
            return "the string " + Quote(j.get<std::string>());
        case json::value_t::number_integer:
        case json::value_t::number_unsigned:
            return "the integer " + j.dump();
        case json::value_t::number_float:
            return "the number " + j.dump();
        case json::value_t::object:
            return "an object";
        case json::value_t::array:
            return "an array";
        default:
            return "an unusable value";
    }
}

std::string NumberText(double d) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", d);
    return buffer;
}

// Builds the document from the parser's events, as nlohmann's own DOM parser
// does, and records the first key that an object repeats, with its path: the
// parser itself keeps the last value silently. (The library's callback parser
// would do both, but in 3.11 it rescans the parent container at the end of
// every object, which is quadratic in the length of the variables array.)
class DocumentBuilder {
public:
    explicit DocumentBuilder(json& top) : root(top) {}

    bool null() { return Add(nullptr); }
    bool boolean(bool b) { return Add(b); }
    bool number_integer(json::number_integer_t n) { return Add(n); }
    bool number_unsigned(json::number_unsigned_t n) { return Add(n); }
    bool number_float(json::number_float_t n, const std::string&) { return Add(n); }
    bool string(std::string& s) { return Add(std::move(s)); }
    bool binary(json::binary_t& b) { return Add(std::move(b)); }

    bool start_object(std::size_t) { return Enter(json::value_t::object); }
    bool start_array(std::size_t) { return Enter(json::value_t::array); }
    bool end_object() { return Leave(); }
    bool end_array() { return Leave(); }

    bool key(std::string& k) {
        Frame& f = frames.back();
        auto inserted = f.value->get_ref<json::object_t&>().emplace(std::move(k), nullptr);
        f.key = &inserted.first->first;
        f.element = &inserted.first->second;
        if (!inserted.second && duplicate.empty())
            duplicate = Child(Path(), f.key->c_str()) + ": the key " + Quote(*f.key) +
                        " occurs twice in one object";
        return true;
    }

    // The parser's own exception, of its own type, as json::parse throws it.
    template <class Exception>
    bool parse_error(std::size_t, const std::string&, const Exception& e) {
        throw e;
    }

    std::string duplicate;

private:
    struct Frame {
        json* value;
        const std::string* key = nullptr;  // the object's current key
        json* element = nullptr;           // the object's value under that key
    };
    json& root;
    std::vector<Frame> frames;

    // Where the next value goes: the root, the end of an array, or the slot
    // that the object's last key made.
    template <class Value>
    json* Place(Value&& v) {
        if (frames.empty()) {
            root = json(std::forward<Value>(v));
            return &root;
        }
        Frame& f = frames.back();
        if (f.value->is_array()) {
            f.value->get_ref<json::array_t&>().emplace_back(std::forward<Value>(v));
            return &f.value->get_ref<json::array_t&>().back();
        }
        *f.element = json(std::forward<Value>(v));
        return f.element;
    }

    template <class Value>
    bool Add(Value&& v) {
        Place(std::forward<Value>(v));
        return true;
    }

    bool Enter(json::value_t type) {
        frames.push_back(Frame{Place(type)});
        return true;
    }

    bool Leave() {
        frames.pop_back();
        return true;
    }

    // The path of the innermost container: every array names its child by
    // the index of its last element, every object by its current key.
    std::string Path() const {
        std::string path;
        for (size_t i = 0; i + 1 < frames.size(); ++i) {
            const Frame& f = frames[i];
            if (f.value->is_array())
                path += "[" + std::to_string(f.value->size() - 1) + "]";
            else
                path += (i > 0 ? "." : "") + *f.key;
        }
        return path;
    }
};

class Loader {
public:
    explicit Loader(const std::string& sourceName) : source(sourceName) {}

    std::unique_ptr<VORN_DataSource> Load(const json& top) {
        if (!top.is_object()) Fail("", "the top level must be an object, got " + Describe(top));
        CheckKeys(top, "",
                  {"variables", "rowCount", "timestamp", "weight", "variableSets",
                   "multipleResponseSets", "attributes", "attributesVersion", "extensions"});
        if (!converter.IsOpen())
            Fail("", "the host code page \"" + converter.GetCodePageName() + "\" cannot be opened");
        std::unique_ptr<VORN_DataSource> ds(new VORN_DataSource);
        ReadVariables(Require(top, "variables", ""), *ds);
        if (top.contains("rowCount"))
            ds->SetRowCount(Integer(top["rowCount"], "rowCount", 0, INT64_MAX));
        if (top.contains("timestamp")) ds->SetTimestamp(Timestamp(top["timestamp"], "timestamp"));
        if (top.contains("weight")) ReadWeight(top["weight"], *ds);
        if (top.contains("variableSets")) ReadSets(top["variableSets"], "variableSets", false, *ds);
        if (top.contains("multipleResponseSets"))
            ReadSets(top["multipleResponseSets"], "multipleResponseSets", true, *ds);
        DatasourceAttributes attributes;
        if (top.contains("attributes")) attributes = Attributes(top["attributes"], "attributes");
        if (top.contains("attributesVersion"))
            attributes.version = static_cast<std::uint32_t>(
                Integer(top["attributesVersion"], "attributesVersion", 0, UINT32_MAX));
        ds->SetAttributes(attributes);
        if (top.contains("extensions")) ReadExtensions(top["extensions"], *ds);
        return ds;
    }

private:
    std::string source;
    VornHostTextConverter converter;

    [[noreturn]] void Fail(const std::string& path, const std::string& what) const {
        throw LoadError{source + ": " + (path.empty() ? what : path + ": " + what)};
    }

    void CheckKeys(const json& object, const std::string& path,
                   std::initializer_list<const char*> known) const {
        for (auto it = object.begin(); it != object.end(); ++it) {
            bool found = false;
            for (const char* k : known) found = found || it.key() == k;
            if (found) continue;
            std::string list;
            for (const char* k : known) list += (list.empty() ? "" : ", ") + std::string(k);
            Fail(Child(path, it.key().c_str()), "unknown key; the keys here are " + list);
        }
    }

    const json& Require(const json& object, const char* key, const std::string& path) const {
        auto it = object.find(key);
        if (it == object.end()) Fail(path, std::string("the key \"") + key + "\" is required");
        return *it;
    }

    void ExpectObject(const json& j, const std::string& path, const char* what) const {
        if (!j.is_object()) Fail(path, std::string("expected ") + what + ", got " + Describe(j));
    }

    void ExpectArray(const json& j, const std::string& path, const char* what) const {
        if (!j.is_array()) Fail(path, std::string("expected ") + what + ", got " + Describe(j));
    }

    long long Integer(const json& j, const std::string& path, long long low, long long high) const {
        std::string range = high == INT64_MAX ? "an integer of " + std::to_string(low) + " or more"
                                              : "an integer from " + std::to_string(low) + " to " +
                                                    std::to_string(high);
        if (j.is_number_unsigned()) {
            auto u = j.get<unsigned long long>();
            if (u > static_cast<unsigned long long>(high))
                Fail(path, "expected " + range + ", got " + j.dump());
            return static_cast<long long>(u);
        }
        if (!j.is_number_integer()) Fail(path, "expected " + range + ", got " + Describe(j));
        long long v = j.get<long long>();
        if (v < low || v > high) Fail(path, "expected " + range + ", got " + j.dump());
        return v;
    }

    bool Boolean(const json& j, const std::string& path) const {
        if (!j.is_boolean()) Fail(path, "expected true or false, got " + Describe(j));
        return j.get<bool>();
    }

    // A JSON text in the host's code page.
    std::string Text(const json& j, const std::string& path) {
        if (!j.is_string()) Fail(path, "expected a string, got " + Describe(j));
        const std::string& utf8 = j.get_ref<const std::string&>();
        if (utf8.find('\0') != std::string::npos) Fail(path, "a text cannot hold a NUL character");
        std::string mbcs, error;
        if (!converter.FromUTF8(utf8, mbcs, error)) Fail(path, error);
        return mbcs;
    }

    // A value for a numeric variable: a number or one of the two range words.
    double Number(const json& j, const std::string& path, const std::string& variable) const {
        if (j.is_number()) return j.get<double>();
        if (j.is_string()) {
            if (j.get_ref<const std::string&>() == "lowest") return VORNLowestValue();
            if (j.get_ref<const std::string&>() == "highest") return VORNHighestValue();
        }
        Fail(path, "expected a number, \"lowest\" or \"highest\" for the numeric variable " +
                       Quote(variable) + ", got " + Describe(j));
    }

    // A value for a string variable, at most maxBytes long in the host's code page.
    std::string StringValue(const json& j, const std::string& path, const std::string& variable,
                            int width, bool missing) {
        if (!j.is_string())
            Fail(path, "expected a string for the string variable " + Quote(variable) + ", got " +
                           Describe(j));
        std::string text = Text(j, path);
        if (missing && text.size() > 8)
            Fail(path, Quote(j.get<std::string>()) + " is " + std::to_string(text.size()) +
                           " bytes long; a string missing value holds at most 8");
        if (text.size() > static_cast<size_t>(width))
            Fail(path, Quote(j.get<std::string>()) + " is " + std::to_string(text.size()) +
                           " bytes long, longer than the variable's width of " +
                           std::to_string(width));
        return text;
    }

    void ReadVariables(const json& list, VORN_DataSource& ds) {
        ExpectArray(list, "variables", "an array of variables");
        for (size_t i = 0; i < list.size(); ++i) {
            std::string path = Index("variables", i);
            VORN_Variable v = Variable(list[i], path, ds);
            if (ds.AddVariable(v) < 0)
                Fail(Child(path, "name"), "the variable cannot be added under this name");
        }
    }

    VORN_Variable Variable(const json& j, const std::string& path, const VORN_DataSource& ds) {
        ExpectObject(j, path, "a variable object");
        CheckKeys(
            j, path,
            {"name", "label", "width", "alignment", "measurementLevel", "displayWidth", "format",
             "writeFormat", "missingValues", "valueLabels", "attributes", "attributesVersion"});
        const json& nameJson = Require(j, "name", path);
        std::string namePath = Child(path, "name");
        std::string name = Text(nameJson, namePath);
        if (name.empty()) Fail(namePath, "a variable name cannot be empty");
        int other = ds.FindVarIndex(name.c_str(), 0);
        if (other >= 0)
            Fail(namePath, "the name " + Quote(nameJson.get<std::string>()) +
                               " is taken, ignoring letter case, by variables[" +
                               std::to_string(other) + "]");
        const std::string& utf8Name = nameJson.get_ref<const std::string&>();
        int width = j.contains("width")
                        ? static_cast<int>(Integer(j["width"], Child(path, "width"), 0, 32767))
                        : 0;
        VORN_Variable v(name, width);
        if (j.contains("label")) v.SetLabel(Text(j["label"], Child(path, "label")));
        if (j.contains("alignment"))
            v.SetAlignment(static_cast<VORN_Variable::Alignment>(
                Code(j["alignment"], Child(path, "alignment"), {"left", "right", "center"})));
        if (j.contains("measurementLevel"))
            v.SetMeasurementLevel(static_cast<VORN_Variable::MeasurementLevel>(
                Code(j["measurementLevel"], Child(path, "measurementLevel"),
                     {"unknown", "nominal", "ordinal", "scale"})));
        if (j.contains("displayWidth"))
            v.SetDisplayWidth(static_cast<short>(
                Integer(j["displayWidth"], Child(path, "displayWidth"), -32768, 32767)));
        VORN_Variable::FormatType code;
        int fw, fd;
        if (j.contains("format")) {
            Format(j["format"], Child(path, "format"), code, fw, fd);
            v.SetFormat(code, fw, fd);
            v.SetWriteFormat(code, fw, fd);
        }
        if (j.contains("writeFormat")) {
            Format(j["writeFormat"], Child(path, "writeFormat"), code, fw, fd);
            v.SetWriteFormat(code, fw, fd);
        }
        if (j.contains("missingValues"))
            MissingValues(j["missingValues"], Child(path, "missingValues"), utf8Name, v);
        if (j.contains("valueLabels"))
            ValueLabels(j["valueLabels"], Child(path, "valueLabels"), utf8Name, v);
        DatasourceAttributes attributes;
        if (j.contains("attributes"))
            attributes = Attributes(j["attributes"], Child(path, "attributes"));
        if (j.contains("attributesVersion"))
            attributes.version = static_cast<std::uint32_t>(
                Integer(j["attributesVersion"], Child(path, "attributesVersion"), 0, UINT32_MAX));
        v.SetAttributes(attributes);
        return v;
    }

    // A word of words (its position is its code) or any int code.
    int Code(const json& j, const std::string& path,
             std::initializer_list<const char*> words) const {
        std::string list;
        for (const char* w : words) list += (list.empty() ? "\"" : ", \"") + std::string(w) + "\"";
        if (j.is_string()) {
            int code = 0;
            for (const char* w : words) {
                if (j.get_ref<const std::string&>() == w) return code;
                ++code;
            }
            Fail(path, Quote(j.get<std::string>()) + " is not one of " + list);
        }
        if (!j.is_number_integer())
            Fail(path, "expected one of " + list + " or a code, got " + Describe(j));
        return static_cast<int>(Integer(j, path, INT32_MIN, INT32_MAX));
    }

    void Format(const json& j, const std::string& path, VORN_Variable::FormatType& code, int& width,
                int& decimals) const {
        if (j.is_object()) {
            CheckKeys(j, path, {"type", "width", "decimals"});
            const json& type = Require(j, "type", path);
            std::string typePath = Child(path, "type");
            if (type.is_string()) {
                if (!VORN_Variable::FindFormatType(type.get_ref<const std::string&>().c_str(),
                                                   code))
                    Fail(typePath, "unknown format type " + Quote(type.get<std::string>()));
            } else if (type.is_number_integer()) {
                code = static_cast<VORN_Variable::FormatType>(
                    Integer(type, typePath, INT32_MIN, INT32_MAX));
            } else {
                Fail(typePath, "expected a format name or code, got " + Describe(type));
            }
            width = static_cast<int>(
                Integer(Require(j, "width", path), Child(path, "width"), INT32_MIN, INT32_MAX));
            decimals = j.contains("decimals")
                           ? static_cast<int>(Integer(j["decimals"], Child(path, "decimals"),
                                                      INT32_MIN, INT32_MAX))
                           : 0;
            return;
        }
        if (!j.is_string())
            Fail(path, "expected a format text such as \"F8.2\" or an object, got " + Describe(j));
        const std::string& text = j.get_ref<const std::string&>();
        std::string bad = Quote(text) + " is not a format such as \"F8.2\", \"A20\" or \"DATE11\"";
        size_t i = 0;
        while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
        std::string name = text.substr(0, i);
        if (name.empty()) Fail(path, bad);
        if (!VORN_Variable::FindFormatType(name.c_str(), code))
            Fail(path, "unknown format type " + Quote(name));
        auto digits = [&](int& out) {
            size_t start = i;
            long long value = 0;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 9)
                value = value * 10 + (text[i++] - '0');
            if (i == start) Fail(path, bad);
            out = static_cast<int>(value);
        };
        digits(width);
        decimals = 0;
        if (i < text.size() && text[i] == '.') {
            ++i;
            digits(decimals);
        }
        if (i != text.size()) Fail(path, bad);
    }

    OBS MissingValue(const json& j, const std::string& path, const std::string& variable,
                     const VORN_Variable& v) {
        if (v.GetType() == 0) return NumericOBS(Number(j, path, variable));
        return StringOBS(StringValue(j, path, variable, v.GetType(), true));
    }

    void MissingValues(const json& j, const std::string& path, const std::string& variable,
                       VORN_Variable& v) {
        OBS values[3];
        int count;
        if (j.is_array()) {
            if (j.size() > 3)
                Fail(path,
                     "at most three discrete missing values, got " + std::to_string(j.size()));
            for (size_t i = 0; i < j.size(); ++i)
                values[i] = MissingValue(j[i], Index(path, i), variable, v);
            count = static_cast<int>(j.size());
        } else if (j.is_object()) {
            CheckKeys(j, path, {"low", "high", "value"});
            if (v.GetType() != 0)
                Fail(path, "a range needs a numeric variable; " + Quote(variable) +
                               " is a string variable");
            double low = Number(Require(j, "low", path), Child(path, "low"), variable);
            double high = Number(Require(j, "high", path), Child(path, "high"), variable);
            if (low > high)
                Fail(path, "the low end " + NumberText(low) + " is above the high end " +
                               NumberText(high));
            values[0] = NumericOBS(low);
            values[1] = NumericOBS(high);
            count = -2;
            if (j.contains("value")) {
                values[2] = NumericOBS(Number(j["value"], Child(path, "value"), variable));
                count = -3;
            }
        } else {
            Fail(path, "expected an array of values or an object with \"low\" and \"high\", got " +
                           Describe(j));
        }
        v.SetMissingValues(count, values);
    }

    void ValueLabels(const json& j, const std::string& path, const std::string& variable,
                     VORN_Variable& v) {
        ExpectArray(j, path, "an array of [value, label] pairs");
        std::vector<double> numbers;
        std::vector<std::string> texts;
        for (size_t i = 0; i < j.size(); ++i) {
            std::string at = Index(path, i);
            const json& pair = j[i];
            if (!pair.is_array() || pair.size() != 2)
                Fail(at, "expected a [value, label] pair, got " + Describe(pair));
            std::string label = Text(pair[1], Index(at, 1));
            if (v.GetType() == 0) {
                double value = Number(pair[0], Index(at, 0), variable);
                for (size_t k = 0; k < numbers.size(); ++k)
                    if (numbers[k] == value)
                        Fail(Index(at, 0), "the value " + NumberText(value) +
                                               " is labelled already, in " + Index(path, k));
                numbers.push_back(value);
                v.AddValueLabel(value, label);
            } else {
                std::string value =
                    StringValue(pair[0], Index(at, 0), variable, v.GetType(), false);
                for (size_t k = 0; k < texts.size(); ++k)
                    if (texts[k] == value)
                        Fail(Index(at, 0), "the value " + Quote(pair[0].get<std::string>()) +
                                               " is labelled already, in " + Index(path, k));
                texts.push_back(value);
                v.AddValueLabel(value, label);
            }
        }
    }

    DatasourceAttributes Attributes(const json& j, const std::string& path) {
        ExpectArray(j, path, "an array of {\"name\", \"values\"} objects");
        DatasourceAttributes attributes;
        for (size_t i = 0; i < j.size(); ++i) {
            std::string at = Index(path, i);
            ExpectObject(j[i], at, "an object with \"name\" and \"values\"");
            CheckKeys(j[i], at, {"name", "values"});
            std::string namePath = Child(at, "name");
            const json& nameJson = Require(j[i], "name", at);
            std::string name = Text(nameJson, namePath);
            if (name.empty()) Fail(namePath, "an attribute name cannot be empty");
            int other = attributes.FindAttribute(name);
            if (other >= 0)
                Fail(namePath, "the name " + Quote(nameJson.get<std::string>()) + " is taken by " +
                                   Index(path, static_cast<size_t>(other)));
            const json& valuesJson = Require(j[i], "values", at);
            std::string valuesPath = Child(at, "values");
            ExpectArray(valuesJson, valuesPath, "an array of strings");
            std::vector<std::string> values;
            for (size_t k = 0; k < valuesJson.size(); ++k)
                values.push_back(Text(valuesJson[k], Index(valuesPath, k)));
            attributes.AddAttribute(name, values);
        }
        return attributes;
    }

    double Timestamp(const json& j, const std::string& path) const {
        if (j.is_number()) return j.get<double>();
        double seconds = 0;
        if (j.is_string() && ParseISODateTime(j.get<std::string>(), seconds)) return seconds;
        Fail(path,
             "expected seconds since 1970-01-01T00:00:00Z or an ISO 8601 date-time such as "
             "\"2026-12-06T11:45:54Z\", got " +
                 Describe(j));
    }

    void ReadWeight(const json& j, VORN_DataSource& ds) {
        std::string name = Text(j, "weight");
        int index = ds.FindVarIndex(name.c_str(), 0);
        if (index < 0) Fail("weight", "no variable is named " + Quote(j.get<std::string>()));
        if (!ds.SetWeightVarIndex(index))
            Fail("weight", Quote(j.get<std::string>()) +
                               " is a string variable; the weight variable must be numeric");
    }

    void ReadSets(const json& j, const std::string& path, bool responseSets, VORN_DataSource& ds) {
        ExpectArray(j, path, "an array of sets");
        std::set<std::string> names;
        for (size_t i = 0; i < j.size(); ++i) {
            std::string at = Index(path, i);
            ExpectObject(j[i], at, "a set object");
            const json& s = j[i];
            if (responseSets)
                CheckKeys(s, at,
                          {"name", "type", "countedValue", "categoryLabels", "label",
                           "labelFromVariable", "variables"});
            else
                CheckKeys(s, at, {"name", "variables"});
            std::string namePath = Child(at, "name");
            const json& nameJson = Require(s, "name", at);
            std::string name = Text(nameJson, namePath);
            if (name.empty()) Fail(namePath, "a set name cannot be empty");
            if (!names.insert(FoldHostTextCase(name)).second)
                Fail(namePath, "another set is named " + Quote(nameJson.get<std::string>()) +
                                   ", ignoring letter case");
            VariableSet set(name, VariableSet::PlainSet);
            if (responseSets) {
                const json& type = Require(s, "type", at);
                std::string typePath = Child(at, "type");
                if (type == "category")
                    set.SetType(VariableSet::CategorySet);
                else if (type == "dichotomy")
                    set.SetType(VariableSet::DichotomySet);
                else if (type.is_number_integer())
                    set.SetType(static_cast<int>(Integer(type, typePath, INT32_MIN, INT32_MAX)));
                else
                    Fail(typePath,
                         "expected \"category\", \"dichotomy\" or a code, got " + Describe(type));
                if (s.contains("countedValue")) {
                    const json& counted = s["countedValue"];
                    if (counted.is_number_integer())
                        set.SetValue(counted.dump());
                    else if (counted.is_number())
                        set.SetValue(NumberText(counted.get<double>()));
                    else
                        set.SetValue(Text(counted, Child(at, "countedValue")));
                }
                if (s.contains("categoryLabels")) {
                    const json& c = s["categoryLabels"];
                    std::string cPath = Child(at, "categoryLabels");
                    if (c == "countedValues")
                        set.SetUseVariableCategoryLabels(true);
                    else if (c != "variableLabels")
                        Fail(cPath, "expected \"countedValues\" or \"variableLabels\", got " +
                                        Describe(c));
                }
                if (s.contains("label")) set.SetLabel(Text(s["label"], Child(at, "label")));
                if (s.contains("labelFromVariable"))
                    set.SetLabelSetByVariable(
                        Boolean(s["labelFromVariable"], Child(at, "labelFromVariable")));
            }
            const json& members = Require(s, "variables", at);
            std::string membersPath = Child(at, "variables");
            ExpectArray(members, membersPath, "an array of variable names");
            for (size_t k = 0; k < members.size(); ++k)
                set.AddVariableName(Text(members[k], Index(membersPath, k)));
            if (responseSets)
                ds.AddMultipleResponseSet(set);
            else
                ds.AddVariableSet(set);
        }
    }

    void ReadExtensions(const json& j, VORN_DataSource& ds) {
        ExpectArray(j, "extensions", "an array of extension records");
        for (size_t i = 0; i < j.size(); ++i) {
            std::string at = Index("extensions", i);
            ExpectObject(j[i], at, "an object with \"type\", \"elementSize\" and \"data\"");
            CheckKeys(j[i], at, {"type", "elementSize", "data"});
            int type = static_cast<int>(
                Integer(Require(j[i], "type", at), Child(at, "type"), INT32_MIN, INT32_MAX));
            if (ds.HasExtension(type))
                Fail(Child(at, "type"),
                     "a record of type " + std::to_string(type) + " comes earlier");
            int size = j[i].contains("elementSize")
                           ? static_cast<int>(Integer(j[i]["elementSize"], Child(at, "elementSize"),
                                                      1, INT32_MAX))
                           : 1;
            const json& data = Require(j[i], "data", at);
            std::string dataPath = Child(at, "data");
            if (!data.is_string())
                Fail(dataPath, "expected a text of hex digits, got " + Describe(data));
            const std::string& hex = data.get_ref<const std::string&>();
            if (hex.size() % 2 != 0)
                Fail(dataPath, "the hex text has an odd number of digits (" +
                                   std::to_string(hex.size()) + ")");
            std::vector<unsigned char> bytes(hex.size() / 2);
            for (size_t k = 0; k < hex.size(); ++k) {
                int digit = HexDigit(hex[k]);
                if (digit < 0)
                    Fail(dataPath,
                         "the character at offset " + std::to_string(k) + " is not a hex digit");
                bytes[k / 2] = static_cast<unsigned char>(bytes[k / 2] * 16 + digit);
            }
            if (!ds.SetExtension(type, size, bytes))
                Fail(at, std::to_string(bytes.size()) + " bytes are not a whole number of " +
                             std::to_string(size) + "-byte elements");
        }
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }
};

// nlohmann's messages read "[json.exception.parse_error.101] parse error at
// line 3, column 5: syntax error ..."; the line gets the compiler form instead.
std::string SyntaxError(const std::string& source, const json::parse_error& e) {
    std::string what = e.what();
    size_t at = what.find(" at line ");
    int line = 0, column = 0;
    if (at != std::string::npos &&
        std::sscanf(what.c_str() + at, " at line %d, column %d", &line, &column) == 2) {
        size_t colon = what.find(": ", at);
        std::string message = colon == std::string::npos ? what : what.substr(colon + 2);
        return source + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
    }
    size_t bracket = what.find("] ");
    return source + ": " + (bracket == std::string::npos ? what : what.substr(bracket + 2));
}

// Keys and names in the file may hold control characters ("\n" in a key);
// the message stays one line with them written as JSON escapes.
std::string OneLine(const std::string& message) {
    std::string out;
    for (char c : message) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u != 0x7F) {
            out += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", u);
            out += escape;
        }
    }
    return out;
}

}  // namespace

std::unique_ptr<VORN_DataSource> LoadDataSourceJSONText(const std::string& text,
                                                        const std::string& sourceName,
                                                        std::string& error) {
    error.clear();
    try {
        json top;
        DocumentBuilder builder(top);
        json::sax_parse(text, &builder);
        if (!builder.duplicate.empty()) throw LoadError{sourceName + ": " + builder.duplicate};
        return Loader(sourceName).Load(top);
    } catch (const LoadError& e) {
        error = e.message;
    } catch (const json::parse_error& e) {
        error = SyntaxError(sourceName, e);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        error = sourceName + ": " + e.what();
    }
    error = OneLine(error);
    return nullptr;
}

std::unique_ptr<VORN_DataSource> LoadDataSourceJSON(const std::string& path, std::string& error) {
    error.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = OneLine(path + ": cannot be opened: " + std::strerror(errno));
        return nullptr;
    }
    std::string text;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    int failed = std::ferror(file);
    int readErrno = errno;
    std::fclose(file);
    if (failed) {
        error = OneLine(path + ": cannot be read: " + std::strerror(readErrno));
        return nullptr;
    }
    return LoadDataSourceJSONText(text, path, error);
}
