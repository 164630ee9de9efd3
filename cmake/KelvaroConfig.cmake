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

# Release archives are opened only when their signature verifies against the
# public key compiled in here (ECDSA P-256, DER SubjectPublicKeyInfo in base64:
# tools/make_release_key.sh prints it). A loopback build without a key takes
# the local servers' key pair, made on first use in build/release-key (or
# $KELVARO_RELEASE_KEY_DIR); its private half never leaves that folder.
set(KELVARO_RELEASE_KEY "" CACHE STRING
    "Public key that release archives are signed with (P-256 SubjectPublicKeyInfo, base64)")
option(KELVARO_UNSIGNED_RELEASES "Open release archives without checking a signature" OFF)

# Whether every address the program talks to is on this machine.
function(kelvaro_loopback_host host out)
  string(TOLOWER "${host}" host)
  if(host MATCHES "^127\\.[0-9]+\\.[0-9]+\\.[0-9]+$" OR host STREQUAL "localhost"
     OR host STREQUAL "::1" OR host STREQUAL "[::1]")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()
set(KELVARO_FOREIGN_ADDRESSES "")
foreach(var KELVARO_VERSION_URL KELVARO_ARCHIVE_URL KELVARO_SHOP_URL_TAOBAO KELVARO_SHOP_URL_PAIPAI_SHOP
            KELVARO_SHOP_URL_PAIPAI_ITEM)
  # scheme://[user@]host[:port]/...
  if("${${var}}" MATCHES "^[A-Za-z][A-Za-z0-9+.-]*://([^/?#@]*@)?(\\[[^]/?#]*\\]|[^]/?#:[]*)")
    kelvaro_loopback_host("${CMAKE_MATCH_2}" loopback)
  else()
    set(loopback FALSE)
  endif()
  if(NOT loopback)
    list(APPEND KELVARO_FOREIGN_ADDRESSES ${var})
  endif()
endforeach()
kelvaro_loopback_host("${KELVARO_SMTP_HOST}" loopback)
if(NOT loopback)
  list(APPEND KELVARO_FOREIGN_ADDRESSES KELVARO_SMTP_HOST)
endif()

string(REGEX REPLACE "[ \t\r\n]" "" KELVARO_RELEASE_KEY_VALUE "${KELVARO_RELEASE_KEY}")
set(KELVARO_RELEASE_KEY_CHECKED ON)
if(KELVARO_UNSIGNED_RELEASES)
  if(NOT KELVARO_RELEASE_KEY_VALUE STREQUAL "")
    message(FATAL_ERROR "KELVARO_RELEASE_KEY and KELVARO_UNSIGNED_RELEASES=ON contradict each other: drop one")
  endif()
  set(KELVARO_RELEASE_KEY_CHECKED OFF)
  message(WARNING "KELVARO_UNSIGNED_RELEASES=ON: this build opens whatever archive it downloads, unchecked. "
                  "Anyone on the network path can hand it a program of their own.")
elseif(KELVARO_RELEASE_KEY_VALUE STREQUAL "")
  if(KELVARO_FOREIGN_ADDRESSES)
    string(REPLACE ";" ", " names "${KELVARO_FOREIGN_ADDRESSES}")
    message(FATAL_ERROR "This build talks to addresses beyond this machine (${names}) but has no "
                        "KELVARO_RELEASE_KEY to check release archives with. Make a key pair with "
                        "tools/make_release_key.sh and pass -DKELVARO_RELEASE_KEY=<its public key>, or "
                        "-DKELVARO_UNSIGNED_RELEASES=ON to open archives unchecked.")
  endif()
  if(DEFINED ENV{KELVARO_RELEASE_KEY_DIR})
    set(KELVARO_LOCAL_KEY_DIR "$ENV{KELVARO_RELEASE_KEY_DIR}")
  else()
    set(KELVARO_LOCAL_KEY_DIR "${PROJECT_SOURCE_DIR}/build/release-key")
  endif()
  execute_process(COMMAND bash "${PROJECT_SOURCE_DIR}/tools/make_release_key.sh" "${KELVARO_LOCAL_KEY_DIR}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE KELVARO_RELEASE_KEY_VALUE ERROR_VARIABLE errors
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Could not make the local release key in ${KELVARO_LOCAL_KEY_DIR}: ${errors}")
  endif()
  # Should the pair be made anew (build/ removed), the next build configures again.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${KELVARO_LOCAL_KEY_DIR}/release-key.pub.b64")
  message(STATUS "Release key: the local servers' key in ${KELVARO_LOCAL_KEY_DIR}")
endif()
# Every uncompressed P-256 SubjectPublicKeyInfo is 91 bytes with the same
# 27-byte start (the two object identifiers and the point's 0x04).
string(LENGTH "${KELVARO_RELEASE_KEY_VALUE}" length)
if(KELVARO_RELEASE_KEY_CHECKED AND (NOT length EQUAL 124 OR NOT KELVARO_RELEASE_KEY_VALUE MATCHES
   "^MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE[A-Za-z0-9+/]+[AQgw]==$"))
  message(FATAL_ERROR "KELVARO_RELEASE_KEY is not an ECDSA P-256 public key (DER SubjectPublicKeyInfo in base64, "
                      "as tools/make_release_key.sh prints it), got: ${KELVARO_RELEASE_KEY_VALUE}")
endif()
if(KELVARO_RELEASE_KEY_CHECKED)
  set(KELVARO_RELEASE_KEY_CHECKED_CXX true)
else()
  set(KELVARO_RELEASE_KEY_CHECKED_CXX false)
endif()

set(KELVARO_CONFIG_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/kelvaro_config.hpp.in
               ${KELVARO_CONFIG_DIR}/kelvaro_config.hpp @ONLY)
add_library(kelvaro_config INTERFACE)
target_include_directories(kelvaro_config INTERFACE ${KELVARO_CONFIG_DIR})
