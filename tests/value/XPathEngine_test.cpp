// Numbers too large for Xalan-C's text buffer, which used to abort the
// process: the engine's own number text, and the string() wrapping that keeps
// string-length() away from the buffer, each checked against Xalan-C itself
// where Xalan survives.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <xalanc/DOMSupport/XalanDocumentPrefixResolver.hpp>
#include <xalanc/PlatformSupport/DOMStringHelper.hpp>
#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDOMSupport.hpp>

#include "TransSpace.h"
#include "support/HostTextMode.h"
#include "support/TextHelpers.h"
#include "support/XmlDocuments.h"
#include "value/CompiledXPath.h"
#include "value/XPathEngine.h"

namespace {

namespace xalan = XALAN_CPP_NAMESPACE;

std::string text(const xalan::XalanDOMString& s) {
    return utf8(reinterpret_cast<const unsigned short*>(s.c_str()));
}

std::string expansion(double n) {
    char digits[400];
    std::snprintf(digits, sizeof digits, "%.0f", n);
    return digits;
}

class XPathEngineTest : public ::testing::Test {
protected:
    XPathEngineTest()
        : source(parseXml(std::string("<r><v n=\"a\" label=\"") + std::string(100, '9') +
                          "\"/><v n=\"b\" label=\"12.5\">text</v><e/></r>")),
          value(source.get()) {}

    // What Xalan-C itself answers, evaluating the text as it stands.
    std::string xalanAnswer(const std::string& expression) {
        TransStatus st;
        xalan::XalanDocument* document =
            const_cast<xalan::XalanDocument*>(value.asXalanDocument(st));
        xalan::XalanDocumentPrefixResolver resolver(document, xalan::XalanDOMString(),
                                                    xalan::XalanMemMgrs::getDefaultXercesMemMgr());
        xalan::XalanSourceTreeDOMSupport domSupport;
        xalan::XPathEvaluator evaluator;
        const std::u16string expr = u16(expression.c_str());
        return text(evaluator.evaluate(domSupport, document, expr.c_str(), resolver)->str());
    }

    std::string answer(const std::string& expression, TransStatus& st) {
        return takeUtf8(value.asString(ts("/"), ts(expression), st));
    }

    TransSpace space;
    HostTextMode textMode{nullptr};
    DocumentPtr source;
    TransValue value;
};

TEST(StringLengthOfStringsTest, WrapsOnlyTheArgumentsOfTheBuiltInFunction) {
    const std::vector<std::pair<std::u16string, std::u16string>> cases = {
        {u"string-length()", u"string-length(string())"},
        {u"string-length(1 + 2) * 2", u"string-length(string(1 + 2)) * 2"},
        {u"string-length (v[(1)])", u"string-length (string(v[(1)]))"},
        {u"string-length(string-length(.))", u"string-length(string(string-length(string(.))))"},
        {u"string-length(')') + string-length(\"(\")",
         u"string-length(string(')')) + string-length(string(\"(\"))"},
        {u"1-string-length(v)", u"1-string-length(string(v))"},
        // Names that only contain it, prefixed names, literals, element names.
        {u"my-string-length(v)", u"my-string-length(v)"},
        {u"string-length-of(v)", u"string-length-of(v)"},
        {u"p:string-length(v)", u"p:string-length(v)"},
        {u"'string-length(v)'", u"'string-length(v)'"},
        {u"string-length/v", u"string-length/v"},
        // Unbalanced text stays unbalanced, so it still fails to parse.
        {u"string-length(v", u"string-length(string(v"},
        {u"string-length(v))", u"string-length(string(v)))"},
    };
    for (const auto& c : cases) EXPECT_EQ(withStringLengthOfStrings(c.first.c_str()), c.second);
}

TEST_F(XPathEngineTest, WrappedStringLengthAnswersAsXalan) {
    for (const char* expression :
         {"string-length()", "string-length(//v)", "string-length(//v[2]/@label * 3)",
          "string-length(1 div 3)", "string-length(-0.5)", "string-length(1 div 0)",
          "string-length(count(//v) = 2)", "string-length(number('x'))",
          "string-length(sum(//v/@label[. < 100]))", "count(//v[string-length(@n) = 1])",
          "string-length(concat(//v[2]/@label, 'x'))",
          "string-length(round(//v[2]/@label) - floor(2.5) + ceiling(2.5))"}) {
        TransStatus st;
        EXPECT_EQ(answer(expression, st), xalanAnswer(expression)) << expression;
    }
}

TEST_F(XPathEngineTest, LargeNumbersWriteTheTextXalanWould) {
    SafeNumberFactory factory;
    for (double n : {1e64, -1e64, 1.5e70, 123456789e70, -9.75e80, 1e85}) {
        xalan::XalanDOMString xalanText;
        xalan::NumberToDOMString(n, xalanText);
        EXPECT_EQ(text(factory.createNumber(n)->str()), text(xalanText)) << n;
    }
}

// Each of these aborted the process inside Xalan-C.
TEST_F(XPathEngineTest, LargeNumbersReachStringFunctions) {
    const std::string big = "1" + std::string(60, '0');
    const std::string product = expansion(1e60 * 1e60);
    const std::string label = expansion(1e100 - 1);  // 100 nines read as a double
    std::string withoutZeros = product;
    withoutZeros.erase(std::remove(withoutZeros.begin(), withoutZeros.end(), '0'),
                       withoutZeros.end());
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"string(" + big + " * " + big + ")", product},
        {"concat(" + big + " * " + big + ", 'x')", product + "x"},
        {"string(-" + big + " * " + big + ")", "-" + product},
        {"string-length(" + big + " * " + big + ")", std::to_string(product.size())},
        {"contains(" + big + " * " + big + ", '0')", "true"},
        {"starts-with(" + big + " * " + big + ", '" + product.substr(0, 1) + "')", "true"},
        {"translate(" + big + " * " + big + ", '0', '')", withoutZeros},
        {"substring(" + big + " * " + big + ", 1, 3)", product.substr(0, 3)},
        {"substring-before(concat(" + big + " * " + big + ", 'x'), 'x')", product},
        {"normalize-space(" + big + " * " + big + ")", product},
        {"string(number(//v[1]/@label))", label},
        {"string-length(sum(//v[1]/@label))", std::to_string(label.size())},
        {"string(1 div 0)", "Infinity"},
    };
    for (const auto& row : rows) {
        TransStatus st;
        EXPECT_EQ(answer(row.first, st), row.second) << row.first;
        EXPECT_FALSE(st.failure() || st.warning()) << row.first;
    }
}

}  // namespace
