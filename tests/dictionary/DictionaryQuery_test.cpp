// A dictionary value read as a host reads it: one query at a time through the
// value handle, in UTF-8 mode and in a single-byte code page.
#include <gtest/gtest.h>

#include "dictionary/DictionaryFixture.h"

namespace {

class DictionaryQueryTest : public DictionaryTest {};

}  // namespace

TEST_F(DictionaryQueryTest, HostReadsTheSurveyDictionary) {
    const std::unique_ptr<VORN_DataSource> source = loadExample("survey.json");
    const TransValue value(*source);
    TransStatus st;

    EXPECT_EQ(takeUtf8(value.asString(ts("/dictionary/variable[@name='height']"), ts("@label"), st)),
              "Größe (cm)");
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_EQ(value.asDouble(ts("/dictionary"), ts("@rowCount"), st), 1500.0);
    EXPECT_FALSE(st.failure() || st.warning());
    EXPECT_EQ(value.asDouble(ts("/"), ts("count(/dictionary/variable)"), st),
              15.0);
    EXPECT_EQ(takeUtf8(value.asString(ts("/dictionary/weightVariable"), ts("@name"), st)), "wgt");
    EXPECT_EQ(takeUtf8(value.asStringList(ts("/dictionary/valueLabelSet[valueLabelVariable/@name='sex']"),
                                          ts("valueLabel/@label"), st)),
              (std::vector<std::string>{"Male", "Female", "No answer"}));
    EXPECT_FALSE(st.failure() || st.warning());

    // The value's serialised text is the builder's document.
    TransString* xml = value.asUTF16XML(st);
    EXPECT_FALSE(st.failure());
    const std::vector<std::string> errors = validator.validate(take(xml));
    EXPECT_TRUE(errors.empty()) << joinLines(errors);
}

TEST_F(DictionaryQueryTest, SingleByteCodePageTextArrivesIntact) {
    HostTextMode latin("windows-1252");
    const std::unique_ptr<VORN_DataSource> source =
        load("{\"variables\": [{\"name\": \"ort\", \"label\": \"Gr\xC3\xB6\xC3\x9F" "e\"}]}");
    // The loader hands texts over in the host's code page, as a host does.
    const TransValue value(*source);
    TransStatus st;
    EXPECT_EQ(takeUtf8(value.asString(ts("/dictionary/variable"), ts("@label"), st)), "Größe");
    EXPECT_FALSE(st.failure() || st.warning());
    TransString* mbcs = value.asMBCSXML(st);
    EXPECT_NE(std::string(mbcs->asMBCS()).find("encoding=\"windows-1252\""), std::string::npos);
    EXPECT_NE(std::string(mbcs->asMBCS()).find("Gr\xF6\xDF" "e"), std::string::npos);
    TransValue::releaseString(mbcs);
}
