// The fast queries (Xalan's own tree, shared per document) against the literal
// ones (a resolver per query over the Xerces-wrapper view): over dictionaries
// and host documents with namespaces, comments, processing instructions, CDATA
// sections, entity references, adjacent texts and non-ASCII text, every pair
// of context path and expression gives the same results, flags and order.
#include <cmath>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xercesc/dom/DOM.hpp>

#include "TransSpace.h"
#include "VornJsonSource.h"
#include "support/HostTextMode.h"
#include "support/LiteralQuery.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"
#include "value/xpath/AttributeIndex.h"

XERCES_CPP_NAMESPACE_USE

namespace {

std::string flags(const TransStatus& st) {
    return std::string(st.failure() ? "F" : "") + (st.warning() ? "W" : "");
}

std::string numberText(double n) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g|", n);
    return std::isnan(n) ? "NaN|" : buffer;
}

const char* const hostDocuments[] = {
    "<?xml version=\"1.0\"?><!-- lead --><?lead pi?>"
    "<r xmlns=\"urn:default\" xmlns:p=\"urn:p\" p:a=\"1\" b=\"zwei\" xml:lang=\"de\">"
    "<p:item id=\"x\" p:v=\"3.5\">Größe<![CDATA[ & <raw> ]]>tail</p:item>"
    "<item v=\"-2\"><!--c--><?target data here?>€ text</item>"
    "<empty/><p:empty xmlns:q=\"urn:q\" q:z=\"\"/></r><!-- trailer -->",
    "<library><book year=\"1999\" lang=\"en\"><title>Übung</title><price>12.50</price></book>"
    "<book year=\"2004\"><title lang=\"ja\">\xE6\x97\xA5\xE6\x9C\xAC</title><price>7</price>"
    "</book><book/>   <note>  spaced   text </note></library>",
    // The same without CDATA.
    "<?xml version=\"1.0\"?><!-- lead --><?lead pi?>"
    "<r xmlns=\"urn:default\" xmlns:p=\"urn:p\" p:a=\"1\" b=\"zwei\" xml:lang=\"de\">"
    "<p:item id=\"x\" p:v=\"3.5\">Größe &amp; &lt;raw&gt; tail</p:item>"
    "<item v=\"-2\"><!--c--><?target data here?>€ text</item>"
    "<empty/><p:empty xmlns:q=\"urn:q\" q:z=\"\"/></r><!-- trailer -->",
    "<a><b><c><d x=\"1\"/><d x=\"2\"/></c></b><b x=\"3\">mixed<c/>content</b></a>",
    // CDATA alone, empty, blank, between texts and inside namespaced elements.
    "<r><a><![CDATA[only]]></a><b>x<![CDATA[]]>y</b><c><![CDATA[  ]]></c>"
    "<p:d xmlns:p=\"urn:p\"><e xmlns=\"urn:e\">t<![CDATA[<i>1</i>]]><!--k--><![CDATA[2]]></e>"
    "</p:d><f><![CDATA[3.5]]></f></r>",
};

// A document built through the DOM, with what no parser produces: adjacent
// text nodes, an empty text node, a namespace-less attribute with a colon.
DocumentPtr builtDocument() {
    DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
    DOMElement* root = d->createElement(u"root");
    d->appendChild(root);
    root->setAttribute(u"xsi:type", u"level1");
    root->appendChild(d->createTextNode(u"one"));
    root->appendChild(d->createTextNode(u""));
    root->appendChild(d->createTextNode(u"two"));
    DOMElement* ns = d->createElementNS(u"urn:ns", u"n:child");
    ns->setAttributeNS(u"urn:ns", u"n:k", u"v");
    root->appendChild(ns);
    root->appendChild(d->createComment(u"3"));
    // Entity references (with no children once copied) and CDATA sections
    // next to each other and to texts.
    DOMElement* mixed = d->createElement(u"mixed");
    root->appendChild(mixed);
    mixed->appendChild(d->createEntityReference(u"ent"));
    mixed->appendChild(d->createTextNode(u"4"));
    mixed->appendChild(d->createCDATASection(u"5"));
    mixed->appendChild(d->createCDATASection(u""));
    mixed->appendChild(d->createEntityReference(u"other"));
    mixed->appendChild(d->createEntityReference(u"ent"));
    ns->appendChild(d->createCDATASection(u"6"));
    return d;
}

// Level-one nodes beside namespace-aware ones: declarations of both kinds
// sorted between other attributes, a URI without a prefix, a level-one
// element whose name has a colon, whitespace texts, instructions.
DocumentPtr mixedDocument() {
    DocumentPtr d(DOMImplementation::getImplementation()->createDocument());
    DOMElement* root = d->createElementNS(u"urn:d", u"root");
    d->appendChild(root);
    root->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns", u"urn:d");
    root->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns:p", u"urn:p");
    root->setAttribute(u"xmlns:q", u"urn:level-one");
    root->setAttribute(u"A", u"1");
    root->setAttribute(u"zz", u"2");
    root->setAttributeNS(u"urn:u", u"plain", u"3");
    root->setAttributeNS(u"urn:p", u"p:a", u"4");
    root->setAttributeNS(u"http://www.w3.org/XML/1998/namespace", u"xml:lang", u"en-GB");
    DOMElement* item = d->createElementNS(u"urn:p", u"p:item");
    root->appendChild(item);
    item->setAttribute(u"name", u"x");
    item->appendChild(d->createTextNode(u"  "));
    item->appendChild(d->createElement(u"q:level"));
    item->appendChild(d->createTextNode(u"\t"));
    item->appendChild(d->createProcessingInstruction(u"pi", u"data"));
    DOMElement* none = d->createElementNS(nullptr, u"item");
    root->appendChild(none);
    none->setAttributeNS(u"http://www.w3.org/2000/xmlns/", u"xmlns", u"");
    none->setAttribute(u"name", u"y");
    none->appendChild(d->createCDATASection(u" "));
    none->appendChild(d->createEntityReference(u"e"));
    none->appendChild(d->createComment(u"note"));
    return d;
}

std::vector<std::string> contextPaths(const DOMDocument* document) {
    std::set<std::string> names;
    DOMNodeList* all = document->getElementsByTagName(u"*");
    for (XMLSize_t i = 0; i < all->getLength(); ++i)
        names.insert(utf8(reinterpret_cast<const unsigned short*>(all->item(i)->getNodeName())));
    std::vector<std::string> paths = {"/",
                                      "/*",
                                      "//*[@*][1]",
                                      "//*[last()]",
                                      "//text()[1]",
                                      "//comment()",
                                      "/nonexistent",
                                      "//*[",
                                      "1 + 1",
                                      " / ",
                                      "(//node())[last()]",
                                      "(//*/node()[not(self::*)])[3]",
                                      "//node()[not(self::text())][not(self::*)]"};
    for (const std::string& name : names) {
        if (name.find(':') != std::string::npos) continue;
        paths.push_back("//" + name);
        paths.push_back("(//" + name + ")[last()]");
    }
    return paths;
}

const char* const expressions[] = {
    "@*",
    "@*[2]",
    "@name",
    "@label",
    "@p:a",
    "@xsi:schemaLocation",
    "node()",
    "text()",
    "*",
    "..",
    "count(//*)",
    "count(@*)",
    "count(namespace::*)",
    "namespace::*",
    "concat(name(namespace::*[1]), '=', namespace::*[last()])",
    "//@*[namespace-uri()='urn:p']",
    "lang('en')",
    "name()",
    "local-name()",
    "namespace-uri()",
    "string(.)",
    "normalize-space(.)",
    "string-length(.)",
    "number(@x)",
    "sum(//@x)",
    "following-sibling::node()",
    "preceding::*",
    "ancestor-or-self::*",
    "comment()",
    "processing-instruction()",
    "descendant::text()",
    "boolean(@x)",
    "lang('de')",
    "id('x')",
    "'lit'",
    "1 div 0",
    "0 div 0",
    "1 = 1",
    "position() = last()",
    "concat(name(), '|', @name, '|', .)",
    "translate(., 'abc', 'ABC')",
    "//*[local-name()='item']",
    "//p:item/@p:v",
    "@@",
    "unknown()",
    "$nothing",
    "  ",
    "substring-before(@label, ' ')",
    "//valueLabel/@label",
    "//variable[@name='age']/@label",
    "//*[@name][2]/@*",
    "node()[2]",
    "count(node())",
    "count(text())",
    "self::text()",
    "self::node()",
    "preceding-sibling::node()[1]",
    "number(.)",
    "count(//node())",
    "//text()",
};

class QueryDifferentialTest : public ::testing::Test {
protected:
    void compare(const TransValue& value, const std::vector<std::string>& paths) {
        for (const std::string& path : paths) {
            for (const char* expression : expressions) {
                SCOPED_TRACE(path + " :: " + expression);
                const TransString c = ts(path);
                const TransString e = ts(expression);
                TransStatus fast;
                TransStatus literal;
                EXPECT_EQ(takeUtf8(value.asString(c, e, fast)),
                          takeUtf8(literalAsString(value, c, e, literal)));
                EXPECT_EQ(flags(fast), flags(literal));
                EXPECT_EQ(takeUtf8(value.asStringList(c, e, fast)),
                          takeUtf8(literalAsStringList(value, c, e, literal)));
                EXPECT_EQ(flags(fast), flags(literal));
                EXPECT_EQ(numberText(value.asDouble(c, e, fast)) + flags(fast),
                          numberText(literalAsDouble(value, c, e, literal)) + flags(literal));
                ++compared;
            }
        }
    }

    TransSpace space;
    HostTextMode textMode{nullptr};
    int compared = 0;
};

}  // namespace

TEST_F(QueryDifferentialTest, HostDocumentsAndDictionaries) {
    for (const char* text : hostDocuments) {
        DocumentPtr source = parseXml(std::string(text));
        ASSERT_NE(source, nullptr) << text;
        compare(TransValue(source.get()), contextPaths(source.get()));
    }
    const DocumentPtr built[] = {builtDocument(), mixedDocument()};
    for (const DocumentPtr& document : built)
        compare(TransValue(document.get()), contextPaths(document.get()));
    compare(TransValue(static_cast<const DOMDocument*>(nullptr)), {"/", "/*", "//x", "."});
    EXPECT_GT(compared, 1000);
    for (const char* file : {"survey.json", "minimal.json"}) {
        std::string error;
        const std::unique_ptr<VORN_DataSource> source =
            LoadDataSourceJSON(std::string(TRANSSPACE_SOURCE_DIR) + "/examples/" + file, error);
        ASSERT_NE(source, nullptr) << error;
        const TransValue value(*source);
        compare(value, {"/", "/dictionary", "//variable[@name='age']", "//variable[last()]",
                        "//valueLabelSet[1]", "//multipleResponseSet", "//attributeSet",
                        "//extension", "//missingValues"});
        compare(TransValue(value), {"/", "//variable[2]"});  // shares the document and its view
    }
}

// Paths the attribute index answers, and paths that only look like them,
// matching and not: duplicates, nested and namespaced elements, an attribute
// beside a namespaced one of the same local name, quotes, blanks, empty and
// non-ASCII values.
TEST_F(QueryDifferentialTest, PathsByAttributeValue) {
    DocumentPtr source = parseXml(std::string(
        "<r xmlns:p=\"urn:p\" name=\"a\"><item name=\"a\" x=\"1\"/><item name=\"b\" p:name=\"a\"/>"
        "<item name=\"a\"><item name=\"a\" x=\"2\"/></item><group><item name=\" a\"/>"
        "<item name=\"it's\"/><item name='say \"hi\"'/><item name=\"Größe\"/><item name=\"\"/>"
        "</group><p:item name=\"a\" p:name=\"b\"/><p:item name=\"b\"><p:item name=\"b\"/></p:item>"
        "<sub name=\"\xE6\x97\xA5\"/></r>"));
    ASSERT_NE(source, nullptr);
    const std::vector<std::string> steps = {
        "/r/item",         "//item",   "/r/group/item", "//group/item", "//p:item",  "/r/p:item",
        "//p:item/p:item", "//q:item", "//sub",         "/r",           "//r//item", "/item"};
    const std::vector<std::string> attributes = {"name", "p:name", "x", "q:name"};
    const std::vector<std::string> values = {"a", "b", " a", "it's",         "say \"hi\"", "Größe",
                                             "",  "1", "2",  "\xE6\x97\xA5", "zzz",        "A"};
    std::vector<std::string> paths;
    for (const std::string& step : steps)
        for (const std::string& attribute : attributes)
            for (const std::string& value : values) {
                const char quote = value.find('\'') == std::string::npos ? '\'' : '"';
                const std::string literal = quote + value + quote;
                const std::string test = step + "[@" + attribute;
                paths.push_back(test + "=" + literal + "]");
                paths.push_back(test + " = " + literal + "]");
                paths.push_back(test + "=" + literal + "][2]");
                paths.push_back(test + "=" + literal + " or @x]");
                paths.push_back(step + "[@" + attribute + "=" + literal + "]/..");
            }
    const TransValue value(source.get());
    const TransValue clone(value);
    // Each path as the context path, and as the expression evaluated away
    // from the root.
    const std::vector<std::string> said = {"count(preceding::node())", "name()", "@*", ""};
    for (const TransValue* v : {&value, &clone}) {
        for (const std::string& path : paths) {
            for (const std::string& expression : said) {
                SCOPED_TRACE(path + " :: " + expression);
                const TransString c = ts(expression.empty() ? "/r/group/item" : path);
                const TransString e = ts(expression.empty() ? path : expression);
                TransStatus fast;
                TransStatus literal;
                EXPECT_EQ(takeUtf8(v->asStringList(c, e, fast)),
                          takeUtf8(literalAsStringList(*v, c, e, literal)));
                EXPECT_EQ(flags(fast), flags(literal));
            }
        }
    }

    // Every variable and value-label set of a dictionary by name, and names it lacks.
    std::string error;
    const std::unique_ptr<VORN_DataSource> survey =
        LoadDataSourceJSON(std::string(TRANSSPACE_SOURCE_DIR) + "/examples/survey.json", error);
    ASSERT_NE(survey, nullptr) << error;
    const TransValue dictionary(*survey);
    TransStringList* names = dictionary.asStringList(ts("/"), ts("//@name"));
    std::vector<std::string> byName;
    for (unsigned i = 0; i < names->size(); ++i) {
        const std::string name = utf8(names->asUTF16(i));
        for (const char* step : {"/dictionary/variable", "//valueLabelSet", "//variable", "//*"})
            byName.push_back(std::string(step) + "[@name='" + name + "']");
        byName.push_back("/dictionary/variable[@name='" + name + "x']");
    }
    TransValue::releaseStringList(names);
    for (const std::string& path : byName) {
        SCOPED_TRACE(path);
        TransStatus fast;
        TransStatus literal;
        EXPECT_EQ(takeUtf8(dictionary.asStringList(ts(path), ts("@label"), fast)),
                  takeUtf8(literalAsStringList(dictionary, ts(path), ts("@label"), literal)));
        EXPECT_EQ(flags(fast), flags(literal));
    }
    EXPECT_GT(paths.size() + byName.size(), 2000u);

    // What the index takes, and what it leaves to the processor.
    const struct {
        const char16_t* text;
        const char16_t* key;  // P/@a; null: left to the processor
    } cases[] = {
        {u"/dictionary/variable[@name='age']", u"/dictionary/variable/@name"},
        {u"//valueLabelSet[@name=\"x\"]", u"//valueLabelSet/@name"},
        {u"/d:a//d:b[@p:n='']", u"/d:a//d:b/@p:n"},
        {u"//v[@name='a' or @x]", nullptr},
        {u"//v[@name='a'][2]", nullptr},
        {u"//v[@name = 'a']", nullptr},
        {u" //v[@name='a']", nullptr},
        {u"//v[@name='a'] ", nullptr},
        {u"v[@name='a']", nullptr},
        {u"//*[@name='a']", nullptr},
        {u"//v[@*='a']", nullptr},
        {u"//v[@name=\"a']", nullptr},
        {u"//v[@name=a]", nullptr},
        {u"//v[@name=1]", nullptr},
        {u"//child::v[@name='a']", nullptr},
        {u"//text[@name='a']", nullptr},
        {u"//v/w[1][@name='a']", nullptr},
        {u"///v[@name='a']", nullptr},
        {u"//a:b:c[@name='a']", nullptr},
        {u"//\u00e9[@name='a']", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8(reinterpret_cast<const unsigned short*>(c.text)));
        IndexedPath path;
        EXPECT_EQ(recogniseIndexedPath(c.text, path), c.key != nullptr);
        if (c.key != nullptr) {
            EXPECT_EQ(path.key(), c.key);
        }
    }
}

// 100,000 levels, each with an attribute and a text: the view is made and
// walked without recursion, and numbers its nodes as Xalan's tree did.
TEST_F(QueryDifferentialTest, DeepDocument) {
    DocumentPtr source(DOMImplementation::getImplementation()->createDocument());
    DOMNode* parent = source.get();
    for (int level = 0; level < 100000; ++level) {
        DOMElement* e = source->createElement(level % 2 == 0 ? u"e" : u"f");
        e->setAttribute(u"n", level % 3 == 0 ? u"three" : u"other");
        parent = parent->appendChild(e);
        if (level % 1000 == 0) parent->appendChild(source->createTextNode(u"t"));
    }
    const TransValue value(source.get());
    const char* const queries[][2] = {
        {"/", "count(//@n[. = 'three'])"},
        {"/", "string((//text())[50])"},
        {"/e/f/e/f/e/f", "count(ancestor::*)"},
        {"/e/f/e/f/e/f", "count(preceding::text())"},
        {"/e/f/e/f/e/f", "count(following::*[1]/@*)"},
        {"/e/f/e/f/e/f", "count(descendant::f)"},
    };
    for (const auto& query : queries) {
        SCOPED_TRACE(std::string(query[0]) + " :: " + query[1]);
        const TransString c = ts(query[0]);
        const TransString e = ts(query[1]);
        TransStatus fast;
        TransStatus literal;
        EXPECT_EQ(takeUtf8(value.asStringList(c, e, fast)),
                  takeUtf8(literalAsStringList(value, c, e, literal)));
        EXPECT_EQ(flags(fast), flags(literal));
    }
}
