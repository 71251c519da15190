# Installs Quillmark where a Linux desktop looks for a program: the stripped
# executable as the command quillmark, its manual page, menu entry, icons and
# AppStream metainfo, and its copyright, changelog, README and user file's
# rules, under GNU's folders. CPack turns the same rules into a .deb.
include(GNUInstallDirs)

set(QUILLMARK_ICON_SIZES 16 32 48 64 128 256)
# The metainfo's release carries the project's version.
set(QUILLMARK_METAINFO ${CMAKE_BINARY_DIR}/res/desktop/${QUILLMARK_APP_ID}.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/res/desktop/${QUILLMARK_APP_ID}.metainfo.xml.in ${QUILLMARK_METAINFO} @ONLY)
set(QUILLMARK_MAINTAINER "Quillmark developers <developers@quillmark.invalid>"
    CACHE STRING "The package's maintainer: a name and an address")

# Debian's commands are lower case; the build tree keeps the program's own name.
set(QUILLMARK_COMMAND quillmark)
install(PROGRAMS $<TARGET_FILE:Quillmark> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${QUILLMARK_COMMAND})

if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    # Stripped as Debian strips, by cmake --install and CPack alike.
    install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded --remove-section=.comment
            --remove-section=.note \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${QUILLMARK_COMMAND}\"
            COMMAND_ERROR_IS_FATAL ANY)")

    # The copyright file carries LICENSE's text and holder.
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
    string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${licence}")
    set(QUILLMARK_COPYRIGHT ${CMAKE_MATCH_1})
    string(STRIP "${licence}" licence)
    string(REPLACE "\n" "\n " licence " ${licence}")
    string(REPLACE "\n \n" "\n .\n" QUILLMARK_LICENSE_TEXT "${licence}")
    set(package ${CMAKE_CURRENT_BINARY_DIR}/package)
    configure_file(${PROJECT_SOURCE_DIR}/res/package/copyright.in ${package}/copyright @ONLY)

    # Debian's manual pages and changelogs are compressed, without a time stamp.
    set(documents ${CMAKE_INSTALL_DATADIR}/doc/quillmark)
    # The manual page names the documents' installed paths, the package's.
    set(QUILLMARK_DOCUMENTS /usr/${documents})
    foreach(name Quillmark.1 changelog)
        set(source ${PROJECT_SOURCE_DIR}/res/package/${name})
        if(EXISTS ${source}.in)
            set(source ${source}.in)
        endif()
        configure_file(${source} ${package}/${name} @ONLY)
    endforeach()
    # The README and the user file's rules go as they are, compressed as Debian's documents are.
    foreach(source README.md docs/user-file.md)
        get_filename_component(name ${source} NAME)
        configure_file(${PROJECT_SOURCE_DIR}/${source} ${package}/${name} COPYONLY)
    endforeach()
    foreach(name Quillmark.1 changelog README.md user-file.md)
        execute_process(COMMAND gzip -9nf ${package}/${name} COMMAND_ERROR_IS_FATAL ANY)
    endforeach()

    install(FILES ${package}/copyright ${package}/changelog.gz ${package}/README.md.gz ${package}/user-file.md.gz
            DESTINATION ${documents})
    install(FILES ${package}/Quillmark.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            RENAME ${QUILLMARK_COMMAND}.1.gz)
    install(FILES ${PROJECT_SOURCE_DIR}/res/package/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME quillmark)
    install(FILES ${PROJECT_SOURCE_DIR}/res/desktop/${QUILLMARK_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${QUILLMARK_METAINFO}
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
    set(CPACK_PACKAGE_CONTACT ${QUILLMARK_MAINTAINER})
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLMARK_MAINTAINER})
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
    # The dialogs' stand-in face (without it another sans-serif face is taken),
    # and Qt's Wayland backend, so that it runs as a native Wayland client.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, qt6-wayland")
    include(CPack)
endif()
