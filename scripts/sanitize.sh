#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# (float-cast-overflow included) in its own folder (build-asan) and runs every
# test there; any report fails the run. Qt's own process-lifetime allocations are suppressed, each with its
# reason, in tests/sanitizer/lsan.supp. Then the simulated VISA library and
# driver, used by several threads of one client (tests/sim/threaded_client.c),
# run under ThreadSanitizer. Not part of CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-"$root/build-asan"}
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNV815_SANITIZE=ON \
  -DNV815_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS=suppressions="$root/tests/sanitizer/lsan.supp":print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"

# The simulated libraries from several threads, under ThreadSanitizer: the
# libraries' sources and the client in one program.
tsan="$build/tsan"
mkdir -p "$tsan"
gcc -std=c11 -fsanitize=thread -g -O1 -I"$root/src/api" -c "$root/tests/sim/threaded_client.c" \
  -o "$tsan/threaded_client.o"
g++ -std=c++20 -fsanitize=thread -g -O1 -I"$root/sim" -I"$root/src/api" "$root"/sim/*.cpp \
  "$tsan/threaded_client.o" -o "$tsan/threaded_client" -lpthread
NVSIM_CHASSIS= TSAN_OPTIONS=halt_on_error=1 "$tsan/threaded_client"
