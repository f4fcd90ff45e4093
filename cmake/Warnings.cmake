# Warnings for our own targets: the code builds clean with these.
function(ombrix_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers
        ${OMBRIX_WARNING_FLAGS})
endfunction()

# Installs the headers of a library folder under <prefix>/include/ombrix/<folder>, keeping the tree.
function(ombrix_install_headers folder)
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/${folder}/"
        DESTINATION "${OMBRIX_INCLUDE_INSTALL_DIR}/${folder}"
        FILES_MATCHING PATTERN "*.hpp")
endfunction()

# Warnings fail the build where OMBRIX_WERROR is on (scripts/test turns it on, so CI does).
option(OMBRIX_WERROR "Treat compiler warnings in our own code as errors" OFF)
if(OMBRIX_WERROR)
    set(OMBRIX_WARNING_FLAGS -Werror)
endif()

# Compiles a target's sources a few at a time as one unit: the large headers most sources read
# (the JSON, signal and command-line libraries, the object core) are then read once per batch
# instead of once per file, which roughly halves a cold build on two cores. In a batch a source is
# an included file, so the compiler mistakes the types its file keeps in an anonymous namespace for
# header types that leak file-local ones; that warning is off for batched targets.
option(OMBRIX_UNITY "Build sources in batches" ON)
function(ombrix_batched)
    if(NOT OMBRIX_UNITY)
        return()
    endif()
    foreach(target ${ARGN})
        set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 8)
        target_compile_options(${target} PRIVATE -Wno-subobject-linkage)
    endforeach()
endfunction()
