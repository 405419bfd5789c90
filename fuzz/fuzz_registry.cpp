// Bytes decoded into a sequence of registry and image operations, two bytes a
// step: the operation and its arguments. Owner names come from a few that
// differ in case and blanks (and one pair equal only under full case
// mapping); the space is checked against a model of both tables after every
// step: results, flags, the stored values' texts and the listed names.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FuzzChecks.h"
#include "TransImage.h"
#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/XmlDocuments.h"

namespace {

using fuzz::Flags;

struct Name {
    const char* text;
    int key;              // names with one key are one entry; -1: empty after trim
    const char* trimmed;  // the form a first add stores
};

// Keys in the order the space lists them (upper-case comparison).
const Name kOwners[] = {
    {"Stra\xC3\x9F"
     "e",
     0,
     "Stra\xC3\x9F"
     "e"},
    {"STRASSE", 0, "STRASSE"},
    {"to tal", 1, "to tal"},
    {"Total", 2, "Total"},
    {" total ", 2, "total"},
    {"TOTAL\t", 2, "TOTAL"},
    {"x", 3, "x"},
    {"\tX", 3, "X"},
    {"", -1, ""},
    {"  ", -1, ""},
};
const int kOwnerCount = sizeof kOwners / sizeof kOwners[0];

// Image names match exactly after trimming.
const Name kImageNames[] = {
    {"a", 0, "a"}, {" a ", 0, "a"}, {"A", 1, "A"}, {"b\t", 2, "b"}, {"", -1, ""}, {" ", -1, ""},
};
const int kImageNameCount = sizeof kImageNames / sizeof kImageNames[0];

struct ModelImage {
    int nameKey;
    std::string data;
    int number;
};

struct Entry {
    std::u16string storedName;
    int value;  // index into the fixture's values
};

struct Model {
    std::map<int, Entry> values;
    std::map<int, std::vector<ModelImage>> images;
};

struct Fixture {
    TransSpace space;  // the runtime; each input gets a space of its own
    HostTextMode mode{nullptr};
    std::vector<std::unique_ptr<TransValue>> values;
    std::vector<std::u16string> texts;  // what asString gives for each value

    Fixture() {
        values.emplace_back(new TransValue(fuzz::fromUTF8("first")));
        values.emplace_back(new TransValue(2.5));
        values.emplace_back(new TransValue(fuzz::fromUTF8("")));
        DocumentPtr doc = parseXml(std::string("<r a=\"1\"><i>x</i><i>y</i></r>"));
        FUZZ_CHECK(doc != nullptr);
        values.emplace_back(new TransValue(doc.get()));
        values.emplace_back(
            new TransValue(static_cast<const XERCES_CPP_NAMESPACE::DOMDocument*>(nullptr)));
        for (const auto& v : values) texts.push_back(fuzz::take(v->asString()));
    }
};

Fixture* fixture = nullptr;

TransString owner(int i) { return fuzz::fromUTF8(kOwners[i].text); }
TransString imageName(int i) { return fuzz::fromUTF8(kImageNames[i].text); }

void expect(const TransStatus& st, bool warning, bool failure) {
    FUZZ_CHECK((Flags{warning, failure} == fuzz::flagsOf(st)));
}

// The stored value answers as the one added: same text, and a document still
// answers queries.
void checkValue(const TransValue& stored, int value) {
    FUZZ_CHECK(fuzz::take(stored.asString()) == fixture->texts[value]);
    if (value == 3) {
        TransStatus st;
        FUZZ_CHECK(stored.asDouble(fuzz::fromUTF8("/r"), fuzz::fromUTF8("count(i)"), st) == 2);
    }
}

void checkList(const TransSpace& space, const Model& model) {
    TransStatus st = fuzz::dirty();
    const std::vector<std::u16string> names = fuzz::take(space.list(st));
    expect(st, model.values.empty(), false);
    std::vector<std::u16string> expected;
    for (const auto& e : model.values) expected.push_back(e.second.storedName);
    FUZZ_CHECK(names == expected);
}

void step(TransSpace& space, Model& model, uint8_t op, uint8_t arg) {
    const int o = arg % kOwnerCount;
    const Name& n = kOwners[o];
    const bool empty = n.key < 0;
    const bool hasValue = !empty && model.values.count(n.key) > 0;
    const bool hasOwner = !empty && model.images.count(n.key) > 0;
    const int im = (arg / kOwnerCount) % kImageNameCount;
    const Name& in = kImageNames[im];
    TransStatus st = fuzz::dirty();
    switch (op % 10) {
        case 0: {  // add
            const int value = (op / 10) % static_cast<int>(fixture->values.size());
            const bool added = space.add(owner(o), *fixture->values[value], st);
            FUZZ_CHECK(added == (!empty && !hasValue));
            expect(st, !added, !added);
            if (added) model.values[n.key] = Entry{fuzz::textOf(fuzz::fromUTF8(n.trimmed)), value};
            break;
        }
        case 1: {  // find, both forms
            const TransValue& found = space.find(owner(o), st);
            expect(st, !hasValue, !hasValue);
            FUZZ_CHECK(&space.find(owner(o)) == &found);
            if (hasValue) {
                checkValue(found, model.values[n.key].value);
            } else {
                TransStatus q;
                FUZZ_CHECK(fuzz::take(found.asString(q)).empty() && q.failure());
            }
            break;
        }
        case 2:  // exists
            FUZZ_CHECK(space.exists(owner(o), st) == hasValue);
            expect(st, !hasValue, empty);
            FUZZ_CHECK(space.exists(owner(o)) == hasValue);
            break;
        case 3:  // remove
            FUZZ_CHECK(space.remove(owner(o), st) == hasValue);
            expect(st, !hasValue, !hasValue);
            model.values.erase(n.key);
            break;
        case 4:  // list, both forms
            checkList(space, model);
            FUZZ_CHECK(fuzz::take(space.list()).size() == model.values.size());
            break;
        case 5: {  // addImage
            TransImage image;
            image.name = imageName(im);
            image.data = std::string("d\0", 2) + std::to_string(op);
            image.info = fuzz::fromUTF8(in.text);
            image.number = op * 7 - 900;
            FUZZ_CHECK(space.addImage(owner(o), image, st) == !empty);
            expect(st, empty, empty);
            if (!empty) model.images[n.key].push_back(ModelImage{in.key, image.data, image.number});
            break;
        }
        case 6:    // findImage
        case 7:    // existsImage
        case 8: {  // removeImage
            const bool refused = empty || in.key < 0;
            std::vector<ModelImage>* sequence =
                refused || !hasOwner ? nullptr : &model.images[n.key];
            long match = -1;
            if (sequence)
                for (size_t i = 0; i < sequence->size() && match < 0; ++i)
                    if ((*sequence)[i].nameKey == in.key) match = static_cast<long>(i);
            if (op % 10 == 6) {
                const TransImage& found = space.findImage(owner(o), imageName(im), st);
                const bool absent = refused || !hasOwner;
                expect(st, absent, absent);
                if (match >= 0) {
                    const ModelImage& m = (*sequence)[static_cast<size_t>(match)];
                    FUZZ_CHECK(found.data == m.data && found.number == m.number);
                    FUZZ_CHECK(fuzz::textOf(found.info) == fuzz::textOf(found.name));
                } else {
                    FUZZ_CHECK(found.data.empty() && fuzz::textOf(found.name).empty());
                }
            } else if (op % 10 == 7) {
                FUZZ_CHECK(space.existsImage(owner(o), imageName(im), st) == (match >= 0));
                if (refused)
                    expect(st, in.key < 0, true);
                else
                    expect(st, match < 0 && (!hasOwner || !sequence->empty()), false);
            } else {
                FUZZ_CHECK(space.removeImage(owner(o), imageName(im), st) == (match >= 0));
                expect(st, refused && in.key < 0, refused);
                if (match >= 0) sequence->erase(sequence->begin() + match);
            }
            break;
        }
        case 9:  // removeAll
            FUZZ_CHECK(space.removeAll(owner(o), st) == hasValue);
            expect(st, !hasValue, !hasValue);
            if (!empty) {
                model.values.erase(n.key);
                model.images.erase(n.key);
            }
            break;
    }
    checkList(space, model);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture = new Fixture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Model model;
    {
        TransSpace space;
        for (size_t i = 0; i + 1 < size; i += 2) step(space, model, data[i], data[i + 1]);
        // What is left is found under every spelling of its name.
        for (int o = 0; o < kOwnerCount; ++o) {
            const int key = kOwners[o].key;
            if (key >= 0 && model.values.count(key))
                checkValue(space.find(owner(o)), model.values[key].value);
        }
    }
    return 0;
}
