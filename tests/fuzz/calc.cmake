# The calculators' text-to-number rule and the groups that read through it.
kelvaro_add_fuzzer(fuzz_calc_integer SOURCES fuzz_calc_integer.cpp LIBS kv_calc)
