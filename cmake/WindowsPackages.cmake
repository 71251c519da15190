# The Windows user's two downloads, made by every Windows build beside the
# program: Quillmark-<version>-setup.exe, the per-user setup that NSIS builds
# from res/windows/Setup.nsi, and Quillmark-<version>-windows-x86_64.zip, the
# program to run from a folder of one's own. Both carry the notices of the
# runtime linked into the program, in Licenses\.
find_program(QUILLMARK_MAKENSIS makensis REQUIRED)
include(ExternalProject)

set(staging ${CMAKE_CURRENT_BINARY_DIR}/package)
set(QUILLMARK_WINDOWS_SETUP ${CMAKE_CURRENT_BINARY_DIR}/Quillmark-${PROJECT_VERSION}-setup.exe)
set(QUILLMARK_WINDOWS_PORTABLE ${CMAKE_CURRENT_BINARY_DIR}/Quillmark-${PROJECT_VERSION}-windows-x86_64.zip)

# Texts for Notepad: CR LF line ends.
configure_file(${PROJECT_SOURCE_DIR}/res/windows/ReadMe.txt.in ${staging}/ReadMe.txt @ONLY NEWLINE_STYLE WIN32)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${staging}/License.txt @ONLY NEWLINE_STYLE WIN32)
set(notices winpthreads.txt mingw-w64-runtime.txt gcc-runtime.txt)
set(stagedNotices)
foreach(notice IN LISTS notices)
    configure_file(${PROJECT_SOURCE_DIR}/res/windows/licenses/${notice} ${staging}/Licenses/${notice}
                   @ONLY NEWLINE_STYLE WIN32)
    list(APPEND stagedNotices ${staging}/Licenses/${notice})
endforeach()

# The picture of the setup's first and last pages, drawn from the program's
# art by res/art's tool, built for this machine rather than for Windows.
set(setupBitmap ${CMAKE_CURRENT_BINARY_DIR}/setup-welcome.bmp)
ExternalProject_Add(setup_art
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/res/art
    BINARY_DIR ${CMAKE_CURRENT_BINARY_DIR}/setup-art
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${CMAKE_CURRENT_BINARY_DIR}/setup-art/draw_art)
add_custom_command(OUTPUT ${setupBitmap}
    COMMAND ${CMAKE_CURRENT_BINARY_DIR}/setup-art/draw_art --setup-bitmap ${setupBitmap}
    DEPENDS setup_art ${PROJECT_SOURCE_DIR}/res/art/draw_art.cpp
    COMMENT "Drawing the setup's picture" VERBATIM)

add_custom_command(OUTPUT ${staging}/Quillmark.exe
    COMMAND ${CMAKE_STRIP} --strip-all -o ${staging}/Quillmark.exe $<TARGET_FILE:Quillmark>
    DEPENDS Quillmark
    COMMENT "Stripping Quillmark.exe for the downloads" VERBATIM)
add_custom_command(OUTPUT ${QUILLMARK_WINDOWS_SETUP}
    COMMAND ${QUILLMARK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DFILE_VERSION=${QUILLMARK_FILE_VERSION}
            -DSTAGING=${staging} -DWELCOME_BITMAP=${setupBitmap}
            -DICON=${PROJECT_SOURCE_DIR}/res/Quillmark.ico -DOUTFILE=${QUILLMARK_WINDOWS_SETUP}
            ${PROJECT_SOURCE_DIR}/res/windows/Setup.nsi
    DEPENDS ${staging}/Quillmark.exe ${staging}/License.txt ${stagedNotices} ${setupBitmap}
            ${PROJECT_SOURCE_DIR}/res/windows/Setup.nsi ${PROJECT_SOURCE_DIR}/res/Quillmark.ico
    COMMENT "Making Quillmark-${PROJECT_VERSION}-setup.exe" VERBATIM)
add_custom_command(OUTPUT ${QUILLMARK_WINDOWS_PORTABLE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${QUILLMARK_WINDOWS_PORTABLE}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${QUILLMARK_WINDOWS_PORTABLE} --format=zip
            Quillmark.exe ReadMe.txt License.txt Licenses
    WORKING_DIRECTORY ${staging}
    DEPENDS ${staging}/Quillmark.exe ${staging}/ReadMe.txt ${staging}/License.txt ${stagedNotices}
    COMMENT "Making Quillmark-${PROJECT_VERSION}-windows-x86_64.zip" VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${QUILLMARK_WINDOWS_SETUP} ${QUILLMARK_WINDOWS_PORTABLE})
