# Warnings for our own targets: the code builds clean with these.
function(ombrix_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
endfunction()

# Installs the headers of a library folder under <prefix>/include/ombrix/<folder>, keeping the tree.
function(ombrix_install_headers folder)
    install(DIRECTORY "${PROJECT_SOURCE_DIR}/${folder}/"
        DESTINATION "${OMBRIX_INCLUDE_INSTALL_DIR}/${folder}"
        FILES_MATCHING PATTERN "*.hpp")
endfunction()
