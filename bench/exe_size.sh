#!/usr/bin/env bash
# The .exe's size beyond the 2 MiB firmware image it carries, and how its sections share it.
# Usage: bench/exe_size.sh [EXE]
#   Without EXE it builds the `bench-windows` preset (build/bench-windows) and measures that.
set -euo pipefail
cd "$(dirname "$0")/.."

exe=${1:-}
if [ -z "$exe" ]; then
    cmake --preset bench-windows >/dev/null
    cmake --build --preset bench-windows >/dev/null
    exe=build/bench-windows/ui/ZeltFwUpdater.exe
fi
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump)

image_bytes=2097152
size=$(stat -c %s "$exe")
echo "program:            $exe"
awk -v s="$size" -v i="$image_bytes" 'BEGIN {
    printf "size:               %d bytes (%.1f KiB)\n", s, s / 1024
    printf "beyond the image:   %d bytes (%.1f KiB)\n", s - i, (s - i) / 1024
}'

# Sections as the file holds them (objdump -h: name and size in hex; those without CONTENTS,
# like .bss, take no room in the file).
echo "sections (bytes in the file):"
total=0
rsrc=0
while read -r _ name hex _; do
    bytes=$((16#$hex))
    total=$((total + bytes))
    [ "$name" = ".rsrc" ] && rsrc=$bytes
    awk -v n="$name" -v b="$bytes" 'BEGIN { printf "  %-16s %9d  (%.1f KiB)\n", n, b, b / 1024 }'
done < <("$objdump" -h "$exe" | awk '
    $1 ~ /^[0-9]+$/ && NF >= 7 { line = $1 " " $2 " " $3; next }
    line != "" { if ($0 ~ /CONTENTS/) print line; line = "" }')
awk -v s="$size" -v t="$total" -v r="$rsrc" -v i="$image_bytes" 'BEGIN {
    printf "  %-16s %9d  (%.1f KiB): headers, symbol table, alignment\n", "rest", s - t, (s - t) / 1024
    if (r) {
        printf "without .rsrc:      %d bytes (%.1f KiB): code, data, imports, debugging sections, symbols, headers\n", s - r, (s - r) / 1024
        printf "other resources:    %d bytes (%.1f KiB): dialog, logo, icon, manifest\n", r - i, (r - i) / 1024
    }
}'

# What the program needs to run, without the debugging sections and the symbol table.
stripped=$(mktemp)
trap 'rm -f "$stripped"' EXIT
"$(command -v i686-w64-mingw32-strip || command -v strip)" -o "$stripped" "$exe"
awk -v s="$(stat -c %s "$stripped")" -v i="$image_bytes" 'BEGIN {
    printf "stripped:           %d bytes, %d (%.1f KiB) beyond the image\n", s, s - i, (s - i) / 1024
}'
