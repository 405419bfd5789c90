// The codebook page's generator: whatever the dictionary's texts hold, the
// JSON in the page's data block parses back to the same texts, and nothing in
// it can end the element, open a comment or end a CDATA section.
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "diff/DictionaryFacts.h"
#include "html/CodebookPage.h"

namespace {

// A string variable's facts, its texts quoted as the readers quote them.
VariableFacts stringVariable(const std::string& name, const std::string& label,
                             const std::vector<std::pair<std::string, std::string>>& labels,
                             const std::vector<FactsAttribute>& attributes) {
    VariableFacts v;
    v.name = name;
    std::string& out = v.text;
    int field = 0;
    auto close = [&] { v.ends[field++] = static_cast<std::uint32_t>(out.size()); };
    appendQuoted(out, label);
    close();
    for (const char* text : {"string 8", "A8", "A8", "nominal", "left", "8"}) {
        out += text;
        close();
    }
    appendQuoted(out, labels.empty() ? std::string("x") : labels[0].first);  // missing
    close();
    for (std::size_t k = 0; k < labels.size(); ++k) {
        if (k > 0) out += ", ";
        appendQuoted(out, labels[k].first);
        out += " = ";
        appendQuoted(out, labels[k].second);
    }
    if (labels.empty()) out += "none";
    close();
    out += "(attributes)";  // the page takes them from the list
    close();
    v.attributes = attributes;
    return v;
}

// The data block of a page, and the page around it.
nlohmann::json dataOf(const std::string& page, std::string& block) {
    const std::string open = "<script type=\"application/json\" id=\"facts\">";
    const std::size_t begin = page.find(open) + open.size();
    // The block ends at the first "</script" whatever it holds, as a browser ends it.
    block = page.substr(begin, page.find("</script", begin) - begin);
    return nlohmann::json::parse(block);
}

void expectScriptSafe(const std::string& block) {
    for (const char* bad : {"<", ">", "&", "\xE2\x80\xA8", "\xE2\x80\xA9"})
        EXPECT_EQ(block.find(bad), std::string::npos) << "holds " << bad;
}

// Texts made of the pieces that break pages, in random order and number.
// The empty piece (number 20) stands for a NUL byte.
std::vector<std::string> hostileTexts(int count) {
    static const char* const pieces[] = {"</script>",
                                         "</SCRIPT ",
                                         "<script>",
                                         "<!--",
                                         "-->",
                                         "]]>",
                                         "<![CDATA[",
                                         "\"",
                                         "'",
                                         "\\",
                                         "&amp;",
                                         "<img src=x onerror=alert(1)>",
                                         "\xE2\x80\xA8",
                                         "\xE2\x80\xA9",
                                         "\xF0\x9F\x98\x80",
                                         "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
                                         "\n",
                                         "\t",
                                         "\x01",
                                         "\x7F",
                                         "",
                                         "a",
                                         " ",
                                         "</",
                                         "/",
                                         "u2028",
                                         "\\u003c"};
    std::mt19937 random(23);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string text;
        const int n = static_cast<int>(random() % 12);
        for (int k = 0; k < n; ++k) {
            const std::size_t which = random() % (sizeof pieces / sizeof *pieces);
            text += which == 20 ? std::string(1, '\0') : std::string(pieces[which]);
        }
        texts.push_back(text);
    }
    return texts;
}

TEST(CodebookPage, ScriptStringsParseBackAndCannotEndTheElement) {
    for (const std::string& text : hostileTexts(500)) {
        SCOPED_TRACE(text);
        std::string json;
        appendScriptString(json, text);
        expectScriptSafe(json);
        EXPECT_EQ(nlohmann::json::parse(json).get<std::string>(), text);
    }
}

TEST(CodebookPage, BytesThatAreNotUTF8BecomeReplacementCharacters) {
    const struct {
        const char* what;
        std::string bytes;
        std::string text;
    } rows[] = {
        {"a lone continuation byte", "a\x80z", "a\xEF\xBF\xBDz"},
        {"a cut sequence at the end", "a\xE2\x80", "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"an overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"a surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string json;
        appendScriptString(json, row.bytes);
        EXPECT_EQ(nlohmann::json::parse(json).get<std::string>(), row.text);
    }
}

TEST(CodebookPage, EveryTextOfEveryFieldComesBackFromThePage) {
    const std::vector<std::string> texts = hostileTexts(120);
    DictionaryFacts facts;
    for (std::size_t i = 0; i + 4 < texts.size(); i += 4) {
        const std::string name = "v" + std::to_string(i) + texts[i];
        facts.variables.push_back(stringVariable(
            name, texts[i + 1], {{texts[i + 2], texts[i + 3]}, {"b" + texts[i], texts[i + 2]}},
            {{texts[i + 3], {texts[i], texts[i + 1]}}, {"Notes", {}}}));
    }
    facts.file[kRowCount] = "none";
    facts.file[kWeightVariable] = facts.variables[3].name;
    facts.fileAttributes = {{"Title", {texts[5]}}, {texts[6], {texts[7], texts[8]}}};
    facts.sets = {{texts[9], false, "", {facts.variables[1].name, "absent"}},
                  {texts[10], true, texts[11], {facts.variables[2].name}}};
    const std::string page = codebookPage(facts, {"", "file.json", "2026-12-07"});

    std::string block;
    const nlohmann::json data = dataOf(page, block);
    expectScriptSafe(block);
    EXPECT_EQ(data["title"], texts[5].empty() ? "file.json" : texts[5]);
    EXPECT_EQ(data["weight"], facts.variables[3].name);
    EXPECT_EQ(data["attributes"][1][0], texts[6]);
    EXPECT_EQ(data["attributes"][1][1][1], texts[8]);
    EXPECT_EQ(data["sets"][0][0], texts[9]);
    EXPECT_EQ(data["sets"][0][3], nlohmann::json::array({1}));  // exact members only
    EXPECT_EQ(data["sets"][1][2], texts[11]);
    ASSERT_EQ(data["variables"].size(), facts.variables.size());
    for (std::size_t k = 0; k < facts.variables.size(); ++k) {
        SCOPED_TRACE(k);
        const nlohmann::json& v = data["variables"][k];
        const std::size_t i = k * 4;
        EXPECT_EQ(v[0], facts.variables[k].name);
        EXPECT_EQ(v[1], texts[i + 1]);
        EXPECT_EQ(v[10][0], nlohmann::json::array({texts[i + 2], texts[i + 3], 1}));
        EXPECT_EQ(v[10][1][0], "b" + texts[i]);
        EXPECT_EQ(v[10][1][1], texts[i + 2]);
        EXPECT_EQ(v[11][0][0], texts[i + 3]);
        EXPECT_EQ(v[11][0][1], nlohmann::json::array({texts[i], texts[i + 1]}));
    }
    // The page's own two scripts end where they should, and nothing else does.
    std::size_t ends = 0;
    for (std::size_t at = page.find("</script"); at != std::string::npos;
         at = page.find("</script", at + 1))
        ++ends;
    EXPECT_EQ(ends, 2u);
    EXPECT_EQ(page.find("<!--"), std::string::npos);
}

}  // namespace
