#!/usr/bin/env bash
# Formats the C++ sources of src/ and tests/ with clang-format-14 and the repository's .clang-format.
#   scripts/format.sh            rewrites every file that is not in the house style
#   scripts/format.sh --check    changes nothing; lists the files that would change and exits 1 if any
#   scripts/format.sh [--check] FILE...   the same for the named files only
set -euo pipefail
cd "$(dirname "$0")/.."

clang_format=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$clang_format" >/dev/null; then
    echo "format.sh: $clang_format not found (scripts/setup.sh installs it)" >&2
    exit 2
fi

check=0
if [ "${1:-}" = "--check" ]; then
    check=1
    shift
fi

files=()
if [ $# -gt 0 ]; then
    files=("$@")
else
    while IFS= read -r -d '' f; do
        files+=("$f")
    done < <(find src tests -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
fi

if [ "$check" -eq 0 ]; then
    printf '%s\0' "${files[@]}" | xargs -0 -n 16 -P "$(nproc)" "$clang_format" -i --style=file
    exit 0
fi

# --dry-run with -Werror fails for a file that would change; the list of those files is what a
# reader needs.
unformatted=$(printf '%s\0' "${files[@]}" | xargs -0 -P "$(nproc)" -I{} sh -c \
    '"$1" --style=file --dry-run -Werror "$2" >/dev/null 2>&1 || echo "$2"' sh "$clang_format" {} | sort)
if [ -n "$unformatted" ]; then
    printf 'not formatted: %s\n' $unformatted >&2
    echo "format.sh: $(echo "$unformatted" | wc -l) file(s) differ from the house style; run scripts/format.sh" >&2
    exit 1
fi
