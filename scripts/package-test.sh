#!/bin/sh
# Builds the Debian packages (scripts/package.sh) and checks them as a user's machine sees them:
# lintian, the desktop entry, the AppStream metadata, one application ID, one version, the
# command line's dependencies; then installs them, runs both programs from /usr/bin, reads the
# manual pages and completes options in bash; then removes them and looks for leftovers.
#
# Runs as root and installs packages, so it leaves the machine's package set as it found it: the
# packages, and whatever dependencies installing them brought in, are purged on every way out.
# Every check runs; the failures are listed at the end, and the exit status is 1 if there is one.
#
#   sh scripts/package-test.sh [BUILD]      (BUILD defaults to build-pkg)
set -u
cd "$(dirname "$0")/.."
build=${1:-build-pkg}
app_id=com.quandrel.QRCode
packages="quandrel-qr quandrel-qr-code"

[ "$(id -u)" -eq 0 ] || { echo "package-test: run as root: it installs the packages" >&2; exit 1; }
for p in $packages; do
    if dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^[ih]'; then
        echo "package-test: $p is installed on this machine; remove it first (apt-get purge $p)" >&2
        exit 1
    fi
done

sh scripts/package.sh "$build" || { echo "package-test: building the packages failed" >&2; exit 1; }
cli_deb=$(ls "$build"/packages/quandrel-qr_*.deb)
window_deb=$(ls "$build"/packages/quandrel-qr-code_*.deb)

failures=""
pass() { echo "ok    $1"; }
fail() { echo "FAIL  $1"; failures="$failures
  $1"; }
# check DESCRIPTION COMMAND...: runs the command, passes on status 0.
check() {
    what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

work=$(mktemp -d)
added="$work/added"
: >"$added"
cleanup() {
    trap - EXIT INT TERM
    installed=""
    for p in $packages $(cat "$added"); do
        dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^.[^n]' && installed="$installed $p"
    done
    [ -z "$installed" ] ||
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=600 $installed >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

echo "== The packages"
lintian --fail-on error --tag-display-limit 0 "$cli_deb" "$window_deb" >"$work/lintian" 2>&1
status=$?
sed 's/^/      /' "$work/lintian"
check "lintian finds no errors" [ "$status" -eq 0 ]

root="$work/root"
mkdir -p "$root"
dpkg-deb -x "$cli_deb" "$root" && dpkg-deb -x "$window_deb" "$root"
desktop="$root/usr/share/applications/$app_id.desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
check "desktop-file-validate accepts the desktop entry" desktop-file-validate "$desktop"
check "appstreamcli accepts the AppStream metadata" appstreamcli validate --no-net "$metainfo"

# One ID for the desktop entry, the metadata and the icon (in every size).
icons_named_by_id() {
    for size in 16 32 48 64 128 256; do
        [ -f "$root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png" ] || return 1
    done
}
check "the desktop entry's icon is $app_id" grep -qx "Icon=$app_id" "$desktop"
check "the metadata's id is $app_id" grep -q "<id>$app_id</id>" "$metainfo"
check "the metadata launches $app_id.desktop" grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo"
check "the icon is $app_id.png in every size" icons_named_by_id

# One version: both packages, the changelog's newest entry and the metadata's newest release.
version=$(dpkg-deb -f "$cli_deb" Version)
newest_release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)
check "quandrel-qr-code has quandrel-qr's version $version" [ "$(dpkg-deb -f "$window_deb" Version)" = "$version" ]
check "the changelog's newest entry is $version" \
    [ "$(dpkg-parsechangelog -l packaging/changelog -S Version)" = "$version" ]
check "the metadata's newest release is $version" [ "$newest_release" = "$version" ]

# The command line must install without the GUI toolkit.
cli_depends=$(dpkg-deb -f "$cli_deb" Depends)
echo "      quandrel-qr depends on: $cli_depends"
no_gui_dependency() { ! printf '%s\n' "$cli_depends" | grep -qiE 'libqt6(gui|widgets)'; }
check "quandrel-qr does not depend on Qt GUI or Widgets" no_gui_dependency
# Its private libraries' own dependencies are the package's too.
check "quandrel-qr depends on libzbar and libcairo, which its private libraries load" \
    sh -c 'printf "%s\n" "$1" | grep -q libzbar && printf "%s\n" "$1" | grep -q libcairo' depends "$cli_depends"

echo "== Installed"
# What apt adds besides the two packages is recorded first, so that it is purged again.
apt-get install -s "./$cli_deb" "./$window_deb" 2>/dev/null |
    sed -n 's/^Inst \([^ ]*\).*/\1/p' | grep -vxE 'quandrel-qr|quandrel-qr-code' >"$added"
if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
    "./$cli_deb" "./$window_deb" >"$work/apt" 2>&1; then
    pass "apt-get installs both packages"
else
    sed 's/^/      /' "$work/apt"
    fail "apt-get installs both packages"
fi

check "/usr/bin/quandrel-qr --version says $version" [ "$(/usr/bin/quandrel-qr --version)" = "quandrel-qr $version" ]
check "/usr/bin/quandrel-qr-code --version says $version" \
    [ "$(/usr/bin/quandrel-qr-code --version)" = "quandrel-qr-code $version" ]

# A symbol from the installed program decodes to the text it was given.
text='Olá, mundo — pacote instalado'
picture="$work/round.png"
round_trip() {
    /usr/bin/quandrel-qr -t png -o "$picture" "$text" || return 1
    [ "$(zbarimg -q --raw -Sbinary "$picture" 2>/dev/null)" = "$text" ]
}
check "a PNG from /usr/bin/quandrel-qr decodes to its text with zbarimg" round_trip

# The private libraries are installed, found by the installed program, and loaded only when used.
check "/usr/bin/quandrel-qr --verify reads its symbol back through its zbar library" \
    /usr/bin/quandrel-qr --verify -o "$work/verified.png" "$text"
check "/usr/bin/quandrel-qr writes a PDF through its cairo library" \
    sh -c '/usr/bin/quandrel-qr -o "$1" x && head -c 5 "$1" | grep -q "%PDF-"' pdf "$work/x.pdf"
png_loads_neither() { ! LD_DEBUG=files /usr/bin/quandrel-qr -o "$work/plain.png" x 2>&1 | grep -qE 'cairo|zbar'; }
check "a PNG run of /usr/bin/quandrel-qr loads neither cairo nor zbar" png_loads_neither

check "/usr/bin/quandrel-qr-code starts offscreen and quits" sh tests/app/start_and_quit.sh /usr/bin/quandrel-qr-code

# The manual pages: found by man, formatted without warnings, and saying what the program is.
man_page_reads() {
    page=/usr/share/man/man1/$1.1.gz
    [ -f "$page" ] || return 1
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$work/man" 2>"$work/man-warnings" || return 1
    [ ! -s "$work/man-warnings" ] || { sed 's/^/      /' "$work/man-warnings"; return 1; }
    # (justified text may widen the space after the name)
    grep -q "^NAME" "$work/man" && tr -s ' ' <"$work/man" | grep -q "$1 - " || return 1
    LC_ALL=C.UTF-8 man -P cat "$1" 2>/dev/null | tr -s ' ' | grep -q "$1 - "
}
for program in quandrel-qr quandrel-qr-code; do
    check "the manual page of $program reads with man -l and man" man_page_reads "$program"
done

# Completion in bash, as the installed bash-completion loads it for "quandrel-qr".
complete_words() {
    # complete_words WORDS... : what bash completes for the last word of "quandrel-qr WORDS...".
    (cd "$work/completion" && bash --norc --noprofile -c '
        . /usr/share/bash-completion/bash_completion
        __load_completion quandrel-qr || exit 1
        COMP_WORDS=(quandrel-qr "$@")
        COMP_CWORD=$#
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}
        function=$(complete -p quandrel-qr | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
        "$function" quandrel-qr "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' completion "$@")
}
completes() {
    # completes "EXPECTED WORDS" WORDS...
    expected=$1
    shift
    got=$(complete_words "$@")
    [ "$got" = "$expected " ] || { echo "      quandrel-qr $*<TAB>: got '$got', expected '$expected'"; return 1; }
}
mkdir -p "$work/completion/pictures"
touch "$work/completion/old.png" "$work/completion/notes.txt"
check "bash completes quandrel-qr -t <TAB> with the types" completes "ascii eps jpeg jpg matrix pdf png svg utf8" -t ""
check "bash completes quandrel-qr --type P<TAB> in any case" completes "pdf png" --type P
check "bash completes quandrel-qr -l <TAB> with the levels" completes "H L M Q" -l ""
check "bash completes quandrel-qr -o <TAB> with file names" completes "notes.txt old.png pictures" -o ""
check "bash completes quandrel-qr --ty<TAB>" completes "--type" --ty
check "bash completes quandrel-qr --jo<TAB>" completes "--jobs" --jo
check "bash completes quandrel-qr --mask <TAB> with the masks" completes "0 1 2 3 4 5 6 7" --mask ""
check "bash completes quandrel-qr --opt<TAB>" completes "--optimize" --opt
check "bash completes quandrel-qr e<TAB> with the payloads" completes "epc event" e
check "bash completes quandrel-qr geo --l<TAB> with its fields and the options" completes "--lat --level --lon" geo --l
check "bash completes quandrel-qr wifi --security <TAB>" completes "SAE WEP WPA WPA3 none" wifi --security ""

echo "== Removed"
if DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq -o DPkg::Lock::Timeout=600 $packages >"$work/apt" 2>&1; then
    pass "apt-get purges both packages"
else
    sed 's/^/      /' "$work/apt"
    fail "apt-get purges both packages"
fi
# Every file the packages held is gone, and so is every folder of their own.
nothing_left() {
    for deb in "$cli_deb" "$window_deb"; do
        dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | while read -r path; do
            [ -n "$path" ] && [ "$path" != / ] || continue
            if [ -d "$path" ]; then
                case $path in *quandrel*) echo "      left behind: $path" ;; esac
            elif [ -e "$path" ] || [ -L "$path" ]; then
                echo "      left behind: $path"
            fi
        done
    done >"$work/left"
    cat "$work/left"
    [ ! -s "$work/left" ]
}
check "none of the packages' files is left" nothing_left

if [ -n "$failures" ]; then
    echo "package-test: FAILED:$failures"
    exit 1
fi
echo "package-test: all checks passed"
