#!/usr/bin/env bash
# The installer, packed afresh from this build and run silently in the
# build's Wine prefix: the program and its read-me in Program Files, a
# Start-menu entry, an uninstaller that Windows lists; the uninstaller then
# takes all of it away again.
#   installer_test.sh <build dir> <wine-run wrapper>
set -euo pipefail
BUILD=$1 WINE_RUN=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

# strip writes the time into the copy it makes (the PE header's time stamp)
# unless SOURCE_DATE_EPOCH says which: one time for both packages, so that
# their programs are the same bytes.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(date +%s)}
(cd "$BUILD" && cpack -G "ZIP;NSIS64" -B "$work/out" --config CPackConfig.cmake >/dev/null)
installer=$(ls "$work"/out/kelvaro-answerer-*-win64.exe)
name=$(basename "$installer" -win64.exe)
(cd "$work" && unzip -q out/"$name"-win64.zip)

prefix=$BUILD/wine/prefix/drive_c
dir="$prefix/Program Files/$name"
menu="$prefix/ProgramData/Microsoft/Windows/Start Menu/Programs/KelvaroOstrin答题器"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\kelvaro-answerer'

"$WINE_RUN" "$installer" /S || fail "the installer ended with $?"
# Under Wine the installer may still be at work when the call returns.
for _ in $(seq 1 100); do
  [[ -f $dir/Uninstall.exe && -f $menu/Uninstall.lnk ]] && break
  sleep 0.2
done
sleep 0.5
cmp -s "$dir/kelvaro-answerer.exe" "$work/$name-win64/kelvaro-answerer.exe" || fail "no program, or not the zip's"
cmp -s "$dir/readme.txt" "$work/$name-win64/readme.txt" || fail "no read-me, or not the zip's"
[[ -f $dir/Uninstall.exe ]] || fail "no uninstaller"
[[ -f $menu/KelvaroOstrin答题器.lnk ]] || fail "no Start-menu entry: $(ls "$menu" 2>&1)"
"$WINE_RUN" reg query "$key" /v UninstallString >/dev/null 2>&1 || fail "Windows does not list the uninstaller"

# _?= keeps the uninstaller in place; under Wine it still goes on after the
# call returns, so its work is awaited.
"$WINE_RUN" "$dir/Uninstall.exe" /S "_?=C:\\Program Files\\$name" || fail "the uninstaller ended with $?"
for _ in $(seq 1 100); do
  [[ -e $dir/kelvaro-answerer.exe || -e $dir/readme.txt || -e $menu ]] || break
  sleep 0.2
done
[[ ! -e $dir/kelvaro-answerer.exe && ! -e $dir/readme.txt ]] || fail "the program is still there"
[[ ! -e $menu ]] || fail "the Start-menu entry is still there"
! "$WINE_RUN" reg query "$key" >/dev/null 2>&1 || fail "Windows still lists the program"
rm -rf "$dir"  # the uninstaller itself, which _?= left
echo "ok: $(basename "$installer") ($(stat -c %s "$installer") bytes) installs, lists and uninstalls"
