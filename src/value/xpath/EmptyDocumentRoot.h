// Xalan-C cannot find the root of a document that has no document element:
// its root step then climbs the parents of the context node looking for a
// document fragment and follows a null parent. Queries on such a document
// therefore start from an empty document fragment, which the root step takes
// as the root as it stands. For what the queries can observe (texts, numbers,
// counts) an empty fragment and an empty document node are alike: no name,
// no value, no children.
#ifndef TRANSSPACE_VALUE_EMPTYDOCUMENTROOT_H
#define TRANSSPACE_VALUE_EMPTYDOCUMENTROOT_H

#include <xalanc/PlatformSupport/XalanMemoryManagerDefault.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocument.hpp>
#include <xalanc/XalanSourceTree/XalanSourceTreeDocumentFragment.hpp>

struct EmptyDocumentRoot {
    EmptyDocumentRoot()
        : owner(XALAN_CPP_NAMESPACE::XalanMemMgrs::getDefaultXercesMemMgr()),
          fragment(XALAN_CPP_NAMESPACE::XalanMemMgrs::getDefaultXercesMemMgr(), owner) {}

    XALAN_CPP_NAMESPACE::XalanSourceTreeDocument owner;
    XALAN_CPP_NAMESPACE::XalanSourceTreeDocumentFragment fragment;
};

#endif
