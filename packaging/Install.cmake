# Installing Oculet as a desktop program, and its Debian package (scripts/package.sh).
# The frame program is not for users to start: it goes to libexec, where the program finds it
# when nothing of that name lies beside the program itself (platform/Paths).

set(OCULET_APP_ID "org.oculet.Oculet")
set(OCULET_HOMEPAGE "https://oculet.org" CACHE STRING "The project's home page, named in the metainfo and the package")
set(OCULET_MAINTAINER "The Oculet developers <oculet@oculet.org>" CACHE STRING "The package's maintainer")

install(TARGETS oculet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS oculet-frame RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/oculet)

install(FILES data/desktop/oculet.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
        RENAME ${OCULET_APP_ID}.desktop)
configure_file(data/desktop/oculet.metainfo.xml.in ${OCULET_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${OCULET_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES data/desktop/oculet.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${OCULET_APP_ID}.svg)
# Rendered once from the SVG by scripts/render-icons.sh, for menus that ask for a fixed size.
foreach(size 16 24 32 48 64 128 256)
  install(FILES data/desktop/icons/oculet-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${OCULET_APP_ID}.png)
endforeach()

# Manual pages and the package's change log travel compressed, without a time stamp in the
# gzip header so that two builds give the same bytes.
configure_file(packaging/changelog changelog @ONLY)
configure_file(packaging/copyright copyright @ONLY)
add_custom_command(OUTPUT oculet.1.gz changelog.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/data/desktop/oculet.1 > oculet.1.gz
  COMMAND gzip -9n -c ${CMAKE_BINARY_DIR}/changelog > changelog.gz
  DEPENDS data/desktop/oculet.1 ${CMAKE_BINARY_DIR}/changelog
  VERBATIM)
add_custom_target(oculet_docs ALL DEPENDS oculet.1.gz changelog.gz)
# Built with the program, so that installing after building only the program finds them.
add_dependencies(oculet oculet_docs)
install(FILES ${CMAKE_BINARY_DIR}/oculet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The package's name, lower case, not the project's.
install(FILES ${CMAKE_BINARY_DIR}/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/oculet)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME oculet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${OCULET_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "SSTV picture as a web-cam picture, published by FTP")
# The long description; CPack puts the summary above it.
set(CPACK_PACKAGE_DESCRIPTION "Oculet is for amateur-radio stations that receive digital SSTV. Four times
a second it copies the picture area of the station's radio program
(EasyPal, MMSSTV, DM780, KG-STV, or any part of the screen) onto a
320 x 240 frame, adds a clock, texts and a thumbnail of the last received
picture, writes the frame as Cam_1.bmp for a web-cam program, and can
publish it as a JPEG to a web server by FTP, FTPS or SFTP.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${OCULET_HOMEPAGE})
# The libraries come from the binaries (dpkg-shlibdeps); only Qt's X11 plugin, which Qt loads
# at run time and no binary names, is added by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
