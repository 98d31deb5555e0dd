#!/usr/bin/env bash
# Builds the Debian package build/vedomec_VERSION_ARCH.deb and checks it:
# Debian's checker lintian finds nothing in it but what the override file
# explains, its changelog and AppStream data record this release, its
# dependencies resolve on this Debian 12, and its files unpacked into a
# temporary root pass the desktop validators, give `man` its pages and start
# the program, with no display, from its menu entry on a new user's own
# folder.
#
#   bash scripts/package.sh            # build and check in a temporary root
#   bash scripts/package.sh --chroot   # also install it with dpkg into a
#                                      # throw-away Debian 12 made by debootstrap
#                                      # (root, the Debian mirror, a few minutes)
set -euo pipefail
cd "$(dirname "$0")/.."
chroot_check=0
case "${1:-}" in
  "") ;;
  --chroot) chroot_check=1 ;;
  *) echo "usage: bash scripts/package.sh [--chroot]" >&2; exit 2 ;;
esac
fail() { echo "package.sh: $*" >&2; exit 1; }

bash scripts/deps.sh
# The build folder of scripts/run.sh and scripts/test.sh: the package takes
# what `cmake --install` takes, under /usr, stripped of debugging data.
B=build
cmake -S . -B "$B" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$B" -j "$(nproc)" --target vedomec_installed
rm -f "$B"/vedomec_*.deb
(cd "$B" && cpack -G DEB >cpack.log 2>&1) || { cat "$B/cpack.log"; fail "cpack failed"; }
deb=$(ls "$B"/vedomec_*.deb)
echo "built $deb"

# Dependencies: the Qt 6 libraries the programs link, found by dpkg-shlibdeps.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6multimedia6 libqt6network6 libc6; do
  [[ ", $depends," == *", $lib "* || ", $depends," == *", $lib,"* ]] || fail "the package does not depend on $lib"
done
apt-get install --simulate --no-install-recommends "./$deb" >"$B/apt-simulate.log" 2>&1 \
  || { cat "$B/apt-simulate.log"; fail "its dependencies do not resolve on this system"; }

# Debian's own checker: no error and no warning but those the override file
# explains, each under a comment that gives its reason, and no override that
# has stopped matching.
overrides=dist/debian/lintian-overrides
unexplained=$(awk '/^[[:space:]]*$/ { reason = 0; next }
                   /^#/ { reason = 1; next }
                   !reason { print FILENAME ":" FNR ": " $0 }' "$overrides")
[ -z "$unexplained" ] || fail "overrides without a reason above them:
$unexplained"
lintian_status=0
lintian --display-info --show-overrides --fail-on error,warning "$deb" >"$B/lintian.log" 2>&1 || lintian_status=$?
grep -v 'running with root privileges' "$B/lintian.log" | sed 's/^/lintian: /' || true
((lintian_status == 0)) || fail "lintian found errors or warnings (exit $lintian_status)"
if grep -qE '^[EW]: |unused-override|mismatched-override' "$B/lintian.log"; then
  fail "lintian: an error, a warning or an override that matches nothing"
fi
echo "lintian: no errors or warnings$(grep -q '^O: ' "$B/lintian.log" && echo ' (overrides above, each with its reason)')"

id=cz.nivella.vedomec
work=$(mktemp -d)
mounted=""
cleanup() {
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts the menu entry's command with no display as the given user's HOME;
# prints the application folder the program came up on.
menu_command() { sed -n 's/^Exec=//p' "$1/usr/share/applications/$id.desktop"; }

root=$work/root
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop-file-validate"
desktop-file-validate "$root/usr/share/applications/$id.editor.desktop" || fail "desktop-file-validate (editor)"
[ -x "$root/usr/bin/vedomec-editor" ] || fail "the package has no vedomec-editor"
LC_ALL=C.UTF-8 "$root/usr/bin/vedomec-editor" --help | grep -q -- '--data-folder' || fail "vedomec-editor --help"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >/dev/null || fail "appstreamcli validate"
# This release is recorded where a user looks for it: the package's
# changelog and the AppStream release list name the package's version.
version=$(dpkg-deb -f "$deb" Version)
gzip -dc "$root/usr/share/doc/vedomec/changelog.gz" >"$work/changelog"
[ "$(dpkg-parsechangelog -l "$work/changelog" -S Version)" = "$version" ] \
  || fail "the changelog's latest entry is not $version"
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$root/usr/share/metainfo/$id.metainfo.xml" | head -1)
[ "$release" = "$version" ] || fail "the AppStream data's latest release is '$release', not $version"
# man finds every program's page and formats it without a complaint.
for page in vedomec vedomec-editor vedomec-mktest vedomec-table vedomec-results; do
  [ "$(MANPATH="$root/usr/share/man" man -w "$page")" = "$root/usr/share/man/man1/$page.1.gz" ] \
    || fail "man does not find the page of $page"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 MANPATH="$root/usr/share/man" man --warnings -E UTF-8 "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
done
exec_line=$(menu_command "$root")
mkdir -p "$work/home" "$work/runtime"; chmod 700 "$work/runtime"
folder=$(env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
           XDG_CONFIG_DIRS="$work/no-etc-xdg" \
           QT_QPA_PLATFORM=offscreen VEDOMEC_STARTUP_CHECK=1 timeout 120 sh -c "$exec_line") \
  || fail "the unpacked program did not come up"
[ "$folder" = "$work/home/.local/share/vedomec/" ] || fail "the unpacked program ran on '$folder'"
[ -f "$folder/Data/Testy.DBF" ] || fail "no catalogue in the user's folder"
echo "temporary root: the menu entry started the program on $folder"
# The character that comes with the program: the unpacked program shows the
# package's Sova, and says nothing of her.
[ -f "$root/usr/lib/vedomec/characters/Sova.so" ] || fail "the package has no Sova"
env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
    XDG_CONFIG_DIRS="$work/no-etc-xdg" QT_QPA_PLATFORM=offscreen VEDOMEC_STARTUP_CHECK=1 \
    timeout 120 sh -c "$exec_line --character Sova" >/dev/null 2>"$work/sova.err" \
  || { cat "$work/sova.err"; fail "the unpacked program did not come up with Sova"; }
if grep -q '^vedomec:' "$work/sova.err"; then cat "$work/sova.err"; fail "the unpacked program did not show its Sova"; fi
echo "temporary root: the program showed the package's Sova"

if ((chroot_check)); then
  command -v debootstrap >/dev/null || apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  [ "$(id -u)" -eq 0 ] || fail "--chroot needs root"
  # The base system is kept between runs; the chroot itself is thrown away.
  base="$B/bookworm-minbase.tgz"
  if [ ! -f "$base" ]; then
    debootstrap --variant=minbase --make-tarball="$base.new" bookworm "$work/tarball" >"$B/debootstrap.log" 2>&1 \
      || { tail -20 "$B/debootstrap.log"; fail "debootstrap could not fetch Debian 12"; }
    mv "$base.new" "$base"
  fi
  jail=$work/chroot
  debootstrap --variant=minbase --unpack-tarball="$(realpath "$base")" bookworm "$jail" >>"$B/debootstrap.log" 2>&1 \
    || { tail -20 "$B/debootstrap.log"; fail "debootstrap failed"; }
  cp /etc/resolv.conf "$jail/etc/resolv.conf" 2>/dev/null || true
  mount -t proc proc "$jail/proc"; mounted="$jail/proc"
  cp "$deb" "$jail/tmp/vedomec.deb"
  in_jail() { chroot "$jail" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
  in_jail apt-get update -qq
  in_jail dpkg -i /tmp/vedomec.deb >/dev/null 2>&1 || true   # stops at the missing dependencies
  in_jail apt-get install -y -qq -f >"$B/chroot-apt.log" 2>&1 || { tail -20 "$B/chroot-apt.log"; fail "apt could not complete the installation"; }
  in_jail dpkg -s vedomec | grep -q '^Status: install ok installed' || fail "vedomec is not installed in the chroot"
  in_jail useradd -m pupil
  jail_exec=$(menu_command "$jail")
  jail_folder=$(chroot --userspec=pupil:pupil "$jail" env -i PATH=/usr/bin:/bin HOME=/home/pupil \
                  QT_QPA_PLATFORM=offscreen VEDOMEC_STARTUP_CHECK=1 timeout 120 sh -c "$jail_exec" 2>"$work/jail.err") \
    || { cat "$work/jail.err"; fail "the program did not come up in the chroot"; }
  [ "$jail_folder" = "/home/pupil/.local/share/vedomec/" ] || { cat "$work/jail.err"; fail "in the chroot the program ran on '$jail_folder'"; }
  [ -f "$jail/home/pupil/.local/share/vedomec/Data/Testy.DBF" ] || fail "no catalogue in the pupil's folder"
  # The manual page as a user reads it, with man-db installed.
  in_jail apt-get install -y -qq --no-install-recommends man-db >>"$B/chroot-apt.log" 2>&1 \
    || { tail -20 "$B/chroot-apt.log"; fail "apt could not install man-db"; }
  chroot --userspec=pupil:pupil "$jail" env -i PATH=/usr/bin:/bin HOME=/home/pupil LC_ALL=C.UTF-8 MANPAGER=cat \
    man vedomec 2>"$work/jail.err" | grep -q -- '--data-folder' || { cat "$work/jail.err"; fail "man vedomec in the chroot"; }
  # A class's folder named for every user in /etc/xdg.
  in_jail cp -r /usr/share/vedomec/sample /srv/vedomec
  in_jail chmod -R a+rwX /srv/vedomec
  mkdir -p "$jail/etc/xdg/vedomec"
  printf '[General]\nDataFolder=/srv/vedomec\n' >"$jail/etc/xdg/vedomec/vedomec.conf"
  class_folder=$(chroot --userspec=pupil:pupil "$jail" env -i PATH=/usr/bin:/bin HOME=/home/pupil \
                   QT_QPA_PLATFORM=offscreen VEDOMEC_STARTUP_CHECK=1 timeout 120 sh -c "$jail_exec" 2>"$work/jail.err") \
    || { cat "$work/jail.err"; fail "the program did not come up on the class's folder in the chroot"; }
  [ "$class_folder" = "/srv/vedomec/" ] || { cat "$work/jail.err"; fail "with /etc/xdg/vedomec/vedomec.conf the program ran on '$class_folder'"; }
  umount "$jail/proc"; mounted=""
  echo "Debian 12 chroot: dpkg -i and apt installed the package; the menu entry started the program on $jail_folder;"
  echo "  man vedomec works; with /etc/xdg/vedomec/vedomec.conf the program ran on $class_folder"
fi
echo "ok: $deb"
