# Warnings and sanitizers applied to every target of the project.
add_compile_options(-Wall -Wextra)
if(VQM_WERROR)
    add_compile_options(-Werror)
endif()
if(VQM_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

# Collects the sources of a folder (and its sub-folders) so that each subsystem's list stays
# beside its code.
function(vqm_glob_sources out_var)
    file(GLOB_RECURSE _found CONFIGURE_DEPENDS ${ARGN})
    set(${out_var} ${_found} PARENT_SCOPE)
endfunction()
