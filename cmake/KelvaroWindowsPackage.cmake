# The Windows program's zip and installer (cpack -G ZIP / -G NSIS64, both made
# by tools/build-windows.sh): the .exe, stripped, and a short read-me for
# players in Chinese, in GBK with CR LF line ends as Notepad on a Chinese
# Windows opens it. The installer adds a Start-menu entry and an uninstaller.
find_program(KELVARO_ICONV iconv REQUIRED DOC "iconv, for the GBK read-me")
set(readme_utf8 ${CMAKE_CURRENT_BINARY_DIR}/readme-utf8.txt)
set(readme ${CMAKE_CURRENT_BINARY_DIR}/readme.txt)
configure_file(${PROJECT_SOURCE_DIR}/app/win32/readme.txt.in ${readme_utf8} @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${readme}
  COMMAND ${KELVARO_ICONV} -f UTF-8 -t GBK -o ${readme} ${readme_utf8}
  DEPENDS ${readme_utf8}
  COMMENT "Making the GBK read-me" VERBATIM)
add_custom_target(kelvaro-readme ALL DEPENDS ${readme})

install(TARGETS kelvaro-answerer RUNTIME DESTINATION .)
install(FILES ${readme} DESTINATION .)

set(CPACK_PACKAGE_NAME kelvaro-answerer)
set(CPACK_PACKAGE_VENDOR "Kelvaro answerer team")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Quiz answer finder for the game Kelvaro")
set(CPACK_PACKAGE_FILE_NAME kelvaro-answerer-${PROJECT_VERSION}-win64)
# The files sit in one folder of the program's name inside the zip (an
# installer has a folder of its own).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/KelvaroWindowsPackageGenerator.cmake)
set(CPACK_PACKAGE_INSTALL_DIRECTORY kelvaro-answerer-${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
# The installer (NSIS, 64-bit): Program Files, a Start-menu folder with the
# program, and an uninstaller that Windows lists under its programs.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY kelvaro-answerer)
set(CPACK_PACKAGE_EXECUTABLES kelvaro-answerer "KelvaroOstrin答题器")
set(CPACK_NSIS_DISPLAY_NAME "KelvaroOstrin答题器 ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME "KelvaroOstrin答题器")
set(CPACK_NSIS_MUI_ICON ${CMAKE_BINARY_DIR}/app/win32/kelvaro-answerer.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME kelvaro-answerer.exe)
# A 64-bit, Unicode installer (the Chinese names), like the program.
set(CPACK_NSIS_DEFINES "Unicode true\nTarget amd64-unicode")
set(CPACK_GENERATOR ZIP)
include(CPack)
