# What only the Windows program has: icon, banners, menu, dialogs and strings
# as real resources of every program that links the bundle, with the manifest
# and version of Quillmark.exe, and no console window.
set(versioned ${CMAKE_BINARY_DIR}/res/windows)
configure_file(${QUILLMARK_ROOT}/res/windows/Version.h.in ${versioned}/Version.h @ONLY)
configure_file(${QUILLMARK_ROOT}/res/windows/Quillmark.manifest.in ${versioned}/Quillmark.manifest @ONLY)
target_sources(quillmark_res PRIVATE ${QUILLMARK_ROOT}/res/windows/Quillmark.rc)
set_source_files_properties(${QUILLMARK_ROOT}/res/windows/Quillmark.rc PROPERTIES
    OBJECT_DEPENDS "${QUILLMARK_ROOT}/res/Quillmark.rc;${versioned}/Version.h;${versioned}/Quillmark.manifest;${QUILLMARK_ROOT}/res/Quillmark.ico;${QUILLMARK_ROOT}/res/banner.bmp;${QUILLMARK_ROOT}/res/banner_small.bmp")
target_include_directories(quillmark_res PRIVATE ${QUILLMARK_ROOT}/res ${versioned})
set_target_properties(Quillmark PROPERTIES WIN32_EXECUTABLE ON)
