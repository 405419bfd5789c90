// The codebook page's escaping: the input's texts (split at 0xFF bytes, which
// UTF-8 never holds) go into every field of a dictionary; the page's data
// block must parse back to the same texts (U+FFFD for bytes that are not
// UTF-8) and hold nothing that ends the element or opens a comment.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "FuzzChecks.h"
#include "diff/DictionaryFacts.h"
#include "html/CodebookPage.h"

namespace {

// The text as the page's JSON must give it back, or empty when it is not UTF-8.
bool validUTF8(const std::string& text) {
    try {
        (void)nlohmann::json(text).dump();
        return true;
    } catch (const nlohmann::json::exception&) {
        return false;
    }
}

void checkSame(const nlohmann::json& value, const std::string& text) {
    FUZZ_CHECK(value.is_string());
    if (validUTF8(text)) FUZZ_CHECK(value.get<std::string>() == text);
}

VariableFacts variable(const std::string& name, const std::string& label, const std::string& code,
                       const std::string& attribute) {
    VariableFacts v;
    v.name = name;
    int field = 0;
    auto close = [&] { v.ends[field++] = static_cast<std::uint32_t>(v.text.size()); };
    appendQuoted(v.text, label);
    close();
    for (const char* text : {"string 8", "A8", "A8", "nominal", "left", "8"}) {
        v.text += text;
        close();
    }
    appendQuoted(v.text, code);  // a missing value
    close();
    appendQuoted(v.text, code);
    v.text += " = ";
    appendQuoted(v.text, label);
    close();
    v.text += "none";
    close();
    v.attributes = {{attribute, {label, code}}};
    return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> texts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF)
            texts.emplace_back();
        else
            texts.back() += static_cast<char>(data[i]);
    }
    while (texts.size() < 4) texts.push_back(texts[texts.size() % texts.size()]);

    DictionaryFacts facts;
    for (std::size_t i = 0; i + 3 < texts.size(); ++i)
        facts.variables.push_back(
            variable(std::to_string(i) + texts[i], texts[i + 1], texts[i + 2], texts[i + 3]));
    facts.file[kRowCount] = "none";
    facts.file[kWeightVariable] = "none";
    facts.fileAttributes = {{texts[1], {texts[2]}}};
    facts.sets = {{texts[0], true, texts[3], {facts.variables[0].name}}};
    const std::string page = codebookPage(facts, {texts[0], texts[1], texts[2]});

    const std::string open = "<script type=\"application/json\" id=\"facts\">";
    const std::size_t begin = page.find(open) + open.size();
    const std::size_t end = page.find("</script", begin);
    FUZZ_CHECK(end != std::string::npos);
    const std::string block = page.substr(begin, end - begin);
    for (const char* bad : {"<", ">", "&", "\xE2\x80\xA8", "\xE2\x80\xA9"})
        FUZZ_CHECK(block.find(bad) == std::string::npos);
    FUZZ_CHECK(page.find("<!--") == std::string::npos);

    const nlohmann::json json = nlohmann::json::parse(block);  // throws (and fails) if broken
    // --title, else a "Title" attribute's first value, else the file name.
    const bool titled = texts[1] == "Title" && !texts[2].empty();
    checkSame(json["title"], !texts[0].empty() ? texts[0] : titled ? texts[2] : texts[1]);
    checkSame(json["file"], texts[1]);
    checkSame(json["attributes"][0][0], texts[1]);
    checkSame(json["sets"][0][2], texts[3]);
    FUZZ_CHECK(json["variables"].size() == facts.variables.size());
    for (std::size_t i = 0; i < facts.variables.size(); ++i) {
        const nlohmann::json& v = json["variables"][i];
        checkSame(v[0], facts.variables[i].name);
        checkSame(v[1], texts[i + 1]);
        checkSame(v[10][0][0], texts[i + 2]);
        checkSame(v[10][0][1], texts[i + 1]);
        FUZZ_CHECK(v[10][0].size() == 3);  // marked missing
        checkSame(v[11][0][0], texts[i + 3]);
    }
    return 0;
}
