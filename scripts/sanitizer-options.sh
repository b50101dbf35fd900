# Sourced, not run: the run-time options of the address, leak and
# undefined-behaviour sanitizers, for the tests and the fuzzers alike. Any
# report ends its program with a failure, which fails whatever ran it.
# libldap has no frame pointers: only the slow unwinder sees the calls that
# the leak suppressions name.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:fast_unwind_on_malloc=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/tests/lsan.supp
