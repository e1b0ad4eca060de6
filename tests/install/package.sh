#!/usr/bin/env bash
# The Debian package, built by CPack from the build folder into a temporary
# folder: its name, contents, declared dependencies, lintian without errors,
# and the programs unpacked from it run.
#   package.sh BUILD_DIR VERSION
. "$(dirname "$0")/common.sh"
build=$1 version=$2
need cpack dpkg-deb dpkg-shlibdeps lintian

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 \
  || { cat "$tmp/cpack.log"; fail "cpack failed"; }
deb=$tmp/out/bravik-log_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$tmp/out"; fail "cpack made no $(basename "$deb")"; }

# Contents: the installed files under /usr, manual pages compressed.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort >"$tmp/files"
sed 's|^\(share/man/.*\)$|\1.gz|' "$(dirname "$0")/expected-files.txt" | LC_ALL=C sort >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" || fail "the package's files differ from expected-files.txt (- expected, + packaged)"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = bravik-log ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
recommends=$(field Recommends)
# The SQL driver plugins, which Qt loads at run time, are declared; the
# libraries the programs link are worked out by dpkg-shlibdeps.
for p in libqt6sql6-sqlite libc6 libqt6core6 libqt6widgets6 libqt6sql6 libqt6network6 libpq5 libgmt6 gmt-common gmt-gshhg-low; do
  grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
for p in libqt6sql6-psql gmt-gshhg-high mdbtools; do
  grep -qE "(^|, )$p( |,|$)" <<<"$recommends" || fail "Recommends lacks $p: $recommends"
done
info=$(dpkg-deb -I "$deb")
grep -qF " Depends: $depends" <<<"$info" || fail "dpkg-deb -I shows other dependencies: $info"

# lintian: no errors (warnings and notes are shown).  As root it warns that
# it runs as root; that line is not about the package.
status=0
lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || status=$?
cat "$tmp/lintian.log"
[ "$status" -le 1 ] || fail "lintian could not check the package (status $status)"
! grep -q '^E: ' "$tmp/lintian.log" && [ "$status" -eq 0 ] || fail "lintian reports errors"

# Unpacked, the programs run.
dpkg-deb -x "$deb" "$tmp/root"
check_versions "$tmp/root/usr/bin" "$version"
zcat "$tmp/root/usr/share/doc/bravik-log/changelog.gz" | head -1 | grep -qF "bravik-log ($version)" \
  || fail "the changelog does not start with version $version"
echo "package OK: $(basename "$deb"), $(wc -l <"$tmp/files") files"
