// The runtime members of TransSpace::Data. Spaces may be made and destroyed on
// several threads, and the host's loaders bring the Xerces-C platform up and
// down on theirs: every step below, and every count it moves (ours, Xerces-C's
// and Xalan-C's), runs under the host's one lock of the XML runtime. The lock
// is not held between the steps; a load still parsing when the last space
// goes keeps the platform up by its own Xerces-C count. A counter moves only
// after its library call returned, so a throwing initialisation leaves nothing
// to undo.
#include <mutex>

#include <xalanc/Include/XalanMemoryManagement.hpp>
#include <xalanc/XPath/XPathEvaluator.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLUni.hpp>

#include "VornXmlRuntime.h"
#include "space/TransSpaceData.h"

namespace {

// Guarded by VornXmlRuntimeLock().
unsigned long liveXMLPlatforms = 0;
unsigned long liveXPathEvaluators = 0;

using Hold = std::lock_guard<std::recursive_mutex>;

}  // namespace

TransSpace::Data::XMLPlatformInit::XMLPlatformInit() {
    Hold hold(VornXmlRuntimeLock());
    if (liveXMLPlatforms == 0) {
        XERCES_CPP_NAMESPACE::XMLPlatformUtils::Initialize(
            XERCES_CPP_NAMESPACE::XMLUni::fgXercescDefaultLocale, 0, 0, 0);
    }
    ++liveXMLPlatforms;
}

TransSpace::Data::XMLPlatformInit::~XMLPlatformInit() {
    Hold hold(VornXmlRuntimeLock());
    if (--liveXMLPlatforms == 0) XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate();
}

TransSpace::Data::XPathEvaluatorInit::XPathEvaluatorInit() {
    Hold hold(VornXmlRuntimeLock());
    if (liveXPathEvaluators == 0) {
        XALAN_CPP_NAMESPACE::XPathEvaluator::initialize(
            XALAN_CPP_NAMESPACE::XalanMemMgrs::getDefaultXercesMemMgr());
    }
    ++liveXPathEvaluators;
}

TransSpace::Data::XPathEvaluatorInit::~XPathEvaluatorInit() {
    Hold hold(VornXmlRuntimeLock());
    if (--liveXPathEvaluators == 0) XALAN_CPP_NAMESPACE::XPathEvaluator::terminate();
}

// XalanSourceTreeInit is made and destroyed in place, inside the lock; when
// its constructor throws, its own members undo their counts and none is held.
TransSpace::Data::SourceTreeInit::SourceTreeInit() {
    Hold hold(VornXmlRuntimeLock());
    init.emplace(XALAN_CPP_NAMESPACE::XalanMemMgrs::getDefaultXercesMemMgr());
}

TransSpace::Data::SourceTreeInit::~SourceTreeInit() {
    Hold hold(VornXmlRuntimeLock());
    init.reset();
}
