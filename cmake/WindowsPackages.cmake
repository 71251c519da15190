# The Windows user's two downloads, made by every Windows build beside the
# program: Quillmark-<version>-setup.exe, the per-user setup that NSIS builds
# from res/windows/Setup.nsi, and Quillmark-<version>-windows-x86_64.zip, the
# program to run from a folder of one's own.
find_program(QUILLMARK_MAKENSIS makensis REQUIRED)

set(staging ${CMAKE_CURRENT_BINARY_DIR}/package)
set(QUILLMARK_WINDOWS_SETUP ${CMAKE_CURRENT_BINARY_DIR}/Quillmark-${PROJECT_VERSION}-setup.exe)
set(QUILLMARK_WINDOWS_PORTABLE ${CMAKE_CURRENT_BINARY_DIR}/Quillmark-${PROJECT_VERSION}-windows-x86_64.zip)

# Texts for Notepad: CR LF line ends.
configure_file(${PROJECT_SOURCE_DIR}/res/windows/ReadMe.txt.in ${staging}/ReadMe.txt @ONLY NEWLINE_STYLE WIN32)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${staging}/License.txt @ONLY NEWLINE_STYLE WIN32)

add_custom_command(OUTPUT ${staging}/Quillmark.exe
    COMMAND ${CMAKE_STRIP} --strip-all -o ${staging}/Quillmark.exe $<TARGET_FILE:Quillmark>
    DEPENDS Quillmark
    COMMENT "Stripping Quillmark.exe for the downloads" VERBATIM)
add_custom_command(OUTPUT ${QUILLMARK_WINDOWS_SETUP}
    COMMAND ${QUILLMARK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DFILE_VERSION=${QUILLMARK_FILE_VERSION}
            -DSTAGING=${staging}
            -DICON=${PROJECT_SOURCE_DIR}/res/Quillmark.ico -DOUTFILE=${QUILLMARK_WINDOWS_SETUP}
            ${PROJECT_SOURCE_DIR}/res/windows/Setup.nsi
    DEPENDS ${staging}/Quillmark.exe ${staging}/License.txt ${PROJECT_SOURCE_DIR}/res/windows/Setup.nsi
            ${PROJECT_SOURCE_DIR}/res/Quillmark.ico
    COMMENT "Making Quillmark-${PROJECT_VERSION}-setup.exe" VERBATIM)
add_custom_command(OUTPUT ${QUILLMARK_WINDOWS_PORTABLE}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${QUILLMARK_WINDOWS_PORTABLE}
    COMMAND ${CMAKE_COMMAND} -E tar cf ${QUILLMARK_WINDOWS_PORTABLE} --format=zip
            Quillmark.exe ReadMe.txt License.txt
    WORKING_DIRECTORY ${staging}
    DEPENDS ${staging}/Quillmark.exe ${staging}/ReadMe.txt ${staging}/License.txt
    COMMENT "Making Quillmark-${PROJECT_VERSION}-windows-x86_64.zip" VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${QUILLMARK_WINDOWS_SETUP} ${QUILLMARK_WINDOWS_PORTABLE})
