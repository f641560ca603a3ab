#!/usr/bin/env bash
# Builds the libFuzzer targets (the waveform readers, the configuration loader
# and writer, typed frequencies, the command line's channel list, the
# builder's CSV reader and expressions, uploaded waveform files, the C
# program's string literals, the SCPI reader, HiSLIP's message reader, the simulated chassis reader and its
# resource names, VXI-11's calls, the users file, TLS and SASL) with clang
# and runs each for a while (60 s by default; FUZZ_SECONDS changes it). Not
# part of CI.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${FUZZ_DIR:-"$root/build-fuzz"}
seconds=${FUZZ_SECONDS:-60}
mkdir -p "$out"
flags=(-std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)

run() { # name, then the sources and flags of the target
  local name=$1
  shift
  clang++ "${flags[@]}" "$@" -o "$out/fuzz_$name"
  mkdir -p "$out/corpus_$name"
  echo "fuzzing $name for ${seconds}s"
  # An allocation beyond 64 MB is a finding too (a length believed before
  # it is checked), whatever the target.
  "$out/fuzz_$name" -max_total_time="$seconds" -max_len=65536 -malloc_limit_mb="${malloc_mb:-64}" \
    -artifact_prefix="$out/$name-" "$out/corpus_$name" 2>&1 | tail -n 3
}

for target in text binary; do
  run "${target}_wave" -I"$root/src/waveform" "$root/tests/waveform/fuzz/fuzz_${target}_wave.cpp" \
    "$root/src/waveform/WaveParse.cpp"
done
# shellcheck disable=SC2046
run config -fPIC -I"$root/src/config" -I"$root/src/state" -I"$root/src/waveform" \
  -I"$root/src/fileutil" -I"$root/src/instrument" -I"$root/src/api" -I"$root/src/core" \
  $(pkg-config --cflags Qt6Core) \
  "$root/tests/config/fuzz/fuzz_config.cpp" "$root/src/config/ConfigFile.cpp" \
  "$root/src/config/IniText.cpp" "$root/src/config/ConfigKeys.cpp" \
  "$root/src/core/SettingRanges.cpp" \
  "$root/src/instrument/Commands.cpp" "$root/src/instrument/OperationLog.cpp" \
  "$root/src/instrument/DriverCalls.cpp" "$root/src/instrument/nv815_def.cpp" \
  "$root/src/instrument/LibraryBinding.cpp" \
  "$root/src/fileutil/SafeFile.cpp" \
  $(pkg-config --libs Qt6Core) -ldl
# shellcheck disable=SC2046
run frequency -fPIC -I"$root/src/ui" $(pkg-config --cflags Qt6Core) \
  "$root/tests/ui/fuzz/fuzz_frequency.cpp" "$root/src/ui/FrequencyText.cpp" \
  $(pkg-config --libs Qt6Core)
run scpi -I"$root/src/remote" "$root/tests/remote/fuzz/fuzz_scpi.cpp" \
  "$root/src/remote/ScpiParser.cpp" "$root/src/remote/ScpiSession.cpp" \
  "$root/src/remote/WaveSamples.cpp" "$root/src/remote/LineReader.cpp"
run channels -I"$root/src/cli" "$root/tests/cli/fuzz/fuzz_channels.cpp" \
  "$root/src/cli/ChannelList.cpp"
run csv -I"$root/src/wavebuild" -I"$root/src/waveform" "$root/tests/wavebuild/fuzz/fuzz_csv.cpp" \
  "$root/src/wavebuild/CsvTable.cpp" "$root/src/waveform/WaveParse.cpp"
# shellcheck disable=SC2046
run upload -I"$root/src/wavebuild" -I"$root/src/waveform" -I"$root/src/fileutil" \
  "$root/tests/wavebuild/fuzz/fuzz_upload.cpp" "$root/src/wavebuild/WaveUpload.cpp" \
  "$root/src/wavebuild/CsvTable.cpp" "$root/src/wavebuild/WavFile.cpp" \
  "$root/src/wavebuild/WaveShaping.cpp" "$root/src/waveform/WaveParse.cpp" \
  "$root/src/fileutil/SafeFile.cpp" $(pkg-config --cflags --libs sndfile)
# shellcheck disable=SC2046
run expression -I"$root/src/wavebuild" "$root/tests/wavebuild/fuzz/fuzz_expression.cpp" \
  "$root/src/wavebuild/WaveExpression.cpp" $(pkg-config --cflags --libs muparser)
run cstring -I"$root/src/instrument" -I"$root/src/api" \
  "$root/tests/instrument/fuzz/fuzz_cstring.cpp" "$root/src/instrument/CProgram.cpp"
run chassis -I"$root/sim" -I"$root/src/api" "$root/tests/sim/fuzz/fuzz_chassis.cpp" \
  "$root/sim/SimChassis.cpp" "$root/sim/SimChassisFile.cpp" "$root/sim/SimControl.cpp" \
  "$root/sim/SimStatus.cpp" \
  "$root/sim/SimResourceName.cpp"
run hislip -I"$root/src/lan" "$root/tests/lan/fuzz/fuzz_hislip.cpp" "$root/src/lan/HislipMessage.cpp"
run resource_name -I"$root/sim" -I"$root/src/api" "$root/tests/sim/fuzz/fuzz_resource_name.cpp" \
  "$root/sim/SimResourceName.cpp"
# VXI-11: the dispatch and the interface's XDR routines instrumented, the
# server from the build's base library.
build="$root/build/src"
clang -O1 -g -fsanitize=fuzzer-no-link,address,undefined -fPIC -w -I"$build/lan" \
  $(pkg-config --cflags libtirpc) -c "$build/lan/vxi11_xdr.c" -o "$out/vxi11_xdr.o"
# shellcheck disable=SC2046
run vxi11 -fPIC -I"$root/src/lan" -I"$root/src/remote" -I"$build/lan" \
  $(pkg-config --cflags Qt6Network libtirpc) \
  "$root/tests/lan/fuzz/fuzz_vxi11.cpp" "$root/src/lan/Vxi11Calls.cpp" "$out/vxi11_xdr.o" \
  -L"$build" -lnv815-base -Wl,-rpath,"$build" $(pkg-config --libs Qt6Network libtirpc)
# Who may drive the card: the users file, a TLS channel, SASL exchanges (a
# password checked against its Argon2id hash takes 64 MB by design).
# shellcheck disable=SC2046
malloc_mb=160 run secure -fPIC -I"$root/src/secure" -I"$root/src/fileutil" \
  $(pkg-config --cflags Qt6Network gnutls libgsasl libsodium) \
  "$root/tests/secure/fuzz/fuzz_secure.cpp" "$root/src/secure/Credentials.cpp" \
  "$root/src/secure/TlsIdentity.cpp" "$root/src/secure/TlsChannel.cpp" \
  "$root/src/secure/SaslServer.cpp" "$root/src/fileutil/SafeFile.cpp" \
  $(pkg-config --libs Qt6Network gnutls libgsasl libsodium)
