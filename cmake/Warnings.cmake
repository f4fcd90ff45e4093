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
