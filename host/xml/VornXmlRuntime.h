// The start and stop of the XML runtime, shared by the transspace library and
// the host's loaders. Xerces-C counts its Initialize and Terminate calls
// without a lock, and Xalan-C's start-up objects keep plain counts too, so
// every step that moves one of those counts, in the library or in a loader,
// runs under the one process-wide lock returned here. Parsing itself runs
// without it: a count held by the parsing thread keeps the platform up. Safe
// to use from several threads.
#ifndef VORN_XML_RUNTIME_H
#define VORN_XML_RUNTIME_H

#include <mutex>

// The process-wide lock of the XML runtime's start and stop. It is recursive
// so that a host may hold it around steps of its own that take it again.
std::recursive_mutex& VornXmlRuntimeLock();

// One user of the Xerces-C platform: Initialize on construction, Terminate on
// destruction, each under the lock. The platform stays up while any user (or
// any transspace space) lives. Construction throws what Initialize throws.
class VornXmlPlatformUser {
public:
    VornXmlPlatformUser();
    ~VornXmlPlatformUser();
    VornXmlPlatformUser(const VornXmlPlatformUser&) = delete;
    VornXmlPlatformUser& operator=(const VornXmlPlatformUser&) = delete;
};

#endif
