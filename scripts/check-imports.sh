#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that a plain Windows 10 does not
# have (a MinGW runtime or library DLL would make the shipped file fail to start),
# or one of the DLLs that the program loads on first use: the internet, URL
# download, shell and version libraries cost a visible part of start-up when
# the loader maps them (with everything they pull in) before the first line
# runs, and nothing before the main window needs them.
# Usage: check-imports.sh <objdump> <program.exe>
set -euo pipefail
objdump=$1; exe=$2
system='^(kernel32|user32|gdi32|comctl32|shell32|ole32|oleaut32|urlmon|wininet|version|msvcrt|advapi32|comdlg32|shlwapi|uxtheme|dwmapi|msimg32|winmm|ws2_32|imm32|api-ms-win-.*)\.dll$'
late='^(wininet|urlmon|shell32|version)\.dll$'
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
bad=$(grep -Ev "$system" <<<"$dlls" || true)
if [ -n "$bad" ]; then
  echo "check-imports: $exe needs DLLs that Windows does not ship: $bad" >&2
  exit 1
fi
early=$(grep -E "$late" <<<"$dlls" || true)
if [ -n "$early" ]; then
  echo "check-imports: $exe imports DLLs that it must load on first use (SystemProc): $early" >&2
  exit 1
fi
