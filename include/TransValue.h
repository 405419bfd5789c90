// TransValue is an opaque value: no value, a text, a double or an XML
// document. Every value reads back as a string, a number or XML text; document
// values also answer XPath queries. TransString* and TransStringList* results
// are new objects owned by the caller, handed back through releaseString and
// releaseStringList; they are never null. Reads fill caches and go through the
// value's single XPath evaluator: use one value from one thread at a time.
// Document values may be made, used and destroyed only while a TransSpace
// exists.
#ifndef TRANSSPACE_TRANSVALUE_H
#define TRANSSPACE_TRANSVALUE_H

#include "TransStatus.h"
#include "TransString.h"
#include "TransStringList.h"

// Only the versioned namespace names of the XML libraries are needed here;
// these two headers define them and nothing heavier.
#include <xalanc/Include/PlatformDefinitions.hpp>
#include <xercesc/util/XercesDefs.hpp>

XERCES_CPP_NAMESPACE_BEGIN
class DOMDocument;
class ErrorHandler;
class InputSource;
XERCES_CPP_NAMESPACE_END

namespace XALAN_CPP_NAMESPACE {
class XalanDocument;
}

class TransValueImpl;
class VORN_DataSource;

class TRANS_EXPORT TransValue {
public:
    // The null value: refuses every read with failure and warning.
    TransValue();
    // A text value holding a copy of the string.
    explicit TransValue(const TransString& text);
    // A double value.
    explicit TransValue(double number);
    // A document value holding the XML dictionary of the data source.
    explicit TransValue(const VORN_DataSource& source);
    // A document value holding its own copy of the document element of
    // source; null gives an empty document. The caller keeps source.
    explicit TransValue(const XERCES_CPP_NAMESPACE::DOMDocument* source);
    TransValue(const TransValue& other);  // deep copy
    ~TransValue();
    TransValue& operator=(TransValue other);  // copy-and-swap
    void swap(TransValue& other);             // exchanges implementations only

    // A document value holding the document element of the XML that source
    // reads, parsed into the value without a DOM: no validation, nothing
    // that the document names is read (no external DTD; an external entity
    // is a fatal error), internal entities expanded up to a limit, with
    // namespace processing or without. errors (null: nobody) hears the
    // parser's warnings, errors and fatal errors with their positions. An
    // error or fatal error gives the null value with failure and warning; a
    // name that the DOM's own checks refuse gives an empty document with
    // warning, as the copy of such a DOM does. The caller keeps source.
    // Exceptions of the parser and allocation failure pass to the caller.
    static TransValue parseXML(const XERCES_CPP_NAMESPACE::InputSource& source, bool namespaces,
                               XERCES_CPP_NAMESPACE::ErrorHandler* errors, TransStatus& st);

    // The value as text.
    TransString* asString(TransStatus& st) const;
    TransString* asString() const;
    // The text that expression yields at the node that contextPath selects.
    TransString* asString(const TransString& contextPath, const TransString& expression,
                          TransStatus& st) const;
    TransString* asString(const TransString& contextPath, const TransString& expression) const;
    // The texts that expression yields at the node that contextPath selects.
    TransStringList* asStringList(const TransString& contextPath, const TransString& expression,
                                  TransStatus& st) const;
    TransStringList* asStringList(const TransString& contextPath,
                                  const TransString& expression) const;
    // The document as XML text in the host's multibyte code page.
    TransString* asMBCSXML(TransStatus& st) const;
    TransString* asMBCSXML() const;
    // The document as XML text in UTF-16.
    TransString* asUTF16XML(TransStatus& st) const;
    TransString* asUTF16XML() const;
    // Same as asUTF16XML().
    TransString* asXML() const;
    // The value as a number; -1.7976931348623157e308 when there is none.
    double asDouble(TransStatus& st) const;
    double asDouble() const;
    // The number that expression yields at the node that contextPath selects.
    double asDouble(const TransString& contextPath, const TransString& expression,
                    TransStatus& st) const;
    double asDouble(const TransString& contextPath, const TransString& expression) const;
    // The document as the XPath processor sees it, owned by the value and
    // valid while the value lives; null with failure and warning for other
    // kinds.
    const XALAN_CPP_NAMESPACE::XalanDocument* asXalanDocument(TransStatus& st) const;
    const XALAN_CPP_NAMESPACE::XalanDocument* asXalanDocument() const;

    // Free an object returned by the library and null the pointer. Set the
    // warning flag when the pointer is null.
    static void releaseString(TransString*& string, TransStatus& st);
    static void releaseString(TransString*& string);
    static void releaseStringList(TransStringList*& list, TransStatus& st);
    static void releaseStringList(TransStringList*& list);

private:
    TransValueImpl* impl;
};

#endif
