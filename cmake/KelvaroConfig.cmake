# Every address the program talks to is fixed when it is built. The defaults
# point at the loopback servers that tools/run.sh starts, so a default build
# works on one machine; a release build sets the real addresses here.
set(KELVARO_HTTP_BASE "http://127.0.0.1:18080")
set(KELVARO_VERSION_URL "${KELVARO_HTTP_BASE}/version.htm" CACHE STRING
    "Address of the page that carries the Version record")
set(KELVARO_ARCHIVE_URL "${KELVARO_HTTP_BASE}/KelvaroOstrin答题器.rar" CACHE STRING
    "Address of the release archive (its path is fixed)")
set(KELVARO_SMTP_HOST "127.0.0.1" CACHE STRING "SMTP server that takes submitted questions")
set(KELVARO_SMTP_PORT "2525" CACHE STRING "Port of the SMTP server (25 in a release build)")
set(KELVARO_MAILBOX "maintainer@kelvaro.localhost" CACHE STRING
    "Maintainer's mailbox: recipient and sender of submitted questions")
set(KELVARO_SHOP_URL_TAOBAO "${KELVARO_HTTP_BASE}/item.htm?id=520731946188" CACHE STRING
    "Item page on the Taobao platform (button 1)")
set(KELVARO_SHOP_URL_PAIPAI_SHOP "${KELVARO_HTTP_BASE}/855013702" CACHE STRING
    "Shop page on the Paipai platform (button 2)")
set(KELVARO_SHOP_URL_PAIPAI_ITEM "${KELVARO_HTTP_BASE}/4C5F2E07000000000401000010A5D1B9" CACHE STRING
    "Item page on the Paipai auction site (button 4)")

# The archive keeps its fixed name wherever it is served from.
if(NOT KELVARO_ARCHIVE_URL MATCHES "^[A-Za-z][A-Za-z0-9+.-]*://[^/?#]+/KelvaroOstrin答题器\\.rar([?#].*)?$")
  message(FATAL_ERROR "KELVARO_ARCHIVE_URL must end in the path /KelvaroOstrin答题器.rar, got: ${KELVARO_ARCHIVE_URL}")
endif()
if(NOT KELVARO_SMTP_PORT MATCHES "^[0-9]+$" OR KELVARO_SMTP_PORT LESS 1 OR KELVARO_SMTP_PORT GREATER 65535)
  message(FATAL_ERROR "KELVARO_SMTP_PORT must be a port number, got: ${KELVARO_SMTP_PORT}")
endif()
foreach(var KELVARO_VERSION_URL KELVARO_ARCHIVE_URL KELVARO_SMTP_HOST KELVARO_MAILBOX
            KELVARO_SHOP_URL_TAOBAO KELVARO_SHOP_URL_PAIPAI_SHOP KELVARO_SHOP_URL_PAIPAI_ITEM)
  if("${${var}}" MATCHES "[\"\\\\\n]")
    message(FATAL_ERROR "${var} must not hold quotes, backslashes or line breaks")
  endif()
endforeach()

set(KELVARO_CONFIG_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/kelvaro_config.hpp.in
               ${KELVARO_CONFIG_DIR}/kelvaro_config.hpp @ONLY)
add_library(kelvaro_config INTERFACE)
target_include_directories(kelvaro_config INTERFACE ${KELVARO_CONFIG_DIR})
