#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# tools/spdx_headers.sh on a scratch copy of the checkout's source files: afterwards every file
# passes tests/spdx_check.sh, shebangs stay first, executables stay executable, and a second
# run changes nothing.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$repo"
bash tests/spdx_check.sh --list | tar cf - -T - | tar xf - -C "$scratch"
# A file that already has the line and an empty one.
printf '#!/bin/sh\n# SPDX-License-Identifier: GPL-3.0-or-later\necho hi\n' >"$scratch/has.sh"
: >"$scratch/empty.py"

bash tools/spdx_headers.sh "$scratch"
bash tests/spdx_check.sh "$scratch"
sums() { (cd "$scratch" && find . -type f -exec md5sum {} + | sort); }
before="$(sums)"
bash tools/spdx_headers.sh "$scratch"
[ "$(sums)" = "$before" ] || { echo "a second run changed files" >&2; exit 1; }
[ "$(head -n 1 "$scratch/tools/package.sh")" = "#!/usr/bin/env bash" ] &&
    [ -x "$scratch/tools/package.sh" ] || { echo "tools/package.sh lost its shebang or mode" >&2; exit 1; }
[ "$(head -n 1 "$scratch/src/app/main.cpp")" = "// SPDX-License-Identifier: GPL-3.0-or-later" ] ||
    { echo "src/app/main.cpp has no C++ licence line" >&2; exit 1; }
[ "$(cat "$scratch/empty.py")" = "# SPDX-License-Identifier: GPL-3.0-or-later" ] ||
    { echo "an empty file did not get the line" >&2; exit 1; }
