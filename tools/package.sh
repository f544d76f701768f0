#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package velmora_<version>_<arch>.deb from this checkout: a Release build
# of its own (build-package/, or BUILD_DIR) with Debian's hardening flags, `cpack -G DEB`,
# then lintian when it is installed (an error fails). The package lands in the checkout's
# top folder (or OUT_DIR).
#
#   tools/package.sh                 build the package
#   tools/package.sh --install-test  also, as root on a disposable machine: install it with
#                                    apt-get, run both programs, purge it and check that none
#                                    of its files is left
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cd "$repo"
install_test=0
case "${1:-}" in
    "") ;;
    --install-test) install_test=1 ;;
    *) echo "usage: tools/package.sh [--install-test]" >&2; exit 2 ;;
esac
fail() { echo "package.sh: $*" >&2; exit 1; }

for tool in cmake cpack dpkg-deb dpkg-shlibdeps dpkg-buildflags scdoc gzip; do
    command -v "$tool" >/dev/null || fail "$tool is needed (tools/setup.sh installs it)"
done
if [ "$install_test" = 1 ] && [ "$(id -u)" -ne 0 ]; then
    fail "--install-test installs the package: run it as root, on a disposable machine"
fi

build="${BUILD_DIR:-build-package}"
out="${OUT_DIR:-$repo}"
# Debian's flags set the optimisation (-O2) and every hardening option (immediate binding
# too); the Release type adds only NDEBUG.
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
export LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
    -DVELMORA_BUILD_TESTS=OFF -DVELMORA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/package/velmora_*.deb
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null
debs=("$build"/package/velmora_*.deb)
[ -f "${debs[0]}" ] || fail "cpack wrote no package"
mkdir -p "$out"
cp "${debs[0]}" "$out/"
deb="$out/$(basename "${debs[0]}")"
echo "package.sh: $deb"

if command -v lintian >/dev/null; then
    # The warnings kept are listed, with the reason for each, in the README.
    lintian --fail-on error --suppress-tags-from-file packaging/lintian-kept "$deb" ||
        fail "lintian found errors in $deb"
else
    echo "package.sh: lintian not installed; the package is not checked" >&2
fi

[ "$install_test" = 1 ] || exit 0

# The install test: every file of the package, installed and then gone after the purge.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$(realpath "$deb")" >/dev/null
dpkg -L velmora | while read -r path; do [ -d "$path" ] || echo "$path"; done >"$scratch/files"
[ -s "$scratch/files" ] || fail "dpkg -L velmora lists no file"

# The programs run as an ordinary user with a home of their own, then the window program as
# root.
mkdir -p "$scratch/home" && mkdir -m 700 "$scratch/run" && chown nobody "$scratch/home" "$scratch/run"
cp samples/drive-text.txt "$scratch/drive.txt" && chmod 644 "$scratch/drive.txt"
as_user() { runuser -u nobody -- env HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/run" "$@"; }
as_user velmora --version
as_user sh -c "cd '$scratch/home' && velmora-batch '$scratch/drive.txt' convert-all" |
    grep -q "^Total Number Of Source Entries: 27$" || fail "the installed velmora-batch failed"
# The window program does not end by itself: still running after 5 s (timeout's 124) is
# a start; any other status is a failure.
status=0
QT_QPA_PLATFORM=offscreen as_user timeout 5 velmora "$scratch/drive.txt" || status=$?
[ "$status" = 124 ] || [ "$status" = 0 ] || fail "velmora LOG ended with status $status"
# Run by root, who could write there, the installed program still keeps its working files in
# the user's data folder: nothing but the package's own files is in /usr/lib/velmora.
status=0
QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$scratch/root-data" XDG_CONFIG_HOME="$scratch/root-config" \
    timeout 5 velmora "$scratch/drive.txt" || status=$?
[ "$status" = 124 ] || [ "$status" = 0 ] || fail "velmora LOG run by root ended with status $status"
find /usr/lib/velmora ! -type d | while read -r path; do
    grep -qxF "$path" "$scratch/files" || fail "velmora run by root left $path"
done

apt-get remove --purge -y -qq velmora >/dev/null
left=0
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then echo "left behind: $path" >&2; left=1; fi
done <"$scratch/files"
[ ! -e /usr/lib/velmora ] || { echo "left behind: /usr/lib/velmora" >&2; left=1; }
[ "$left" = 0 ] || fail "the purge left files behind"
echo "package.sh: installed, ran and purged $deb; nothing left"
