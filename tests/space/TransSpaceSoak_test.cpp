// Spaces coming and going in every order while they hold document values, and
// cycles in one space whose resident memory must stay flat. scripts/memcheck
// leaves the Soak tests out; the Runtime test walks each order once under it.
#include <unistd.h>

#include <algorithm>  // next_permutation
#include <cstdio>
#include <fstream>
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

// Shadow memory and the freed-block quarantine of the tools hide what the
// library itself holds, and they slow each cycle down many times.
bool underTool() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#endif
#endif
    return RUNNING_ON_VALGRIND != 0;
}

long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = -1;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// A value of one of two documents; the caller's DOM is released before the
// value is used, so the value holds a document of its own.
TransValue documentValue(int tag) {
    static const char* const documents[] = {
        "<survey id=\"s\"><q n=\"1\" label=\"First\"/><q n=\"2\" label=\"Second\"/></survey>",
        "<r xmlns=\"urn:r\" xmlns:p=\"urn:p\"><p:v n=\"7\">text<![CDATA[<raw>]]></p:v><?pi x?></r>",
    };
    DocumentPtr document = parseXml(std::string(documents[tag % 2]));
    EXPECT_NE(document, nullptr);
    return TransValue(document.get());
}

void store(TransSpace& space, int tag) {
    ASSERT_TRUE(space.add(ts("doc" + std::to_string(tag)), documentValue(tag)));
    ASSERT_TRUE(space.add(ts(" NUM" + std::to_string(tag)), TransValue(tag + 0.5)));
}

void expectStored(const TransSpace& space, int tag) {
    const TransValue& doc = space.find(ts("DOC" + std::to_string(tag)));
    EXPECT_EQ(doc.asDouble(ts("/"), ts("count(//*)")), tag % 2 == 0 ? 3 : 2) << tag;
    EXPECT_EQ(space.find(ts("num" + std::to_string(tag))).asDouble(), tag + 0.5);
}

// Three spaces per round, destroyed in the next of the six orders (so nested,
// overlapping and mixed lifetimes), the survivors' values queried after every
// destruction; every third round a fourth space comes up while the others go,
// and a copy of a document value held outside the spaces lives until just
// before the last of the three goes. Every round ends with no space, so the
// runtime goes down and comes up again each round.
void comeAndGo(int rounds) {
    int order[] = {0, 1, 2};
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::unique_ptr<TransSpace>> spaces;
        for (int i = 0; i < 3; ++i) {
            spaces.emplace_back(new TransSpace);
            store(*spaces.back(), i);
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
                store(*spaces.back(), 3);
            }
            for (size_t i = 0; i < spaces.size(); ++i)
                if (spaces[i]) expectStored(*spaces[i], static_cast<int>(i));
            if (::testing::Test::HasFailure()) return;
        }
        std::next_permutation(order, order + 3);
    }
}

}  // namespace

TEST(TransSpaceRuntime, SpacesComeAndGoInEveryOrder) { comeAndGo(6); }

TEST(TransSpaceSoak, SpacesComeAndGoInEveryOrder) { comeAndGo(1000); }

// add, find, three queries and remove of document values, over and over in one
// space: after the first thousand cycles every allocator pool the work needs
// exists, so the resident size may not grow after that.
TEST(TransSpaceSoak, CyclesKeepResidentMemoryFlat) {
    const int cycles = underTool() ? 10000 : 100000;
    TransSpace space;
    const TransValue values[] = {documentValue(0), documentValue(1)};
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
        ASSERT_EQ(found.asDouble(ts("/"), ts("count(//*)"), st), cycle % 2 == 0 ? 3 : 2) << cycle;
        TransSpace::releaseString(text);
        TransSpace::releaseStringList(list);
        ASSERT_TRUE(space.remove(name, st)) << cycle;
        if (cycle == 999) afterWarmUp = residentKiB();
    }
    const long atEnd = residentKiB();
    std::printf("resident KiB after 1000 cycles: %ld, after %d: %ld\n", afterWarmUp, cycles, atEnd);
    if (underTool()) return;
    ASSERT_GT(afterWarmUp, 0);
    EXPECT_LE(atEnd, afterWarmUp + afterWarmUp / 50 + 256);
}
