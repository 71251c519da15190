# Installs Quillmark where a Linux desktop looks for a program: the executable,
# its menu entry, its icons and its AppStream metainfo, under GNU's folders.
# CPack turns the same rules into a .deb.
include(GNUInstallDirs)

# One id names the menu entry, the metainfo and the icon, as desktops expect.
set(QUILLMARK_APP_ID io.github.quillmark.Quillmark)
set(QUILLMARK_ICON_SIZES 16 32 48 64 128 256)

install(TARGETS Quillmark RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/${QUILLMARK_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/${QUILLMARK_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    set(icons ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    foreach(size IN LISTS QUILLMARK_ICON_SIZES)
        install(FILES ${PROJECT_SOURCE_DIR}/res/icons/hicolor/${size}x${size}/apps/quillmark.png
                DESTINATION ${icons}/${size}x${size}/apps RENAME ${QUILLMARK_APP_ID}.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/res/icons/quillmark.svg
            DESTINATION ${icons}/scalable/apps RENAME ${QUILLMARK_APP_ID}.svg)

    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGE_NAME quillmark)
    set(CPACK_PACKAGE_VENDOR "Quillmark")
    set(CPACK_PACKAGE_CONTACT "Quillmark developers")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "local accounts kept in one plain text file")
    set(CPACK_PACKAGE_DESCRIPTION "Quillmark is a small desktop program with local accounts: it creates\n\
accounts, logs in and out and changes passwords, each in a dialog of its own.\n\
The accounts live in Quillmark.txt in the folder it starts in; from the\n\
application menu, that is the home folder.")
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    # The libraries it needs, and their versions, come from the executable itself.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # The dialogs' stand-in face; without it another sans-serif face is taken.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
    set(CPACK_STRIP_FILES ON)
    include(CPack)
endif()
