// Long runs of the space: many spaces coming and going in every order while
// they hold document values, and many add-find-query-remove cycles in one
// space, whose resident memory must stay flat. scripts/memcheck leaves these
// out (they would take most of valgrind's time without reaching new code).
#include <unistd.h>

#include <algorithm>  // next_permutation
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "support/XmlDocuments.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif
#ifndef RUNNING_ON_VALGRIND
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool underSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool underSanitizer = true;
#else
constexpr bool underSanitizer = false;
#endif
#else
constexpr bool underSanitizer = false;
#endif

// Shadow memory and the freed-block quarantine of the tools hide what the
// library itself holds, and they slow each cycle down many times.
bool underTool() { return underSanitizer || RUNNING_ON_VALGRIND; }

long residentKiB() {
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    long size = 0, resident = 0;
    if (f == nullptr) return -1;
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = -1;
    std::fclose(f);
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

const char* const kDocuments[] = {
    "<survey id=\"s\"><q n=\"1\" label=\"First\"/><q n=\"2\" label=\"Second\"/></survey>",
    "<r xmlns=\"urn:r\" xmlns:p=\"urn:p\"><p:v n=\"7\">text<![CDATA[<raw>]]></p:v><?pi x?></r>",
};

// Stores a document value and a number under names of its own and reads them
// back through the space.
void storeAndQuery(TransSpace& space, int tag) {
    DocumentPtr document = parseXml(std::string(kDocuments[tag % 2]));
    ASSERT_NE(document, nullptr);
    const TransValue value(document.get());
    document.reset();
    ASSERT_TRUE(space.add(ts("doc" + std::to_string(tag)), value));
    ASSERT_TRUE(space.add(ts(" NUM" + std::to_string(tag)), TransValue(tag + 0.5)));
}

void expectStored(const TransSpace& space, int tag) {
    TransStatus st;
    const TransValue& doc = space.find(ts("DOC" + std::to_string(tag)), st);
    ASSERT_FALSE(st.failure()) << tag;
    const double n = tag % 2 == 0 ? doc.asDouble(ts("/survey"), ts("count(q)"), st)
                                  : doc.asDouble(ts("/*"), ts("count(//*)"), st);
    EXPECT_EQ(n, 2) << tag;
    EXPECT_EQ(space.find(ts("num" + std::to_string(tag))).asDouble(), tag + 0.5);
}

}  // namespace

// Three spaces per round, destroyed in each of the six orders in turn (so
// nested, overlapping and mixed lifetimes), each holding values that are
// queried after every destruction; every third round a fourth space comes up
// while the others go, and a value held outside the spaces lives until just
// before the last of the three goes. Every round ends with no space, so the
// runtime goes down and comes up again a thousand times.
TEST(TransSpaceSoak, SpacesComeAndGoInEveryOrder) {
    std::array<int, 3> order = {0, 1, 2};
    for (int round = 0; round < 1000; ++round) {
        std::vector<std::unique_ptr<TransSpace>> spaces;
        for (int i = 0; i < 3; ++i) {
            spaces.emplace_back(new TransSpace);
            storeAndQuery(*spaces.back(), i);
        }
        auto outside = std::make_unique<TransValue>(spaces[0]->find(ts("doc0")));
        for (int step = 0; step < 3; ++step) {
            if (step == 2) {
                EXPECT_EQ(outside->asDouble(ts("/survey"), ts("count(q)")), 2) << round;
                outside.reset();
            }
            spaces[order[step]].reset();
            if (step == 0 && round % 3 == 0) {
                spaces.emplace_back(new TransSpace);
                storeAndQuery(*spaces.back(), 3);
            }
            for (size_t i = 0; i < spaces.size(); ++i)
                if (spaces[i]) expectStored(*spaces[i], static_cast<int>(i));
            if (HasFailure()) return;
        }
        std::next_permutation(order.begin(), order.end());
    }
}

// add, find, three queries and remove of document values, over and over in one
// space: after the first thousand cycles every allocator pool the work needs
// exists, so the resident size may not grow after that.
TEST(TransSpaceSoak, CyclesKeepResidentMemoryFlat) {
    const int cycles = underTool() ? 10000 : 100000;
    TransSpace space;
    std::vector<TransValue> values;
    for (const char* text : kDocuments) {
        DocumentPtr document = parseXml(std::string(text));
        ASSERT_NE(document, nullptr);
        values.emplace_back(document.get());
    }
    const TransString context = ts("/*");
    const TransString expression = ts("@*|*/@*");
    long afterWarmUp = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const TransString name = ts("value " + std::to_string(cycle % 64));
        TransStatus st;
        ASSERT_TRUE(space.add(name, values[cycle % 2], st)) << cycle;
        const TransValue& found = space.find(name, st);
        TransString* text = found.asString(context, expression, st);
        TransStringList* list = found.asStringList(context, expression, st);
        ASSERT_EQ(list->size(), cycle % 2 == 0 ? 5u : 1u) << cycle;
        const double n = found.asDouble(ts("/"), ts("count(//*)"), st);
        ASSERT_EQ(n, cycle % 2 == 0 ? 3 : 2) << cycle;
        TransSpace::releaseString(text);
        TransSpace::releaseStringList(list);
        ASSERT_TRUE(space.remove(name, st)) << cycle;
        if (cycle == 999) afterWarmUp = residentKiB();
    }
    const long atEnd = residentKiB();
    std::printf("resident memory after 1000 cycles: %ld KiB, after %d: %ld KiB\n", afterWarmUp,
                cycles, atEnd);
    if (underTool()) return;
    ASSERT_GT(afterWarmUp, 0);
    EXPECT_LE(atEnd, afterWarmUp + afterWarmUp / 50 + 256);
}
