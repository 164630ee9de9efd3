# Installation (cmake --install) and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS kelvaro-answerer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/assets/desktop/kelvaro-answerer.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 128 64 48 32 16)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icon-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME kelvaro-answerer.png)
endforeach()

set(CPACK_PACKAGE_NAME kelvaro-answerer)
set(CPACK_PACKAGE_VENDOR "Kelvaro answerer team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quiz answer finder for the game Kelvaro")
set(CPACK_PACKAGE_DESCRIPTION "Type a few characters of a Kelvaro quiz question and every matching question of the built-in bank is listed with its answer. Also mails missing questions to the maintainer, computes experience and gold caps, and updates itself.")
set(CPACK_PACKAGE_CONTACT "maintainer@kelvaro.localhost")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The libraries the program links, found by dpkg-shlibdeps, plus what it needs
# at run time without linking it: a CJK font and the desktop's opener.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, xdg-utils, libqt6gui6, libqt6widgets6, qt6-qpa-plugins")
set(CPACK_GENERATOR DEB)
include(CPack)
