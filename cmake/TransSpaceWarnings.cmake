# Warnings apply to our own targets only, never to the XML libraries' headers.
function(transspace_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TRANSSPACE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
