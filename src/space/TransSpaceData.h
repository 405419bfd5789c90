// The private object of TransSpace. Members are built in declared order and
// destroyed in reverse: the XML runtime is up before the first value can be
// stored, and every stored value (documents included) is gone before it goes
// down.
#ifndef TRANSSPACE_SPACE_TRANSSPACEDATA_H
#define TRANSSPACE_SPACE_TRANSSPACEDATA_H

#include <map>
#include <optional>
#include <vector>

#include <xalanc/XalanSourceTree/XalanSourceTreeInit.hpp>

#include "TransImage.h"
#include "TransSpace.h"
#include "TransString.h"
#include "TransValue.h"

struct TransSpace::Data {
    // The XML parser platform. Every live space holds one; the platform comes
    // up with the first and goes down after the last.
    struct XMLPlatformInit {
        XMLPlatformInit();
        virtual ~XMLPlatformInit();
        XMLPlatformInit(const XMLPlatformInit&) = delete;
        XMLPlatformInit& operator=(const XMLPlatformInit&) = delete;
    };

    // The XPath evaluator, counted the same way: XPathEvaluator keeps one
    // static object with no count of its own, and a second terminate() after
    // a first one crashes the process.
    struct XPathEvaluatorInit {
        XPathEvaluatorInit();
        virtual ~XPathEvaluatorInit();
        XPathEvaluatorInit(const XPathEvaluatorInit&) = delete;
        XPathEvaluatorInit& operator=(const XPathEvaluatorInit&) = delete;
    };

    // Xalan-C's source tree support. It counts its own instances, so nesting
    // is safe as it is; the count is plain, so this holds it under the lock.
    struct SourceTreeInit {
        SourceTreeInit();
        ~SourceTreeInit();
        SourceTreeInit(const SourceTreeInit&) = delete;
        SourceTreeInit& operator=(const SourceTreeInit&) = delete;

    private:
        std::optional<XALAN_CPP_NAMESPACE::XalanSourceTreeInit> init;
    };

    XMLPlatformInit xmlPlatformInit;
    XPathEvaluatorInit xpathEvaluatorInit;
    SourceTreeInit sourceTreeInit;
    std::map<TransString, TransValue> values;
    TransValue nullValue;
    std::map<TransString, std::vector<TransImage>> images;
    TransImage nullImage;
};

#endif
