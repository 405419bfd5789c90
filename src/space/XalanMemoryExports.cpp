// The export table carries four inline members of Xalan-C's memory-manager
// classes. This file alone is compiled with default visibility for inline
// functions (src/CMakeLists.txt) and takes their addresses, so that it emits
// them and the version script can export them; no other code of the library
// calls them out of line.
#include <xalanc/Include/XalanMemoryManagement.hpp>

namespace {

using XALAN_CPP_NAMESPACE::MemoryManager;
using XALAN_CPP_NAMESPACE::XalanMemMgrs;
using XALAN_CPP_NAMESPACE::XalanMemoryManager;

// operator= of XalanMemoryManager is protected: a derived class may name it.
struct ProtectedMembers : XalanMemoryManager {
    using XalanMemoryManager::operator=;
    static constexpr XalanMemoryManager& (XalanMemoryManager::*assign)(const XalanMemoryManager&) =
        &ProtectedMembers::operator=;
};

struct Members {
    MemoryManager& (*exceptionManager)(MemoryManager&);
    XalanMemoryManager& (XalanMemoryManager::*managerAssign)(const XalanMemoryManager&);
    MemoryManager& (*defaultManager)();
    XalanMemMgrs& (XalanMemMgrs::*managersAssign)(const XalanMemMgrs&);
};

[[gnu::used]] const Members members = {&XalanMemoryManager::getExceptionMemoryManager,
                                       ProtectedMembers::assign, &XalanMemMgrs::getDefault,
                                       &XalanMemMgrs::operator= };

}  // namespace
