#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Adds the licence line to every project source file of FOLDER (default: this checkout) that
# lacks it, the files tests/spdx_check.sh checks: first, or second after a shebang; "//" in
# C++, "#" elsewhere. Running it again changes nothing.
#   tools/spdx_headers.sh [FOLDER]
set -euo pipefail
check="$(cd "$(dirname "$0")/../tests" && pwd)/spdx_check.sh"
cd "${1:-$(dirname "$0")/..}"
tag="SPDX-License-Identifier: GPL-3.0-or-later"
bash "$check" --list . | while read -r f; do
    case "$f" in *.cpp | *.h | *.h.in) line="// $tag" ;; *) line="# $tag" ;; esac
    at=1
    [[ "$(head -n 1 "$f")" == '#!'* ]] && at=2
    [ "$(sed -n "${at}p" "$f")" = "$line" ] && continue
    if [ ! -s "$f" ]; then
        echo "$line" >"$f"
    elif [ "$at" = 2 ]; then
        sed -i "1a\\$line" "$f"
    else
        sed -i "1i\\$line" "$f"
    fi
done
