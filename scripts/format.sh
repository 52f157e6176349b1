#!/bin/sh
# Formats every C++ source of the project with clang-format 14 and the .clang-format at the top.
# With --check it changes nothing and fails, naming each file and line, where a file is not formatted.
# CLANG_FORMAT names the program to use (default: clang-format-14, else clang-format).
set -eu
cd "$(dirname "$0")/.."

if [ -z "${CLANG_FORMAT:-}" ]; then
    CLANG_FORMAT=$(command -v clang-format-14 || command -v clang-format || true)
fi
if [ -z "$CLANG_FORMAT" ]; then
    echo "clang-format not found: run scripts/install-deps.sh" >&2
    exit 1
fi

# The source folders only, so build directories and generated files are never touched.
files=$(find app batch bench converter engine settings tests ui -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
# shellcheck disable=SC2086
if [ "${1:-}" = "--check" ]; then
    "$CLANG_FORMAT" --dry-run --Werror $files
else
    "$CLANG_FORMAT" -i $files
fi
