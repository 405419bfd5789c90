// Spaces made and destroyed on several threads while others load DDI
// codebooks: the spaces bring the XML runtime up and down, the loader brings
// the parser platform up and down, and every such step goes through the one
// lock they share. A count lost to a race tears the platform down under a
// running parser or query, which the sanitizer builds report. Valgrind runs
// the threads one at a time, so the rounds are few there.
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "VornDdiSource.h"
#include "support/XmlDocuments.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#endif
#ifndef RUNNING_ON_VALGRIND
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

const std::string codebookPath = std::string(TRANSSPACE_SOURCE_DIR) + "/examples/codebook.xml";

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// examples/codebook.xml: eight variables in a file of 1250 cases.
void expectCodebook(const VORN_DataSource* source, const std::string& error) {
    ASSERT_NE(source, nullptr) << error;
    EXPECT_EQ(source->ColumnCount(), 8u);
    EXPECT_EQ(source->GetRowCount(), 1250);
}

// False when the load failed: the thread then stops.
bool loadOnce(int round, const std::string& codebook) {
    std::string error;
    std::vector<std::string> notes;
    std::unique_ptr<VORN_DataSource> source =
        round % 2 == 0 ? LoadDataSourceDDI(codebookPath, error, notes)
                       : LoadDataSourceDDIText(codebook, "codebook.xml", error, notes);
    expectCodebook(source.get(), error);
    return source != nullptr;
}

// Each round a space of its own with a document value, queried; every third
// round the space also holds the dictionary of a codebook loaded while it
// lives. Between spaces a load with no space of this thread's alive, so the
// runtime's count falls to zero now and then and it goes down and comes up.
void spaceRounds(int rounds, int tag, const std::string& codebook) {
    for (int round = 0; round < rounds; ++round) {
        {
            TransSpace space;
            DocumentPtr document = parseXml("<r><v n=\"" + std::to_string(tag) + "\"/><v n=\"" +
                                            std::to_string(round) + "\"/></r>");
            ASSERT_NE(document, nullptr);
            ASSERT_TRUE(space.add(ts("doc"), TransValue(document.get())));
            document.reset();
            EXPECT_EQ(space.find(ts("doc")).asDouble(ts("/r"), ts("sum(v/@n)")), tag + round);
            if ((round + tag) % 3 == 0) {
                std::string error;
                std::vector<std::string> notes;
                std::unique_ptr<VORN_DataSource> source =
                    LoadDataSourceDDIText(codebook, "codebook.xml", error, notes);
                expectCodebook(source.get(), error);
                if (source == nullptr) return;
                ASSERT_TRUE(space.add(ts("dictionary"), TransValue(*source)));
                EXPECT_EQ(
                    space.find(ts("dictionary")).asDouble(ts("/*"), ts("count(*[@type='0'])")), 7);
            }
        }
        if (!loadOnce(round, codebook)) return;
    }
}

// Loads only, from the file and from text in turn.
void loadRounds(int rounds, const std::string& codebook) {
    for (int round = 0; round < rounds; ++round)
        if (!loadOnce(round, codebook)) return;
}

}  // namespace

TEST(TransSpaceThreads, SpacesComeAndGoWhileCodebooksLoad) {
    const std::string codebook = readAll(codebookPath);
    ASSERT_FALSE(codebook.empty()) << codebookPath;
    const int rounds = RUNNING_ON_VALGRIND ? 8 : 150;
    std::vector<std::thread> threads;
    for (int tag = 0; tag < 3; ++tag) threads.emplace_back(spaceRounds, rounds, tag, codebook);
    for (int i = 0; i < 2; ++i) threads.emplace_back(loadRounds, 2 * rounds, codebook);
    for (std::thread& thread : threads) thread.join();
}
