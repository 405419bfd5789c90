// The runtime members of TransSpace::Data. Spaces are made and destroyed from
// one thread at a time, so plain counters of the live members suffice. A
// counter moves only after its library call returned, so a throwing
// initialisation leaves nothing to undo.
#include <xalanc/Include/XalanMemoryManagement.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "space/TransSpaceData.h"

namespace {

unsigned long liveXMLPlatforms = 0;
unsigned long liveXPathEvaluators = 0;

}  // namespace

TransSpace::Data::XMLPlatformInit::XMLPlatformInit() {
    if (liveXMLPlatforms == 0) {
        XERCES_CPP_NAMESPACE::XMLPlatformUtils::Initialize(
            XERCES_CPP_NAMESPACE::XMLUni::fgXercescDefaultLocale, 0, 0, 0);
    }
    ++liveXMLPlatforms;
}

TransSpace::Data::XMLPlatformInit::~XMLPlatformInit() {
    if (--liveXMLPlatforms == 0) XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate();
}

TransSpace::Data::XPathEvaluatorInit::XPathEvaluatorInit() {
    if (liveXPathEvaluators == 0) {
        XALAN_CPP_NAMESPACE::XPathEvaluator::initialize(
            XALAN_CPP_NAMESPACE::XalanMemMgrs::getDefaultXercesMemMgr());
    }
    ++liveXPathEvaluators;
}

TransSpace::Data::XPathEvaluatorInit::~XPathEvaluatorInit() {
    if (--liveXPathEvaluators == 0) XALAN_CPP_NAMESPACE::XPathEvaluator::terminate();
}
