# The version decision on arbitrary page bodies.
kelvaro_add_fuzzer(fuzz_version_record SOURCES ${PROJECT_SOURCE_DIR}/tests/update/fuzz_version_record.cpp LIBS kv_update)
