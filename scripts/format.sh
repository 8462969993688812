#!/usr/bin/env bash
# Formats the C++ sources with the tree's .clang-format, or with --check
# reports the files that are not formatted and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [[ "${1:-}" == "--check" ]]; then
  if ! clang-format --dry-run --Werror "${files[@]}" 2>/dev/null; then
    echo "format: these files are not formatted (run scripts/format.sh):" >&2
    for file in "${files[@]}"; do
      clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || echo "  $file" >&2
    done
    exit 1
  fi
  echo "format: the tree is formatted"
else
  clang-format -i "${files[@]}"
fi
