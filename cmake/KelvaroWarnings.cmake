# Warning flags and the character set of the program's own sources.
#
# Sources are UTF-8; every narrow string literal is compiled to GB18030, which
# gives the GBK bytes for every character of GBK. The program handles all of its
# texts as GBK bytes. (Plain GBK as the execution charset breaks <chrono>.)
function(kelvaro_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra
    -finput-charset=UTF-8 -fexec-charset=GB18030)
  if(KELVARO_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
