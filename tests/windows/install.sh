#!/bin/sh
# The Windows installer as a user meets it, under Wine in a fresh prefix of its own (not the
# build's test prefix), on the display $DISPLAY:
#   1. an older build of the same installer (version 0.9.0, one file more) installed silently with
#      the command line on the PATH, over a user PATH that already has entries;
#   2. this build installed over it silently: the old version's extra file is gone, "Apps &
#      features" has one entry, of this version and the programs' publisher, the PATH holds the
#      folder once and its other entries as they were; the portable zip holds the same files;
#      /PATH=no and /PATH=yes over it take the folder off the PATH and put it back;
#   3. the window started from the Start-menu entry shows itself (a screenshot goes to
#      BUILD-WIN/installed-window.png), and quandrel-qr.exe from the installed folder writes a
#      PNG that zbar decodes (when the build makes it);
#   4. the silent uninstall, as "Apps & features" runs it, removes everything the installers put
#      there and leaves a file of the user's in the folder; once that file is gone, the prefix's
#      files and registry are the ones it had before the first install;
#   5. a PATH too long to be edited safely is left as it is, by the installer and the uninstaller;
#   6. a table of PATH edits, one install and uninstall each.
#
#   sh tests/windows/install.sh BUILD-WIN
set -eu
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
setup="$build/quandrel-qr-code-$version-windows-x64-setup.exe"
windres=x86_64-w64-mingw32-windres
work=$(mktemp -d "$build/install-test.XXXXXX")
export WINEPREFIX="$work/wine" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
cleanup() {
  $wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# printf, not echo: dash's echo reads the backslashes of Windows paths as escapes.
fail() { printf 'install: %s\n' "$*" >&2; exit 1; }
say() { printf 'install: %s\n' "$*"; }
w() { $wine "$@"; }
# settle: waits for every program of the prefix to end (an uninstaller runs on from a copy).
settle() { $wineserver -w; }
# registry_value KEY NAME: the value as reg prints it, without its name and type.
registry_value() {
  w reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuandrelQRCode'
# resource FILE NAME: a string of the program's version resource.
resource() {
  $windres -i "$1" -O rc | sed -n "s/^ *VALUE \"$2\", \"\(.*\)\"$/\1/p"
}
# run_quiet_uninstall: the registered QuietUninstallString, "PROGRAM" ARGUMENTS, as Apps &
# features starts it.
run_quiet_uninstall() {
  quiet=$(registry_value "$uninstall_key" QuietUninstallString)
  program=${quiet#\"}
  program=${program%%\"*}
  w "$program" ${quiet##*\" }
}
# snapshot NAME: the prefix's files (the uninstaller's temporary copies aside, see below) and its
# registry, in $work/NAME.*
snapshot() {
  settle
  (cd "$WINEPREFIX" && find . ! -path './drive_c/users/*/Temp/~nsu*.tmp' | LC_ALL=C sort) >"$work/$1.files"
  for hive in user system userdef; do
    python3 "$root/tests/windows/registry.py" "$WINEPREFIX/$hive.reg" >"$work/$1.$hive"
  done
}
start=$(date +%s)

# The fresh prefix, with Wine's fonts where Wine finds them, and a user PATH of two entries and a
# last separator, which the folder's entry follows without another (an empty entry would end
# cmd's search for quandrel-qr before the folder).
mkdir -p "$HOME"
w wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; fail "wineboot failed"; }
settle
cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
user_path='C:\Tools;%USERPROFILE%\bin;'
w reg add 'HKCU\Environment' /v Path /t REG_EXPAND_SZ /d "$user_path" /f >/dev/null
user=$(w cmd /c 'echo %USERNAME%' | tr -d '\r')
snapshot before
folder="$WINEPREFIX/drive_c/users/$user/AppData/Local/Programs/Quandrel QR Code"
folder_w="C:\\users\\$user\\AppData\\Local\\Programs\\Quandrel QR Code"
shortcut="$WINEPREFIX/drive_c/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Quandrel QR Code.lnk"

# 1. The older build: this installer's script at version 0.9.0 with one file more, installed and
# uninstalled by its own lines.
sed -e 's|^\(  File "/oname=copyright.txt" "${LICENCE}"\)$|\1\n  File "/oname=legacy.txt" "${README}"|' \
    -e 's|^\(  Delete "$INSTDIR\\copyright.txt"\)$|\1\n  Delete "$INSTDIR\\legacy.txt"|' \
    "$root/packaging/windows/quandrel-qr-code.nsi" >"$work/old.nsi"
[ "$(grep -c legacy.txt "$work/old.nsi")" = 2 ] || fail "the older script was not made"
released="$build/packaging/windows"
makensis -V1 -NOCD -DVERSION=0.9.0 "-DPUBLISHER=$(resource "$released/quandrel-qr-code.exe" CompanyName)" \
  -DWINDOW_EXE="$released/quandrel-qr-code.exe" -DCLI_EXE="$released/quandrel-qr.exe" \
  -DREADME="$build/packaging/windows/README.txt" -DLICENCE="$build/packaging/windows/copyright.txt" \
  -DICON="$build/win32/quandrel-qr-code.ico" -DOUTFILE="$work/old-setup.exe" "$work/old.nsi"
w "$work/old-setup.exe" /S /PATH=yes || fail "the older installer failed"
settle
[ -f "$folder/legacy.txt" ] || fail "the older version did not install its extra file"
[ "$(registry_value "$uninstall_key" DisplayVersion)" = 0.9.0 ] || fail "the older version is not registered"
[ "$(registry_value 'HKCU\Environment' Path)" = "$user_path$folder_w" ] ||
  fail "PATH after the older install: $(registry_value 'HKCU\Environment' Path)"
say "version 0.9.0 installed, with legacy.txt, its folder appended to the user's PATH"

# 2. This build over it, without /PATH: the choice made before holds.
w "$setup" /S || fail "the installer failed"
settle
expected="README.txt copyright.txt quandrel-qr-code.exe quandrel-qr.exe uninstall.exe"
[ "$(cd "$folder" && echo $(LC_ALL=C ls))" = "$expected" ] || fail "installed: $(ls "$folder")"
[ -f "$shortcut" ] || fail "no Start-menu entry"
entries=$(python3 "$root/tests/windows/registry.py" "$WINEPREFIX/user.reg" |
  grep -c '^Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\[^	]*	"DisplayName"="Quandrel QR Code"$' || true)
[ "$entries" = 1 ] || fail "$entries entries in Apps & features"
publisher=$(resource "$folder/quandrel-qr-code.exe" CompanyName)
for check in "DisplayName=Quandrel QR Code" "DisplayVersion=$version" "Publisher=$publisher" \
    "InstallLocation=$folder_w" "DisplayIcon=$folder_w\\quandrel-qr-code.exe,0" \
    "UninstallString=\"$folder_w\\uninstall.exe\"" "QuietUninstallString=\"$folder_w\\uninstall.exe\" /S" \
    "NoModify=0x1" "NoRepair=0x1"; do
  [ "$(registry_value "$uninstall_key" "${check%%=*}")" = "${check#*=}" ] ||
    fail "${check%%=*} is \"$(registry_value "$uninstall_key" "${check%%=*}")\", not \"${check#*=}\""
done
[ "$(resource "$folder/quandrel-qr-code.exe" ProductVersion)" = "$version" ] || fail "the installed window is not $version"
[ "$(resource "$setup" ProductVersion)" = "$version" ] || fail "the installer's own version is not $version"
size=$(($(registry_value "$uninstall_key" EstimatedSize)))
du_size=$(du -sk "$folder" | cut -f1)
[ "$size" -gt 0 ] && [ "$size" -le "$du_size" ] && [ $((size * 10)) -ge $((du_size * 9)) ] ||
  fail "EstimatedSize $size KiB for a folder of $du_size KiB"
[ "$(registry_value 'HKCU\Environment' Path)" = "$user_path$folder_w" ] ||
  fail "PATH after the upgrade: $(registry_value 'HKCU\Environment' Path)"
w cmd /c 'echo %PATH%' | tr -d '\r' | tr ';' '\n' | grep -qxF "$folder_w" || fail "a new program's PATH lacks the folder"
# The portable zip holds the same files, in one folder named like it, its texts in CR LF.
zip="$build/quandrel-qr-code-$version-windows-x64.zip"
unzip -q "$zip" -d "$work/zip"
unpacked="$work/zip/$(basename "$zip" .zip)"
[ "$(cd "$work/zip" && echo *)" = "$(basename "$zip" .zip)" ] || fail "the zip is not one folder: $(ls "$work/zip")"
[ "$(cd "$unpacked" && echo $(LC_ALL=C ls) uninstall.exe)" = "$expected" ] || fail "the zip holds $(ls "$unpacked")"
for file in "$unpacked"/*; do
  cmp "$file" "$folder/$(basename "$file")" || fail "the zip's $(basename "$file") is not the installed one"
done
for text in README.txt copyright.txt; do
  awk '!/\r$/ { bad = 1 } END { exit bad }' "$unpacked/$text" || fail "$text has a line without CR LF"
done
say "$version installed over 0.9.0: legacy.txt removed, one Apps & features entry (publisher $publisher, $size KiB), the folder once on the PATH"

# The PATH choice over the installed version: /PATH=no takes the entry out, leaving the user's
# PATH byte for byte as it was; /PATH=yes puts it back, once; any other answer is refused before
# anything changes.
for choice in no:"$user_path" yes:"$user_path$folder_w" maybe:"$user_path$folder_w"; do
  if w "$setup" /S "/PATH=${choice%%:*}"; then
    [ "${choice%%:*}" != maybe ] || fail "/PATH=maybe was taken"
  else
    [ "${choice%%:*}" = maybe ] || fail "the installer failed with /PATH=${choice%%:*}"
  fi
  settle
  [ "$(registry_value 'HKCU\Environment' Path)" = "${choice#*:}" ] ||
    fail "PATH after /PATH=${choice%%:*}: $(registry_value 'HKCU\Environment' Path)"
done
[ "$(cd "$folder" && echo $(LC_ALL=C ls))" = "$expected" ] || fail "installed after the PATH choices: $(ls "$folder")"
say "/PATH=no gives the user's PATH back as it was, /PATH=yes appends the folder once, /PATH=maybe is refused"

# 3. The window from the Start-menu entry, on a Wine desktop of its own; Space on "Sair", where the
# focus starts, ends it.
(w explorer /desktop=installed,1000x700 start /wait "$(w winepath -w "$shortcut" | tr -d '\r')" >/dev/null 2>&1; echo $? >"$work/window.status") &
window_pid=$!
timeout 60 xdotool search --sync --name 'Quandrel QR Code - por' >/dev/null || fail "the installed window did not show"
sleep 1
import -window root -crop 1000x700+0+0 +repage "$build/installed-window.png"
xdotool key space
wait "$window_pid" || true
[ "$(cat "$work/window.status")" = 0 ] || fail "the installed window ended with status $(cat "$work/window.status")"
say "the Start-menu entry opens the window (build-win/installed-window.png); Sair ends it"
text='Olá, instalado'
w "$folder_w\\quandrel-qr.exe" -o 'C:\users\Public\installed.png' "$text" || fail "quandrel-qr.exe failed"
[ "$(zbarimg -q --raw -Sbinary "$WINEPREFIX/drive_c/users/Public/installed.png")" = "$text" ] ||
  fail "zbar does not read the installed quandrel-qr.exe's PNG"
rm "$WINEPREFIX/drive_c/users/Public/installed.png"
[ "$(w cmd /c 'quandrel-qr --version' | tr -d '\r')" = "quandrel-qr $version" ] || fail "quandrel-qr is not found on the PATH"
say "the installed quandrel-qr.exe writes a PNG that zbar reads, and is found on the PATH"

# 4. The user's own file in the folder, then the uninstall as Apps & features runs it. NSIS's
# uninstaller runs from a copy in the user's Temp folder, which it leaves to the next restart:
# wineboot -r is that restart.
echo 'minhas notas' >"$folder/notas.txt"
run_quiet_uninstall || fail "the uninstaller failed"
settle
w wineboot -r >/dev/null 2>&1
settle
[ "$(ls "$folder")" = notas.txt ] || fail "left in the folder: $(ls "$folder")"
rm "$folder/notas.txt"
rmdir "$folder" "$(dirname "$folder")"
for copy in "$WINEPREFIX/drive_c/users/$user/Temp"/~nsu*.tmp; do
  [ ! -e "$copy" ] || [ -z "$(ls -A "$copy")" ] || fail "the uninstaller's copy is left: $(ls "$copy")"
done
snapshot after
for list in files user system userdef; do
  diff "$work/before.$list" "$work/after.$list" >&2 || fail "after the uninstall the prefix's $list differ from before (above)"
done
say "the uninstall keeps the user's file and leaves the prefix's files and registry as they were before"

# 5. A PATH longer than the installer can hold is not touched.
long_path="C:\\$(printf '%01100d' 0)"
w reg add 'HKCU\Environment' /v Path /t REG_SZ /d "$long_path" /f >/dev/null
w "$setup" /S /PATH=yes || fail "the installer failed over a long PATH"
settle
[ "$(registry_value 'HKCU\Environment' Path)" = "$long_path" ] || fail "the installer changed a long PATH"
w reg add "$uninstall_key" /v PathEntry /d "$folder_w" /f >/dev/null
run_quiet_uninstall || fail "the uninstaller failed over a long PATH"
settle
[ "$(registry_value 'HKCU\Environment' Path)" = "$long_path" ] || fail "the uninstaller changed a long PATH"
# With nothing of the user's in it, the folder goes, and so does the Programs folder it made.
[ ! -e "$(dirname "$folder")" ] || fail "left after the uninstall: $(find "$(dirname "$folder")")"
say "a PATH of $(printf '%s' "$long_path" | wc -c) characters is left as it was by both"

# 6. PATH edits, one install and uninstall each: TYPE (or none), the PATH before, after the install
# with /PATH=yes (= for as before), as the user edits it then (- for not), after the uninstall (=
# for as before, none for no value). A PATH that has the folder already, in capitals and with a
# last backslash, is not touched, and that entry is not taken out either.
upper_w=$(printf '%s' "$folder_w" | tr a-z A-Z)
while IFS='|' read -r type before installed edited uninstalled; do
  if [ "$type" = none ]; then
    w reg delete 'HKCU\Environment' /v Path /f >/dev/null 2>&1 || true
    type=REG_EXPAND_SZ
  else
    w reg add 'HKCU\Environment' /v Path /t "$type" /d "$before" /f >/dev/null
  fi
  w "$setup" /S /PATH=yes || fail "the installer failed over PATH \"$before\""
  [ "$installed" != = ] || installed=$before
  found=$(w reg query 'HKCU\Environment' /v Path 2>/dev/null | tr -d '\r' | sed -n 's/^ *Path *\(REG_[A-Z_]*\) *\(.*\)$/\1 \2/p')
  [ "$found" = "$type $installed" ] || fail "PATH \"$before\" after the install: $found"
  [ "$edited" = - ] || w reg add 'HKCU\Environment' /v Path /t "$type" /d "$edited" /f >/dev/null
  run_quiet_uninstall || fail "the uninstaller failed over PATH \"$before\""
  settle
  [ "$uninstalled" != = ] || uninstalled=$before
  if [ "$uninstalled" = none ]; then
    ! w reg query 'HKCU\Environment' /v Path >/dev/null 2>&1 || fail "a PATH is left: $(registry_value 'HKCU\Environment' Path)"
  else
    [ "$(registry_value 'HKCU\Environment' Path)" = "$uninstalled" ] ||
      fail "PATH \"$before\" after the uninstall: $(registry_value 'HKCU\Environment' Path)"
  fi
done <<CASES
REG_SZ|C:\Tools|C:\Tools;$folder_w|-|=
REG_SZ|C:\Tools;|C:\Tools;$folder_w|-|=
REG_EXPAND_SZ|%USERPROFILE%\bin;$upper_w\;C:\Tools|=|-|=
none||$folder_w|-|none
REG_EXPAND_SZ|A|A;$folder_w|A;$folder_w;B|A;B
CASES
say "PATH edits: the type kept, an entry already there left alone, a new value taken away, the user's later entries kept"
say "done in $(($(date +%s) - start)) s"
