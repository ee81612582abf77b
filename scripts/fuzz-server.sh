#!/usr/bin/env bash
# Fuzzes velnor-server's multipart parser with libFuzzer (clang) for a bounded
# time. Not part of the normal build.
# Usage: scripts/fuzz-server.sh [seconds]   (default 60)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
bash "$root/scripts/install-fuzz-deps.sh"
out="$root/build/fuzz"
mkdir -p "$out/corpus"
cp -n "$root"/tests/server/fuzz/corpus/* "$out/corpus/" 2>/dev/null || true

# shellcheck disable=SC2046
clang++ -std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root/server" $(pkg-config --cflags Qt6Core) \
  "$root/server/http/MultipartParser.cpp" "$root/tests/server/fuzz/MultipartParserFuzz.cpp" \
  $(pkg-config --libs Qt6Core) -o "$out/multipart-parser-fuzz"

"$out/multipart-parser-fuzz" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=65536 \
  "$out/corpus"
