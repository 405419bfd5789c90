// XPath text parsed once into the processor's compiled form. The processor's
// own parsing path writes every syntax error to standard error before it
// throws; a library inside a host process must not write there, so parsing
// here goes through a construction context that only throws.
#ifndef TRANSSPACE_VALUE_COMPILEDXPATH_H
#define TRANSSPACE_VALUE_COMPILEDXPATH_H

#include <string>

#include <xalanc/XPath/XObject.hpp>
#include <xalanc/XPath/XPath.hpp>
#include <xalanc/XPath/XPathConstructionContextDefault.hpp>

class QuietConstructionContext : public XALAN_CPP_NAMESPACE::XPathConstructionContextDefault {
public:
    QuietConstructionContext();

    void problem(eSource source, eClassification classification,
                 const XALAN_CPP_NAMESPACE::XalanDOMString& msg,
                 const XALAN_CPP_NAMESPACE::Locator* locator,
                 const XALAN_CPP_NAMESPACE::XalanNode* sourceNode) override;
    void problem(eSource source, eClassification classification,
                 const XALAN_CPP_NAMESPACE::XalanDOMString& msg,
                 const XALAN_CPP_NAMESPACE::XalanNode* sourceNode) override;
};

// text with the argument of every string-length() call wrapped in string().
// The result is the same, but Xalan-C's string-length() writes a numeric
// argument's text into its fixed buffer itself, which XPathEngine's numbers
// cannot prevent; through string() the number's own text is used.
std::u16string withStringLengthOfStrings(const char16_t* text);

class CompiledXPath {
public:
    // Throws the processor's exception when text does not parse. Parses
    // withStringLengthOfStrings(text).
    CompiledXPath(const XALAN_CPP_NAMESPACE::XalanDOMChar* text,
                  const XALAN_CPP_NAMESPACE::PrefixResolver& resolver);
    CompiledXPath(const CompiledXPath&) = delete;
    CompiledXPath& operator=(const CompiledXPath&) = delete;

    const XALAN_CPP_NAMESPACE::XPath& xpath() const { return compiled; }

private:
    QuietConstructionContext context;  // holds strings the compiled form points to
    XALAN_CPP_NAMESPACE::XPath compiled;
};

#endif
