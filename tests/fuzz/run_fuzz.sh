#!/usr/bin/env bash
# Builds the record fuzz target with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, seeds a corpus and runs it.
#   tests/fuzz/run_fuzz.sh [seconds]      (default 60)
# Needs the Debian packages clang (clang++) and libclang-rt-14-dev (the
# libFuzzer and sanitizer runtimes), plus qt6-base-dev for QtCore.
# Output goes to $FUZZ_OUT (default build-fuzz/ in the source tree).
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
out=${FUZZ_OUT:-$root/build-fuzz}
seconds=${1:-60}
mkdir -p "$out/corpus"

sources=(
    "$root/tests/fuzz/fuzz_records.cpp"
    "$root/model/CommandTable.cpp"
    "$root/model/ParameterLimits.cpp"
    "$root/model/Sequence.cpp"
    "$root/model/SequenceController.cpp"
    "$root/model/SequenceLoading.cpp"
    "$root/model/RecordFiles.cpp"
    "$root/util/UnitUtils.cpp"
    "$root/util/StringGridModel.cpp"
)
# shellcheck disable=SC2046
clang++ -std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer \
    -fsanitize=fuzzer,address,undefined,float-cast-overflow \
    -fno-sanitize-recover=undefined,float-cast-overflow \
    -I"$root" $(pkg-config --cflags Qt6Core) "${sources[@]}" \
    $(pkg-config --libs Qt6Core) -o "$out/fuzz_records"

# Seeds: two blank records of each kind, a small commands file, an edit script.
seed() { printf "$1" >"$out/corpus/$2"; head -c "$3" /dev/zero >>"$out/corpus/$2"; }
seed '\x00' config-two-records 1568
seed '\x81' sequence-two-records 848
seed '\x03' edit-script 0
printf '\x03\x00\x07\x10\x00\x07\x20\x03\x07\x00\x05\x01\x00\x06\x01\x00' >"$out/corpus/edit-script"
{
    printf '\x02ID;Command;Description'
    for _ in $(seq 3 27); do printf ';x'; done
    printf '\r\n1;MAXVATPS;Limit;0;5;2;0.01;V;4.5;4.5;1000;0;5000;0;1;mV;4500;4500;1;1;1;1;1;1;1;1;1;a;b\r\n'
} >"$out/corpus/commands-file"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}
"$out/fuzz_records" -max_total_time="$seconds" -max_len=2048 -timeout=10 \
    -print_final_stats=1 "$out/corpus"
