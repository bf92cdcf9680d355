#!/usr/bin/env bash
# Builds the Debian package and checks it: file list, dependencies, no maintainer scripts, and
# the desktop entry and AppStream metadata it carries. Reuses the dev build of `make test`
# unless PACKAGE_PRESET says otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${PACKAGE_PRESET:-dev}"
build="build/$preset"
make --no-print-directory package PACKAGE_PRESET="$preset"

version="$(sed -n 's/^project(PellixKit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
deb="$build/pellix-kit_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "no package $deb" >&2; exit 1; }
fail() { echo "ci-package: $*" >&2; exit 1; }

# File list: the programs, every runtime file, the desktop files, icons and manual pages.
files="$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's#^\./#/#')"
expect=(/usr/bin/pellix-kit /usr/bin/pellix-hopper-emulator /usr/bin/pellix-line
        /usr/share/applications/org.pellix.kit.desktop
        /usr/share/metainfo/org.pellix.kit.metainfo.xml
        /usr/share/man/man1/pellix-kit.1.gz /usr/share/man/man1/pellix-hopper-emulator.1.gz
        /usr/share/man/man1/pellix-line.1.gz
        /usr/share/doc/pellix-kit/copyright /usr/share/doc/pellix-kit/changelog.gz)
for f in resources/runtime/* resources/screenshots/*; do
    case "$f" in
        resources/runtime/*) expect+=("/usr/share/pellix-kit/${f#resources/runtime/}") ;;
        *) expect+=("/usr/share/pellix-kit/screenshots/${f#resources/screenshots/}") ;;
    esac
done
for size in 16 22 24 32 48 64 128 256; do
    expect+=("/usr/share/icons/hicolor/${size}x${size}/apps/org.pellix.kit.png")
done
for f in "${expect[@]}"; do
    grep -qxF "$f" <<<"$files" || fail "missing from the package: $f"
done
outside="$(grep -v '/$' <<<"$files" | grep -v '^/usr/' || true)"
[ -z "$outside" ] || fail "files outside /usr: $outside"

# Dependencies: the Qt runtime found by dpkg-shlibdeps, and the CJK font for the status texts.
depends="$(dpkg-deb -f "$deb" Depends)"
names="$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')"
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6sql6 \
    fonts-noto-cjk libqt6sql6-sqlite; do
    grep -qxF "$dep" <<<"$names" || fail "Depends lacks $dep: $depends"
done
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"

# Serial access is the dialout group's business: no maintainer scripts.
control="$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's#^\./##' | grep -v '^$' | sort | tr '\n' ' ')"
[ "$control" = "control md5sums " ] || fail "unexpected control members: $control"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
desktop-file-validate "$tmp/usr/share/applications/org.pellix.kit.desktop"
# Debian's own checks: no error and no warning.
lintian --fail-on error,warning "$deb"
appstreamcli validate --no-net "$tmp/usr/share/metainfo/org.pellix.kit.metainfo.xml"
echo "ci-package: $deb checked ($(wc -l <<<"$files") entries; Depends: $depends)"
