#!/usr/bin/env bash
# cmake --install into a temporary prefix: the files a desktop program
# installs and nothing else; desktop entry, metainfo and manual pages
# valid; the installed programs run from there with the system's Qt.
#   install_tree.sh BUILD_DIR VERSION QTPATHS
. "$(dirname "$0")/common.sh"
build=$1 version=$2 qtpaths=$3
need cmake desktop-file-validate appstreamcli groff man col file readelf

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || { cat "$tmp/install.log"; fail "cmake --install failed"; }

# Exactly the expected files: no tests, benchmarks or test helpers.
(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort) >"$tmp/files"
LC_ALL=C sort "$(dirname "$0")/expected-files.txt" >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" || fail "the installed files differ from expected-files.txt (- expected, + installed)"

for p in bravik-log bravik-mission bravik-gps-sim; do
  [ -x "$prefix/bin/$p" ] || fail "bin/$p is not executable"
  # Nothing points back into the build folder.
  if readelf -d "$prefix/bin/$p" | grep -qE 'RPATH|RUNPATH'; then
    fail "bin/$p carries a library search path: $(readelf -d "$prefix/bin/$p" | grep -E 'RPATH|RUNPATH')"
  fi
done

# The output recorder the launch console starts its commands through.
recorder=$prefix/libexec/bravik-log/bravik-run-wrapped
[ -x "$recorder" ] || fail "libexec/bravik-log/bravik-run-wrapped is not executable"
! readelf -d "$recorder" | grep -qE 'RPATH|RUNPATH' || fail "the recorder carries a library search path"

desktop-file-validate "$prefix/share/applications/org.bravik.BravikLog.desktop" || fail "desktop entry invalid"
grep -qx 'Exec=bravik-log' "$prefix/share/applications/org.bravik.BravikLog.desktop" || fail "desktop entry does not start bravik-log"
grep -qx 'Icon=org.bravik.BravikLog' "$prefix/share/applications/org.bravik.BravikLog.desktop" || fail "desktop entry names another icon"
appstreamcli validate --no-net "$prefix/share/metainfo/org.bravik.BravikLog.metainfo.xml" || fail "metainfo invalid"
grep -qF "<release version=\"$version\"" "$prefix/share/metainfo/org.bravik.BravikLog.metainfo.xml" \
  || fail "metainfo does not name release $version"

for png in "$prefix"/share/icons/hicolor/*x*/apps/org.bravik.BravikLog.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  file "$png" | grep -qF "PNG image data, ${size/x/ x }," || fail "$png is not a $size PNG: $(file -b "$png")"
done
file "$prefix/share/icons/hicolor/scalable/apps/org.bravik.BravikLog.svg" | grep -q 'SVG' || fail "the scalable icon is not SVG"

for p in bravik-log bravik-mission bravik-gps-sim; do
  check_man_page "$prefix/share/man/man1/$p.1" "$prefix/bin/$p"
  grep -qF "Bravik AUV Log Utility $version" "$prefix/share/man/man1/$p.1" || fail "$p.1 does not carry version $version"
done

check_versions "$prefix/bin" "$version"
help=$(cd / && "$prefix/bin/bravik-mission" --help) || fail "installed bravik-mission --help failed"
grep -q '^Usage: bravik-mission' <<<"$help" || fail "bravik-mission --help shows no usage"
grep -q '^Exit status:' <<<"$help" || fail "bravik-mission --help lists no exit status"
"$prefix/bin/bravik-mission" transit --heading 45 --duration 600 --depth 20 --speed 1.5 -o "$tmp/t.cfg" \
  || fail "installed bravik-mission cannot build a script"
grep -q 'behavior' "$tmp/t.cfg" || fail "installed bravik-mission wrote no behaviour block"

# The installed logbook starts on the system's Qt (platform and SQLite
# plugins from the system, nothing from the build folder), creates its
# logbook and ends cleanly on SIGTERM.
home=$tmp/home
mkdir -p "$home"
(cd / && HOME=$home XDG_CONFIG_HOME=$home/.config QT_QPA_PLATFORM=offscreen QT_DEBUG_PLUGINS=1 \
   exec "$prefix/bin/bravik-log") >"$tmp/run.log" 2>&1 &
pid=$!
db=$home/Bravik/Utilities/BravikLogUtility/BravikDatabase.sqlite
for _ in $(seq 1 200); do
  [ -s "$db" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 0.5
kill -TERM "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?
[ -s "$db" ] || { cat "$tmp/run.log"; fail "the installed bravik-log created no logbook at $db"; }
[ "$status" -eq 0 ] || { cat "$tmp/run.log"; fail "the installed bravik-log ended with status $status on SIGTERM"; }
plugins=$("$qtpaths" --plugin-dir) || fail "$qtpaths cannot name Qt's plugin folder"
loaded=$(sed -n 's/.*"\([^"]*\)" loaded library.*/\1/p' "$tmp/run.log")
grep -qx "$plugins/sqldrivers/libqsqlite.so" <<<"$loaded" || { cat "$tmp/run.log"; fail "the system's SQLite driver was not loaded"; }
grep -qx "$plugins/platforms/libqoffscreen.so" <<<"$loaded" || fail "the system's platform plugin was not loaded"
if grep -vq "^$plugins/" <<<"$loaded"; then
  fail "the installed bravik-log loaded plugins from elsewhere than $plugins: $(grep -v "^$plugins/" <<<"$loaded")"
fi
echo "install tree OK: $(wc -l <"$tmp/files") files"
