#!/bin/bash
# Builds the decoder fuzzer with clang in its own build folder and runs it for a bounded
# time, seeded from the shared corpus, our own seeds of the formats it lacks (HEIF, AVIF,
# JPEG XL, SVG, TGA, camera raw, animations) and the regression files.
#   fuzz/run.sh [SECONDS]   (default 60; the build folder is build-fuzz beside fuzz/)
set -euo pipefail
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${MIRVANE_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target image_fuzzer

seeds=()
for d in "$root/../shared/corpus/valid" "$root/../shared/corpus/corrupt"; do
  [[ -d $d ]] && for f in "$d"/*/; do seeds+=("$f"); done
done
seeds+=("$here/seeds" "$root/tests/image/regressions")
mkdir -p "$build/found" "$build/artifacts"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# The codecs' own complaints about broken files are many; keep them out of the CI log.
log="$build/fuzz.log"
status=0
"$build/image_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=3072 \
  -max_len=1048576 -artifact_prefix="$build/artifacts/" "$build/found" "${seeds[@]}" \
  >"$log" 2>&1 || status=$?
if [ "$status" -eq 0 ]; then
  grep -vE '^(libpng |qt\.|Fax[34]Decode|JPEG|TIFF|Corrupt JPEG|\./lib/jxl/|QTgaHandler)' "$log" | tail -n 20 || true
else
  tail -n 200 "$log"
fi
echo "fuzz: exit status $status, full log in $log"
exit "$status"
