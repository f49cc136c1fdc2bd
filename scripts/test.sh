#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test through ctest: once as built for
# use (RelWithDebInfo, in build-ci), where each test binary also runs once whole in a shuffled
# order, and once built with AddressSanitizer and UndefinedBehaviorSanitizer (clang, in
# build-ci-asan); then replays the fuzz targets' seed corpus and fuzzes each target for
# a bounded time (clang's libFuzzer, in build-ci-fuzz). The tests need no display: each runs with
# Qt's offscreen platform.
#   CORVANE_FUZZ_SECONDS  seconds of fuzzing per target (default 30; 0 replays the corpus only)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc)"
fuzz_seconds="${CORVANE_FUZZ_SECONDS:-30}"

bash "$root/scripts/install-deps.sh"

echo "== build and test"
build="$root/build-ci"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$jobs"
(cd "$build" && ctest --output-on-failure -j2)

echo "== each test binary whole, in a shuffled order"
# ctest runs every test in a process of its own; a test that leans on what an earlier one left
# behind (a window still open, a file in a shared place) only shows when they share one process.
for binary in "$build"/tests/*_tests; do
  QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 TZ=UTC "$binary" --gtest_shuffle --gtest_brief=1
done

echo "== build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
asan="$root/build-ci-asan"
CC=clang CXX=clang++ cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCORVANE_SANITIZE=ON
cmake --build "$asan" -j"$jobs"
(cd "$asan" &&
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j2 --timeout 900)

echo "== fuzz targets: seed corpus, then ${fuzz_seconds} s of fuzzing each"
fuzz="$root/build-ci-fuzz"
targets=(fuzz_payment_file fuzz_field_reader fuzz_file_names fuzz_jet_sql fuzz_text_files)
CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCORVANE_FUZZ=ON
cmake --build "$fuzz" -j"$jobs" --target "${targets[@]}"
for target in "${targets[@]}"; do
  corpus="$root/tests/fuzz/corpus/$target"
  work="$(mktemp -d)"
  "$fuzz/tests/fuzz/$target" -runs=0 "$corpus"
  if [ "$fuzz_seconds" -gt 0 ]; then
    # New inputs go to a scratch folder; the repository's corpus stays as committed.
    "$fuzz/tests/fuzz/$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$work/" "$work" "$corpus"
  fi
  rm -rf "$work"
done
echo "== all tests passed"
