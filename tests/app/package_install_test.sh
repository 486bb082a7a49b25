#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a person meets it: built from this tree, unpacked
# into a fresh root-owned prefix, used by an ordinary user (nobody) who runs
# quavrix-cli analyze and saves a project in the window. What the user's
# programs write must land in that user's configuration folder, a second
# start must find the project again with OPEN RECENT; the install
# must stay exactly as unpacked. Needs root (CI runs as root); skipped else.
#   package_install_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED: installing and changing users needs root"
  exit 77
fi
work=$(mktemp -d /tmp/quavrix-package-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

deb=$("$source_dir/scripts/package.sh" "$build_dir" "$work" 2>"$work/package.log" | tail -1) || {
  cat "$work/package.log"
  exit 1
}
[[ $(basename "$deb") =~ ^quavrix_[0-9.]+_amd64\.deb$ ]] || { echo "FAILED: named $deb"; exit 1; }
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libfftw3-double3 libtinyxml2 libportaudio2 libsndfile1 \
  libsamplerate0 timgm6mb-soundfont fonts-dejavu-core; do
  [[ $depends == *"$needed"* ]] || { echo "FAILED: Depends lacks $needed: $depends"; exit 1; }
done

prefix=$work/root
mkdir -p "$prefix"
dpkg-deb -x "$deb" "$prefix"
# The bank is a relative link into the SoundFont package's folder; that
# package is installed in the system, so it is linked into the prefix too.
mkdir -p "$prefix/usr/share/sounds/sf2"
ln -s /usr/share/sounds/sf2/TimGM6mb.sf2 "$prefix/usr/share/sounds/sf2/TimGM6mb.sf2"
chown -R root:root "$prefix"
chmod -R go-w "$prefix"
home=$work/home
mkdir -p "$home"
chown nobody "$home"
as_user() {
  runuser -u nobody -- env -i HOME="$home" PATH=/usr/bin:/bin QUAVRIX_AUDIO=null "$@"
}
snapshot() { find "$prefix" -printf '%p %y %s %T@ %l\n' | sort; }
before=$(snapshot)

bin=$prefix/usr/bin
as_user "$bin/quavrix-cli" --version | grep -q '^quavrix-cli ' || { echo "FAILED: --version"; exit 1; }
as_user "$bin/quavrix-cli" demo "$home/demo.wav" --seconds 10 >/dev/null
analysis=$(as_user "$bin/quavrix-cli" analyze "$home/demo.wav" --json)
[[ $analysis == *'"frames": 441000'* ]] || { echo "FAILED: analyze said $analysis"; exit 1; }
# The shipped bank is found through the install's share/quavrix/.
as_user "$bin/quavrix-cli" sf2-info "$prefix/usr/share/quavrix/quavrix.sf2" >/dev/null

as_user timeout 90 xvfb-run -a -s "-screen 0 1920x1080x24" \
  "$source_dir/tests/app/save_in_window.sh" "$bin/quavrix" "$home/demo.wav" "$home/demo-take.dat"
list=$home/.config/quavrix/recent_files.txt
[ -f "$list" ] || { echo "FAILED: no recent list at $list"; exit 1; }
[ "$(stat -c %U "$list")" = nobody ] || { echo "FAILED: $list not the user's"; exit 1; }
[ "$(sed -n 2p "$list")" = "$home/demo-take.dat" ] || { echo "FAILED: $list holds $(cat "$list")"; exit 1; }
after=$(snapshot)
if [ "$before" != "$after" ]; then
  echo "FAILED: the install changed:"
  diff <(echo "$before") <(echo "$after") || true
  exit 1
fi
echo "package $(basename "$deb") installed, used by nobody, install untouched"
