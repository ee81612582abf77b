#!/usr/bin/env bash
# Fuzzes the backend client's answer decoders with libFuzzer (clang) for a
# bounded time. Not part of the normal build.
#   scripts/fuzz-backend.sh [seconds]   (default 60)
set -euo pipefail

bash "$(dirname "${BASH_SOURCE[0]}")/install-fuzz-deps.sh"

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
out="${VELNOR_FUZZ_DIR:-$root/build/fuzz-backend}"
mkdir -p "$out/corpus"
cp -n "$root"/tests/backend/fuzz/corpus/* "$out/corpus/" 2>/dev/null || true

sources=(
  tests/backend/fuzz/EnvelopeFuzzer.cpp
  src/backend/DecodingError.cpp src/backend/TokenRedaction.cpp src/backend/AnyDecodable.cpp
  src/backend/JsonReader.cpp src/backend/JsonCodec.cpp src/backend/APIResponse.cpp src/backend/AuthTypes.cpp
  src/backend/QASRCodecs.cpp
  src/log/Logger.cpp src/log/CallSite.cpp src/log/LogFile.cpp src/log/ConsoleSink.cpp src/log/SecretRedactor.cpp
  src/core/SerialQueue.cpp src/core/Scheduler.cpp
)

cd "$root"
# shellcheck disable=SC2046
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fPIC \
  -include tests/backend/fuzz/SourceLocationShim.h -Isrc $(pkg-config --cflags Qt6Core) "${sources[@]}" $(pkg-config --libs Qt6Core) -o "$out/envelope-fuzzer"

"$out/envelope-fuzzer" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=4096 \
  -artifact_prefix="$out/" "$out/corpus"
