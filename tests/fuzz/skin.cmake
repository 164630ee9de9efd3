# The skin: the in-memory image loader on arbitrary images (never mapping
# anything executable, never calling into the image), and the skin file reader.
kelvaro_add_fuzzer(fuzz_image_loader SOURCES fuzz_image_loader.cpp LIBS kv_skinloader)
kelvaro_add_fuzzer(fuzz_skin_loader SOURCES fuzz_skin_loader.cpp LIBS kv_skinfile)
