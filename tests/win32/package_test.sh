#!/usr/bin/env bash
# The players' zip, packed afresh from this build: exactly the program and its
# read-me in one folder; the read-me GBK with CR LF line ends; the program
# stripped, a GUI program, importing only DLLs that every Windows has.
#   package_test.sh <build dir> <objdump>
set -euo pipefail
BUILD=$1 OBJDUMP=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

(cd "$BUILD" && cpack -G ZIP -B "$work/out" --config CPackConfig.cmake >/dev/null)
zip=$(ls "$work"/out/kelvaro-answerer-*-win64.zip)
folder=$(basename "$zip" .zip)
mkdir "$work/x" && (cd "$work/x" && unzip -q "$zip")
listing=$(cd "$work/x" && find . -type f | sort)
[[ $listing == "./$folder/kelvaro-answerer.exe"$'\n'"./$folder/readme.txt" ]] || fail "the zip holds: $listing"

readme=$work/x/$folder/readme.txt
iconv -f GBK -t UTF-8 "$readme" >"$work/readme-utf8" || fail "the read-me is not GBK"
grep -q 'Ctrl+Alt+Q' "$work/readme-utf8" || fail "the read-me does not name the hot key"
grep -q '答题器' "$work/readme-utf8" || fail "the read-me has no Chinese text"
lines=$(wc -l <"$readme")
crlf=$(grep -c $'\r$' "$readme" || true)
[[ $lines -gt 5 && $lines -eq $crlf ]] || fail "$crlf of $lines lines end in CR LF"

exe=$work/x/$folder/kelvaro-answerer.exe
headers=$("$OBJDUMP" -p "$exe")
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI program"
"$OBJDUMP" -h "$exe" | grep -q '\.debug' && fail "debug sections left in"
system='^(advapi32|bcrypt|comctl32|comdlg32|crypt32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|shlwapi|user32|uxtheme|version|wininet|ws2_32|windowscodecs)\.dll$'
dlls=$(sed -n 's/.*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort)
others=$(grep -Ev "$system" <<<"$dlls" || true)
[[ -z $others ]] || fail "imports DLLs that Windows does not have: $others"
echo "ok: $(basename "$zip"): program of $(stat -c %s "$exe") bytes importing $(tr '\n' ' ' <<<"$dlls")"
