# Sourced: a private Wine prefix for one build folder (never ~/.wine).
# Usage: . scripts/wine-env.sh <build dir>
cb_build_dir=$(cd "$1" && pwd)
export WINEPREFIX="$cb_build_dir/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
if [ ! -f "$WINEPREFIX/.clearbay-ready-5" ]; then
  (
    set -e
    flock 9
    if [ ! -f "$WINEPREFIX/.clearbay-ready-5" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      key='HKCU\Software\Wine\Fonts\Replacements'
      # The program's fonts are absent on Linux; without a substitute Chinese text shows as boxes.
      wine reg add "$key" /v "微软雅黑" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
      wine reg add "$key" /v "Microsoft YaHei" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
      wine reg add "$key" /v "Segoe Print" /t REG_SZ /d "DejaVu Serif" /f >/dev/null 2>&1
      # Wine draws the system's caption buttons with Marlett; unregistered, its
      # letters show instead of the glyphs.
      if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\Fonts' /v "Marlett (TrueType)" /t REG_SZ /d marlett.ttf /f >/dev/null 2>&1
      fi
      # Chinese Windows links its Latin UI fonts to a CJK font for the glyphs they lack.
      link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
      for face in Tahoma "DejaVu Serif" "MS Shell Dlg" "Microsoft Sans Serif"; do
        wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
      done
      # Xvfb has no window manager: Wine then draws window frames itself, as Windows does.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
      # ...and need not wait for one to confirm that a window was hidden.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.clearbay-ready-5"
    fi
  ) 9>"$cb_build_dir/.wineprefix.lock"
fi
