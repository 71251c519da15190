# bundle_resources(TARGET SOURCE_DIR FILES...): an object library that carries
# a resource script and the files it names, for platform/gui/Resources.h.
function(bundle_resources target source_dir)
    set(files ${ARGN})
    set(bundle ${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp)
    list(TRANSFORM files PREPEND ${source_dir}/ OUTPUT_VARIABLE paths)
    string(REPLACE ";" "|" names "${files}")
    add_custom_command(
        OUTPUT ${bundle}
        COMMAND ${CMAKE_COMMAND} -D SOURCE_DIR=${source_dir} -D FILES=${names} -D OUTPUT=${bundle}
                -P ${QUILLMARK_ROOT}/cmake/Embed.cmake
        DEPENDS ${paths} ${QUILLMARK_ROOT}/cmake/Embed.cmake
        COMMENT "Bundling resources for ${target}"
        VERBATIM
    )
    # An object library, so that every program that links it carries the bundle.
    add_library(${target} OBJECT ${bundle})
    target_include_directories(${target} PUBLIC ${QUILLMARK_ROOT})
endfunction()
