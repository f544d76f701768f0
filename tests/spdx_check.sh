#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails, naming them, when a project source file of FOLDER (default: this checkout) lacks the
# licence line as its first line (its second after a shebang). --list prints the files checked:
# C++ sources and headers, CMake files, shell and Python scripts, the CI script.
#   tests/spdx_check.sh [--list] [FOLDER]
set -euo pipefail
list=0
[ "${1:-}" = "--list" ] && { list=1; shift; }
cd "${1:-$(dirname "$0")/..}"
tag="SPDX-License-Identifier: GPL-3.0-or-later"

sources() {
    find . \( -name .git -o -name 'build*' -o -path ./bench/out -o -path ./out \) -prune -o \
        -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.h.in' -o -name CMakeLists.txt \
        -o -name '*.cmake' -o -name '*.sh' -o -name '*.py' -o -path ./.ci/run \) -print |
        sed 's|^\./||' | LC_ALL=C sort
}
if [ "$list" = 1 ]; then sources; exit 0; fi

missing=0
while read -r file; do
    first="$(head -n 1 "$file")"
    [[ "$first" == '#!'* ]] && first="$(sed -n 2p "$file")"
    case "$first" in
        "// $tag" | "# $tag") ;;
        *) echo "no licence line: $file" >&2; missing=$((missing + 1)) ;;
    esac
done < <(sources)
[ "$missing" = 0 ] || { echo "$missing files lack \"$tag\" (tools/spdx_headers.sh adds it)" >&2; exit 1; }
