#!/usr/bin/env bash
# Configures and builds into build/: everything (program, tests, benchmarks),
# or only the targets named (scripts/build.sh mivaromap).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" ${1:+--target "$@"}
