#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a Linux desktop
# gets: the programs, the pristine sample, the menu entry, the icons and the
# AppStream data (both validators must accept them), and the installed
# program started with no display on a new user's account, where it makes
# the user's own folder from the sample, silently, and keeps it from then on.
#
#   check_install.sh BUILD_DIR PRISTINE_SAMPLE_DIR
set -euo pipefail
build=$1
pristine=$2
id=cz.nivella.vedomec

work=$(mktemp -d)
cleanup() { chmod -R u+w "$work" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }

for f in bin/vedomec bin/vedomec-editor bin/vedomec-mktest bin/vedomec-table bin/vedomec-results; do
  [ -x "$prefix/$f" ] || fail "$f is not installed"
done
for f in share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg \
         share/icons/hicolor/48x48/apps/$id.png share/icons/hicolor/256x256/apps/$id.png \
         share/doc/vedomec/navod.md share/doc/vedomec/README.md \
         share/doc/vedomec/copyright share/doc/vedomec/changelog.gz share/lintian/overrides/vedomec \
         share/man/man1/vedomec.1.gz share/man/man1/vedomec-mktest.1.gz share/man/man1/vedomec-table.1.gz \
         share/applications/$id.editor.desktop share/icons/hicolor/scalable/apps/$id.editor.svg \
         share/icons/hicolor/48x48/apps/$id.editor.png share/man/man1/vedomec-editor.1.gz \
         share/man/man1/vedomec-results.1.gz; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
# The licence, as Debian reads it: every file ours, under the GPL 3 or later.
grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$prefix/share/doc/vedomec/copyright" \
  || fail "the copyright file is not in the machine-readable format"
grep -qx 'License: GPL-3.0-or-later' "$prefix/share/doc/vedomec/copyright" || fail "the copyright file names no licence"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$prefix/share/metainfo/$id.metainfo.xml" \
  || fail "the AppStream data name no licence"
# Each page is a compressed manual page that names its program's options.
for page in vedomec vedomec-editor vedomec-mktest vedomec-table vedomec-results; do
  text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/$page.1.gz" 2>&1) || fail "man -l $page.1.gz"
  for word in NAME SYNOPSIS OPTIONS FILES EXAMPLE --help --version; do
    grep -q -- "$word" <<<"$text" || fail "the manual page of $page has no $word"
  done
done
for option in --data-folder --character --sound Character= Sound= characters; do
  LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/vedomec.1.gz" | grep -q -- "$option" \
    || fail "the manual page of vedomec does not name $option"
done
for cmd in dump tags walk seek check insert reindex catalogue add-test; do
  LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$prefix/share/man/man1/vedomec-table.1.gz" | grep -q "^ *$cmd " \
    || fail "the manual page of vedomec-table does not name the command $cmd"
done
# The PNG header holds the width and height as 32-bit big-endian numbers.
for size in 48 256; do
  dims=$(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png" | tr -s ' ')
  want=$(printf ' 0 0 %d %d 0 0 %d %d' $((size / 256)) $((size % 256)) $((size / 256)) $((size % 256)))
  [ "$dims" = "$want" ] || fail "the ${size} px icon measures$dims"
done
diff -r "$pristine/Data" "$prefix/share/vedomec/sample/Data" >/dev/null || fail "installed Data differs from the sample"
diff -r "$pristine/Testy" "$prefix/share/vedomec/sample/Testy" >/dev/null || fail "installed Testy differs from the sample"
diff -r "$pristine/Zvuky" "$prefix/share/vedomec/sample/Zvuky" >/dev/null || fail "installed Zvuky differs from the sample"
[ -d "$prefix/share/vedomec/sample/Testy/Import" ] || fail "no Testy/Import in the sample"
if find "$prefix/bin" -mindepth 1 -iname data | grep -q .; then fail "data next to the installed program"; fi

# The installed programs answer --version with no display and no home.
for prog in vedomec vedomec-editor vedomec-mktest vedomec-table vedomec-results; do
  out=$(env -i PATH=/usr/bin:/bin "$prefix/bin/$prog" --version) || fail "$prog --version failed"
  [[ "$out" =~ ^$prog\ [0-9]+\.[0-9]+ ]] || fail "$prog --version printed '$out'"
done

command -v desktop-file-validate >/dev/null || fail "desktop-file-validate is missing (package desktop-file-utils; scripts/deps.sh installs it)"
command -v appstreamcli >/dev/null || fail "appstreamcli is missing (package appstream; scripts/deps.sh installs it)"
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
desktop-file-validate "$prefix/share/applications/$id.editor.desktop" || fail "desktop-file-validate (editor)"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$id.desktop")
[ -x "$prefix/bin/$exec_line" ] || fail "the menu entry starts '$exec_line', which is not installed"

# The prefix as a package leaves it: nobody's to write.
chmod -R a-w "$prefix"

start() { # HOME, then extra environment, then -- and options; prints the application folder
  local home=$1; shift
  local vars=()
  while (($#)) && [ "$1" != "--" ]; do vars+=("$1"); shift; done
  (($#)) && shift
  mkdir -p "$home" "$work/runtime"; chmod 700 "$work/runtime"
  # The machine's own /etc/xdg is not this test's: a class's folder named
  # there must not take the place of the folders tried here.
  env -i PATH="$PATH" HOME="$home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_DIRS="$work/no-etc-xdg" \
      QT_QPA_PLATFORM=offscreen VEDOMEC_STARTUP_CHECK=1 "${vars[@]}" \
      timeout 120 "$prefix/bin/$exec_line" "$@" 2>"$work/stderr"
}
check_quiet() {
  if grep -q '^vedomec:' "$work/stderr"; then cat "$work/stderr" >&2; fail "$1: the program reported an error"; fi
}

home=$work/home
folder=$(start "$home") || fail "the installed program did not come up (exit $?)"
[ -n "$folder" ] || fail "the installed program ended without showing its window (another copy running?)"
check_quiet "first start"
[ "$folder" = "$home/.local/share/vedomec/" ] || fail "first start ran on '$folder'"
diff -r "$pristine/Data" "$folder/Data" >/dev/null || fail "the user's Data is not the sample's"
diff -r "$pristine/Testy" "$folder/Testy" >/dev/null || fail "the user's Testy is not the sample's"
[ -f "$folder/Zvuky/Info.wav" ] || fail "the user's folder has no sounds"
ls -A "$home/.local/share" | grep -qv '^vedomec$' && fail "something beside the user's folder: $(ls -A "$home/.local/share")"

# The user's folder is his from now on: a second start keeps what he did.
rm "$folder/Testy/Import/MestaEvropy.dbf"
folder2=$(start "$home") || fail "second start (exit $?)"
check_quiet "second start"
[ "$folder2" = "$folder" ] || fail "second start ran on '$folder2'"
[ ! -e "$folder/Testy/Import/MestaEvropy.dbf" ] || fail "the second start made the user's folder again"
diff -r "$pristine/Testy" "$prefix/share/vedomec/sample/Testy" >/dev/null || fail "the installed sample changed"

# XDG_DATA_HOME chooses where the user's data live.
folder3=$(start "$work/home2" XDG_DATA_HOME="$work/xdg") || fail "start with XDG_DATA_HOME (exit $?)"
[ "$folder3" = "$work/xdg/vedomec/" ] || fail "with XDG_DATA_HOME the program ran on '$folder3'"

# A class's folder, named once for every user of the machine in the
# system-wide configuration: the program runs on it and makes nothing of
# the user's own.
class=$work/srv/vedomec
mkdir -p "$work/srv" && cp -r "$prefix/share/vedomec/sample" "$class" && chmod -R u+w "$class"
etc=$work/etc-xdg
mkdir -p "$etc/vedomec"
printf '[General]\nDataFolder=%s\n' "$class" >"$etc/vedomec/vedomec.conf"
pupil=$work/pupil
folder=$(start "$pupil" XDG_CONFIG_DIRS="$etc") || fail "start with the system-wide setting (exit $?)"
check_quiet "start with the system-wide setting"
[ "$folder" = "$class/" ] || fail "with the system-wide setting the program ran on '$folder'"
[ ! -e "$pupil/.local/share/vedomec" ] || fail "the pupil got a folder of his own beside the class's"

# The user's own configuration overrides it, and the option overrides both.
own=$work/own
cp -r "$prefix/share/vedomec/sample" "$own" && chmod -R u+w "$own"
mkdir -p "$pupil/.config/vedomec"
printf 'DataFolder=%s\n' "$own" >"$pupil/.config/vedomec/vedomec.conf"
folder=$(start "$pupil" XDG_CONFIG_DIRS="$etc") || fail "start with the user's setting (exit $?)"
[ "$folder" = "$own/" ] || fail "with the user's setting the program ran on '$folder'"
folder=$(start "$pupil" XDG_CONFIG_DIRS="$etc" -- --data-folder "$class") || fail "start with the option (exit $?)"
check_quiet "start with the option"
[ "$folder" = "$class/" ] || fail "with --data-folder the program ran on '$folder'"
rm -r "$pupil/.config"

# An empty folder the user may write to is filled from the sample, and he
# is told so.
empty=$work/empty
mkdir "$empty"
folder=$(start "$pupil" -- --data-folder="$empty") || fail "start on an empty folder (exit $?)"
[ "$folder" = "$empty/" ] || fail "named an empty folder, the program ran on '$folder'"
grep -q "^vedomec: Složka s daty „$empty“ byla prázdná" "$work/stderr" || { cat "$work/stderr" >&2; fail "no word of the filled folder"; }
diff -r "$pristine/Data" "$empty/Data" >/dev/null || fail "the empty folder was not filled with the sample"

# A folder that is not there: a message, exit status 1, and no other folder.
status=0
folder=$(start "$pupil" XDG_CONFIG_DIRS="$etc" -- --data-folder "$work/none") || status=$?
[ "$status" = 1 ] || fail "named a missing folder, the program ended with $status"
[ -z "$folder" ] || fail "named a missing folder, the program ran on '$folder'"
grep -q "^vedomec: Složka s daty „$work/none“ neexistuje" "$work/stderr" || { cat "$work/stderr" >&2; fail "no word of the missing folder"; }
[ ! -e "$work/none" ] && [ ! -e "$pupil/.local/share/vedomec" ] || fail "named a missing folder, the program made one"
printf 'DataFolder=%s\n' "$work/none" >"$etc/vedomec/vedomec.conf"
status=0
folder=$(start "$pupil" XDG_CONFIG_DIRS="$etc") || status=$?
[ "$status" = 1 ] && [ -z "$folder" ] || fail "the system-wide setting named a missing folder: exit $status, ran on '$folder'"
grep -q "$etc/vedomec/vedomec.conf" "$work/stderr" || { cat "$work/stderr" >&2; fail "the message does not name the setting's file"; }

# A system-wide configuration that cannot be read (a folder in its place,
# which even root cannot read as a file) is told before anything is copied:
# the new pupil gets no folder of his own from the sample first.
rm "$etc/vedomec/vedomec.conf" && mkdir "$etc/vedomec/vedomec.conf"
status=0
folder=$(start "$work/pupil3" XDG_CONFIG_DIRS="$etc") || status=$?
[ "$status" = 1 ] && [ -z "$folder" ] || fail "an unreadable configuration: exit $status, ran on '$folder'"
grep -q "^vedomec: Soubor s nastavením $etc/vedomec/vedomec.conf nelze přečíst" "$work/stderr" \
  || { cat "$work/stderr" >&2; fail "no word of the unreadable configuration"; }
[ ! -e "$work/pupil3/.local/share/vedomec" ] || fail "an unreadable configuration: the sample was copied first"
rmdir "$etc/vedomec/vedomec.conf"

# The character that comes with the program, in the folder of installed
# characters below lib/ (compiled code has no place in share/).  The
# installed program finds her by her name in any letter case, from the
# option and from the system-wide setting, and says so of one that is not
# installed; a character shown or not, the program starts.
sova=$(find "$prefix" -name Sova.so)
[ "$(wc -l <<<"$sova")" = 1 ] && [[ "$sova" == "$prefix"/lib*/vedomec/characters/Sova.so ]] \
  || fail "Sova is installed as '$sova'"
printf '[General]\nDataFolder=%s\n' "$class" >"$etc/vedomec/vedomec.conf"
folder=$(start "$pupil" XDG_CONFIG_DIRS="$etc" -- --character sova) || fail "start with --character sova (exit $?)"
check_quiet "start with --character sova"
[ "$folder" = "$class/" ] || fail "with --character the program ran on '$folder'"
printf '[General]\nDataFolder=%s\nCharacter=Sova\n' "$class" >"$etc/vedomec/vedomec.conf"
start "$pupil" XDG_CONFIG_DIRS="$etc" >/dev/null || fail "start with the system-wide character (exit $?)"
check_quiet "start with the system-wide character"
start "$pupil" XDG_CONFIG_DIRS="$etc" -- --character Puštík >/dev/null || fail "start with a character not installed (exit $?)"
grep -q "^vedomec: Pomocník „Puštík“ není nainstalován" "$work/stderr" || { cat "$work/stderr" >&2; fail "no word of the character not installed"; }
[ "$(grep -c '^vedomec:' "$work/stderr")" = 1 ] || { cat "$work/stderr" >&2; fail "the character not installed was told more than once"; }
[ ! -e "$pupil/.config" ] || fail "a start wrote the pupil's configuration"

# The installed tools read the installed (read-only) tables.
"$prefix/bin/vedomec-mktest" --text "$prefix/share/vedomec/sample/Testy/ZemepisCR.dbf" >"$work/z.txt" || fail "vedomec-mktest --text"
"$prefix/bin/vedomec-mktest" --check "$work/z.txt" >/dev/null || fail "vedomec-mktest --check of its own text"
"$prefix/bin/vedomec-table" check "$prefix/share/vedomec/sample/Data/Testy.DBF" >/dev/null || fail "vedomec-table check"

echo "installed into a temporary prefix; validators passed; Sova found at ${sova#"$prefix"/}"
