#include "VornSourceFile.h"

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "TransSpace.h"
#include "TransValue.h"
#include "dictionary/DictionaryNamespace.h"
#include "support/HostTextMode.h"

namespace {

std::string ascii(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// Files in a directory of their own, removed with the fixture.
class SourceFile : public ::testing::Test {
protected:
    SourceFile()
        : dir(std::filesystem::temp_directory_path() /
              ("vorn-source-file-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::create_directories(dir);
    }
    ~SourceFile() override { std::filesystem::remove_all(dir); }

    std::string write(const char* name, const std::string& text) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    std::filesystem::path dir;
    std::string error;
    std::vector<std::string> notes;
};

TEST(SourceFormat, DictionaryRoots) {
    const std::string ns = ascii(dictionaryNamespaceURI());
    const std::pair<std::string, SourceFormat> formats[] = {
        {"<dictionary xmlns='" + ns + "' xmlns:xsi='x'>", SourceFormat::Dictionary},
        {"<?xml version='1.0'?><!-- c --><dictionary/>", SourceFormat::Dictionary},
        {"<dictionary xmlns='urn:words'/>", SourceFormat::XML},
        {"<d:dictionary xmlns:d='" + ns + "'/>", SourceFormat::XML},
        {"<dictionary xmlns='" + ns, SourceFormat::XML},  // cut short
        {"<dictionaryX/>", SourceFormat::XML},
    };
    for (const auto& f : formats) EXPECT_EQ(DetectSourceFormat(f.first), f.second) << f.first;
}

// The file is read as far as the root, however long the prolog, up to the
// loader's limit; the loader decides as detection does.
TEST_F(SourceFile, DetectionReadsPastLongPrologs) {
    HostTextMode utf8(nullptr);
    std::string comments;
    while (comments.size() < 100 * 1024) comments += "<!-- a prolog of many comments -->\n";
    const std::string codebook =
        "<codeBook xmlns='ddi:codebook:2_5'><dataDscr><var name='a'/></dataDscr></codeBook>";
    const std::string longCodebook =
        write("c.xml", "<?xml version='1.0'?>\n" + comments + codebook);
    EXPECT_EQ(DetectSourceFormat(comments + codebook), SourceFormat::DDI);
    EXPECT_EQ(DetectSourceFileFormat(longCodebook, error), SourceFormat::DDI);
    EXPECT_EQ(error, "");
    std::unique_ptr<VORN_DataSource> source = LoadDataSource(longCodebook, error, notes);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->ColumnCount(), 1u);

    // A saved dictionary behind an internal subset longer than the first read.
    TransSpace space;
    TransStatus st;
    TransString* xml = TransValue(*source).asMBCSXML(st);
    std::string saved = xml->asMBCS();
    TransValue::releaseString(xml);
    const size_t root = saved.find("<dictionary");
    ASSERT_NE(root, std::string::npos);
    saved.insert(root, "<!DOCTYPE dictionary [<!-- ]> <codeBook> -->" + comments + "]>");
    const std::string dictionary = write("d.xml", saved);
    EXPECT_EQ(DetectSourceFileFormat(dictionary, error), SourceFormat::Dictionary);
    EXPECT_FALSE(LoadDataSource(dictionary, error, notes));
    EXPECT_EQ(error, dictionary + ": a dictionary document, not a data source");

    // Markup still open at 16 MiB is taken for XML, as the loader would.
    std::string endless = "<!--";
    endless.resize(17u << 20, 'x');
    const std::string endlessPath = write("e.xml", endless + "--><codeBook/>");
    EXPECT_EQ(DetectSourceFileFormat(endlessPath, error), SourceFormat::XML);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(LoadDataSource(endlessPath, error, notes));
    EXPECT_EQ(error, endlessPath + ": an XML document that is not a DDI codebook");
}

TEST_F(SourceFile, DetectionErrors) {
    const std::string missing = (dir / "absent.json").string();
    EXPECT_EQ(DetectSourceFileFormat(missing, error), SourceFormat::Unknown);
    EXPECT_EQ(error, missing + ": cannot be opened: No such file or directory");
    EXPECT_EQ(DetectSourceFileFormat(dir.string(), error), SourceFormat::Unknown);
    EXPECT_EQ(error, dir.string() + ": cannot be read: Is a directory");
    // Empty content is no error of reading, and no format either.
    EXPECT_EQ(DetectSourceFileFormat(write("empty", ""), error), SourceFormat::Unknown);
    EXPECT_EQ(error, "");
    EXPECT_EQ(DetectSourceFileFormat(write("s.json", "\n {\"variables\": []}"), error),
              SourceFormat::JSON);
}

}  // namespace
