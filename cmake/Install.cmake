# Installing Velmora as a desktop program (`cmake --install`, into any prefix and with DESTDIR)
# and its Debian package (`cpack -G DEB`).
#
#   <prefix>/lib/velmora/            the program folder: velmora, velmora-analyze and everything
#                                    the program keeps beside itself (help, icons, assets/)
#   <prefix>/bin/velmora, velmora-analyze   relative links into it (the program finds its folder
#                                    through /proc/self/exe, so the links work)
#   <prefix>/share/applications/     the desktop entry, from the template Tools > Add fills in
#   <prefix>/share/icons/hicolor/    the icon, drawn and in sizes 16 to 256
#   <prefix>/share/metainfo/         the AppStream metainfo
#   <prefix>/share/man/man1/         velmora(1), velmora-analyze(1)
include(GNUInstallDirs)

set(VELMORA_INSTALL_PROGRAMDIR "lib/velmora" CACHE STRING
  "The program folder, relative to the install prefix")
set(VELMORA_APP_ID "example.tarnwick.Velmora")
set(VELMORA_ASSETS ${PROJECT_SOURCE_DIR}/assets)

install(TARGETS velmora velmora-analyze RUNTIME DESTINATION ${VELMORA_INSTALL_PROGRAMDIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/assets DESTINATION ${VELMORA_INSTALL_PROGRAMDIR})
file(GLOB VELMORA_BESIDE_PROGRAM_FILES CONFIGURE_DEPENDS ${VELMORA_ASSETS}/beside-program/*)
install(FILES ${VELMORA_BESIDE_PROGRAM_FILES} DESTINATION ${VELMORA_INSTALL_PROGRAMDIR})

install(FILES ${VELMORA_ASSETS}/icons/velmora.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${VELMORA_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${VELMORA_ASSETS}/icons/hicolor/${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${VELMORA_APP_ID}.png)
endforeach()
install(FILES ${VELMORA_ASSETS}/desktop/${VELMORA_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${VELMORA_ASSETS}/man/velmora.1 ${VELMORA_ASSETS}/man/velmora-analyze.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The links and the desktop entry depend on the prefix given at install time.
install(CODE "
  set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
  set(root \"\$ENV{DESTDIR}\${prefix}\")
  file(RELATIVE_PATH target \"\${prefix}/${CMAKE_INSTALL_BINDIR}\"
       \"\${prefix}/${VELMORA_INSTALL_PROGRAMDIR}\")
  file(MAKE_DIRECTORY \"\${root}/${CMAKE_INSTALL_BINDIR}\")
  foreach(program velmora velmora-analyze)
    set(link \"\${root}/${CMAKE_INSTALL_BINDIR}/\${program}\")
    message(STATUS \"Installing: \${link} -> \${target}/\${program}\")
    file(CREATE_LINK \"\${target}/\${program}\" \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")
  endforeach()
  set(entry \"\${root}/${CMAKE_INSTALL_DATADIR}/applications/${VELMORA_APP_ID}.desktop\")
  message(STATUS \"Installing: \${entry}\")
  set(NAME \"${PROJECT_NAME}\")
  set(ICON ${VELMORA_APP_ID})
  set(PROGRAM \"\${prefix}/${CMAKE_INSTALL_BINDIR}/velmora\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/DesktopEntry.cmake\")
  file(WRITE \"\${entry}\" \"\${text}\")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${entry}\")
")

# The Debian package: velmora_<major>.<minor>.0_<arch>.deb, its dependencies read from the
# programs by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION "${VELMORA_VERSION_MAJOR}.${VELMORA_VERSION_MINOR}.0")
set(CPACK_PACKAGE_VENDOR "${VELMORA_COMPANY}")
set(CPACK_PACKAGE_CONTACT "${VELMORA_COMPANY} <velmora@tarnwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "web browser that shows every page with its source and images")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}
Velmora shows any web page three ways: the page itself, its HTML as readable text in
which every image file name is a link to the image, and a gallery of every image the
page shows. It saves downloads and the gallery's pictures, finds text in all three
views, and comes with velmora-analyze, which analyses saved pages without a window.")
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://${PROJECT_HOMEPAGE_URL}/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# gdk-pixbuf's readers of SVG, WebP and AVIF: velmora-analyze reads the sizes of such pictures.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "librsvg2-common, webp-pixbuf-loader, libavif-gdk-pixbuf")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
