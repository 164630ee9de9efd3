# Warning flags and the character set of the program's own sources.
#
# Sources are UTF-8; with GCC every narrow string literal is compiled to
# GB18030, which gives the GBK bytes for every character of GBK. The program
# handles all of its texts as GBK bytes. (Plain GBK as the execution charset
# breaks <chrono>.) Clang has no execution charset other than UTF-8; it is used
# only for the fuzz targets, where literal texts keep their UTF-8 bytes.
function(kelvaro_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -finput-charset=UTF-8 -fexec-charset=GB18030)
  endif()
  if(KELVARO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
