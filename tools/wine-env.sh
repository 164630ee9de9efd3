# Sourced (sh or bash) by everything that runs the Windows build under Wine:
# the build's wine-run wrapper and tools/test-windows.sh. Set KELVARO_WINE_DIR
# to a folder of the build first; Wine then keeps its prefix, its temporary
# folder and its idea of home in there and writes nowhere else.
#
#   KELVARO_WINE_DISPLAY  the X display Wine may use (none when empty)
#   KELVARO_WINEDEBUG     Wine's debug channels (default: all off)

: "${KELVARO_WINE_DIR:?set KELVARO_WINE_DIR to a folder of the build}"
export WINEPREFIX="$KELVARO_WINE_DIR/prefix"
export WINEARCH=win64
export WINEDEBUG="${KELVARO_WINEDEBUG:--all}"
# No menu entries or file associations on the desktop, and no prompt to
# install Mono or Gecko.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
# The wineserver's socket folder, and the home whose folders a new prefix
# would link to (Documents, Downloads, Desktop).
export TMPDIR="$KELVARO_WINE_DIR/tmp"
export HOME="$KELVARO_WINE_DIR/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
# A Western system locale (code page 1252): the program converts with code
# page 936 itself and must read right on a Windows set to any language.
export LANG=C.UTF-8
unset LC_ALL LANGUAGE
if [ -n "${KELVARO_WINE_DISPLAY:-}" ]; then
  export DISPLAY="$KELVARO_WINE_DISPLAY"
else
  unset DISPLAY
fi
unset WAYLAND_DISPLAY

# Debian's wine64 loader (the `wine` script would look for a 32-bit one first).
KELVARO_WINE=${KELVARO_WINE:-/usr/lib/wine/wine64}
KELVARO_WINESERVER=${KELVARO_WINESERVER:-/usr/lib/wine/wineserver64}

# Makes and configures the prefix once; safe to call from parallel runs. A
# change to the configuration below bumps the number, so that existing
# prefixes are configured again.
KELVARO_WINE_READY="$WINEPREFIX/.kelvaro-ready-3"
kelvaro_wine_prefix() {
  [ -f "$KELVARO_WINE_READY" ] && return 0
  mkdir -p "$KELVARO_WINE_DIR" "$TMPDIR" "$HOME" || return 1
  (
    flock 9 || exit 1
    [ -f "$KELVARO_WINE_READY" ] && exit 0
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      echo "Making the Wine prefix $WINEPREFIX" >&2
      "$KELVARO_WINE" wineboot --init >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    else
      echo "Configuring the Wine prefix $WINEPREFIX again" >&2
    fi
    reg="$KELVARO_WINE_DIR/prefix.reg"
    {
      printf 'Windows Registry Editor Version 5.00\r\n\r\n'
      # Every Chinese text would be boxes with Wine's own fonts: the fonts the
      # program and the dialogs name resolve to Noto Sans CJK SC instead.
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      for face in Tahoma SimSun 宋体 NSimSun 新宋体 SimHei 黑体 "Microsoft YaHei" 微软雅黑 \
                  "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "Segoe UI"; do
        printf '"%s"="Noto Sans CJK SC"\r\n' "$face"
      done
      # Web addresses: winebrowser hands them to the desktop's xdg-open.
      printf '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\WineBrowser]\r\n'
      printf '"Browsers"="xdg-open"\r\n"Mailers"="xdg-email"\r\n'
      # A downloaded release archive (.rar) opens as on a Windows with an
      # unpacker: here winebrowser passes the file to xdg-open, which hands
      # it to the desktop's own program for it. Machine-wide: Wine reads no
      # per-user classes.
      printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\.rar]\r\n@="KelvaroArchive.rar"\r\n'
      printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\KelvaroArchive.rar\\shell\\open\\command]\r\n'
      printf '@="C:\\\\windows\\\\system32\\\\winebrowser.exe \\"%%1\\""\r\n'
    } | iconv -f UTF-8 -t UTF-16 >"$reg" || exit 1
    "$KELVARO_WINE" regedit /S "$reg" >/dev/null 2>&1 || { echo "regedit failed" >&2; exit 1; }
    # Marlett draws the caption buttons.
    fonts="$WINEPREFIX/drive_c/windows/Fonts"
    [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" || exit 1
    "$KELVARO_WINESERVER" -w
    touch "$KELVARO_WINE_READY"
  ) 9>"$KELVARO_WINE_DIR/prefix.lock"
}
