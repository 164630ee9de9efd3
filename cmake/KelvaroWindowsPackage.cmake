# The Windows program's zip (cpack, or tools/build-windows.sh): the .exe,
# stripped, and a short read-me for players in Chinese, in GBK with CR LF line
# ends as Notepad on a Chinese Windows opens it.
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
# The files sit in one folder of the program's name inside the zip.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_INSTALL_DIRECTORY kelvaro-answerer-${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR ZIP)
include(CPack)
