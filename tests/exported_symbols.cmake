# Fails when the shared library exports a defined symbol that belongs to none
# of the public classes (the XPath library's inline memory-manager members,
# instantiated in our objects, and weak standard-library instantiations are
# tolerated).
execute_process(COMMAND nm -D --defined-only -C ${LIBRARY}
    OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${symbols}")
set(bad "")
set(seen 0)
foreach(line ${lines})
    if(line MATCHES "^[0-9a-f]+ ([A-Za-z]) (.*)$")
        set(kind "${CMAKE_MATCH_1}")
        set(symbol "${CMAKE_MATCH_2}")
        if(symbol MATCHES "(^|[ :<(])(typeinfo (name )?for |vtable for )?Trans(Status|String|StringList|Value|Space|Image)(::|$| )")
            math(EXPR seen "${seen} + 1")
        elseif(symbol MATCHES "^xalanc_[0-9_]+::(XalanMemMgrs|XalanMemMgrAutoPtr|XalanAllocationGuard|MemoryManager)")
        elseif(symbol MATCHES "^(_init|_fini|_edata|_end|__bss_start)$")
        elseif(kind MATCHES "^[WVu]$" AND symbol MATCHES "std::")
            # Standard-library template instantiations keep the default
            # visibility that libstdc++ declares for namespace std.
        else()
            string(APPEND bad "  ${symbol}\n")
        endif()
    endif()
endforeach()
if(NOT bad STREQUAL "")
    message(FATAL_ERROR "unexpected exported symbols:\n${bad}")
endif()
if(seen EQUAL 0)
    message(FATAL_ERROR "no public class is exported")
endif()
message(STATUS "${seen} exported symbols of the public classes")
