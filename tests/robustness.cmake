# Robustness: every failure point, bad input, a long run of computes, computes on several threads at once.
ky_node_test(faultSweep_test)
ky_node_test(badInput_test)
ky_node_test(soak_test)
ky_node_test(parallel_test)
# The fuzzer's seeds and findings (fuzz/) are replayed by the bad-input test.
target_compile_definitions(badInput_test PRIVATE KY_FUZZ_DIR="${PROJECT_SOURCE_DIR}/fuzz")
