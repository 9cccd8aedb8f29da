#!/bin/sh
# Fails when a Windows program imports a DLL that Windows does not ship itself (libstdc++,
# libgcc, winpthread, libjpeg ... must be linked in), listing what each program imports.
#
#   sh tests/windows/system_dlls.sh OBJDUMP PROGRAM...
set -eu
objdump=$1
shift
# The system's own DLLs the programs may use.
system="kernel32.dll msvcrt.dll user32.dll gdi32.dll comctl32.dll comdlg32.dll uxtheme.dll
  dwmapi.dll advapi32.dll shell32.dll shcore.dll ole32.dll msimg32.dll"
status=0
for program in "$@"; do
  imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')
  echo "$(basename "$program"): $(echo $imports)"
  for dll in $imports; do
    case " $(echo $system) " in
      *" $dll "*) ;;
      *) echo "  $dll is not part of Windows"; status=1 ;;
    esac
  done
done
exit $status
