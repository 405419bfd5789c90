#include "VornXmlRuntime.h"

#include <xercesc/util/PlatformUtils.hpp>

std::recursive_mutex& VornXmlRuntimeLock() {
    // Never destroyed: a space or a loader may still stop the runtime while
    // the process's static objects are going down.
    static std::recursive_mutex* const lock = new std::recursive_mutex;
    return *lock;
}

VornXmlPlatformUser::VornXmlPlatformUser() {
    std::lock_guard<std::recursive_mutex> hold(VornXmlRuntimeLock());
    XERCES_CPP_NAMESPACE::XMLPlatformUtils::Initialize();
}

VornXmlPlatformUser::~VornXmlPlatformUser() {
    std::lock_guard<std::recursive_mutex> hold(VornXmlRuntimeLock());
    XERCES_CPP_NAMESPACE::XMLPlatformUtils::Terminate();
}
