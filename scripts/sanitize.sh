#!/usr/bin/env bash
# The test suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/. Any sanitizer report stops the test it happens in and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
flags="-O1 -g1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all"
cmake -S . -B build-asan "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=None \
    -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DMIVAROMAP_BENCHMARKS=OFF >/dev/null
cmake --build build-asan -j"$(nproc)"

# Qt's offscreen platform and fontconfig keep a few allocations for the life of the
# process; those are listed in the suppression file, nothing of ours is.
export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:print_stacktrace=1:exitcode=23"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-asan --output-on-failure -j"$(nproc)" --timeout 600
