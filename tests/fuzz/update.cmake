# The version decision on arbitrary page bodies, and the Content-Range parser.
kelvaro_add_fuzzer(fuzz_version_record SOURCES ${PROJECT_SOURCE_DIR}/tests/update/fuzz_version_record.cpp LIBS kv_update)
# The release signature file and the public key on arbitrary bytes.
kelvaro_add_fuzzer(fuzz_release_signature SOURCES ${PROJECT_SOURCE_DIR}/tests/update/fuzz_release_signature.cpp LIBS kv_release_check)
kelvaro_add_fuzzer(fuzz_content_range SOURCES ${PROJECT_SOURCE_DIR}/tests/update/fuzz_content_range.cpp LIBS kv_update)
