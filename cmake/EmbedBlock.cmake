# kelvaro_embed_block(<target> <file> <symbol>)
# Compiles <file> into <target> as a byte block: a 32-bit little-endian word 1,
# a 32-bit little-endian byte count, then the file's bytes. The block is reached
# through `extern const unsigned char <symbol>[]; extern const std::size_t <symbol>Size;`.
function(kelvaro_embed_block target file symbol)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/embedded_${symbol}.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${KELVARO_EMBED} ${file} ${symbol} ${out}
    DEPENDS ${KELVARO_EMBED} ${file}
    COMMENT "Embedding ${file} as ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  if(TARGET kelvaro-embed-host)
    add_dependencies(${target} kelvaro-embed-host)
  endif()
endfunction()
