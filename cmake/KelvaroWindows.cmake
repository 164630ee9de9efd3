# The Windows build on Debian: what differs from the Linux one around the
# sources (the libraries pick their *_win.cpp files themselves).
#
# - Build tools such as kelvaro-embed run on the build machine, so they are
#   compiled with the build machine's own compiler, not the cross compiler.
# - Test programs run under Wine through ${CMAKE_BINARY_DIR}/wine-run, in a
#   prefix inside the build folder (see tools/wine-env.sh).

if(CMAKE_CROSSCOMPILING)
  find_program(KELVARO_HOST_CXX NAMES c++ g++ REQUIRED DOC "C++ compiler of the build machine, for build tools")
  set(host_embed ${CMAKE_BINARY_DIR}/host/kelvaro-embed)
  add_custom_command(OUTPUT ${host_embed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
    COMMAND ${KELVARO_HOST_CXX} -std=c++20 -O2 -o ${host_embed} ${PROJECT_SOURCE_DIR}/tools/embed_block.cpp
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/embed_block.cpp
    COMMENT "Building kelvaro-embed for the build machine" VERBATIM)
  add_custom_target(kelvaro-embed-host DEPENDS ${host_embed})
  set(KELVARO_EMBED ${host_embed} CACHE INTERNAL "")

  set(KELVARO_WINE_DIR ${CMAKE_BINARY_DIR}/wine CACHE PATH
      "Wine prefix, temporary folder and home of the programs run under Wine")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endif()
