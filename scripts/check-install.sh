#!/usr/bin/env bash
# Checks what users get from a Release build directory:
#   check-install.sh BUILD_DIR tree   cmake --install into one prefix, moved to
#                                     another; the programs run from there, and
#                                     the tarball unpacks into a working tree
#   check-install.sh BUILD_DIR deb    builds the Debian package, installs it with
#                                     apt-get, runs the installed programs and
#                                     removes it again (as root or through sudo)
#   check-install.sh BUILD_DIR        both
# "Runs" means: korvanthe-xm answers --version and reads the installed song,
# and the demo, started from an empty folder on a virtual X server, finds its
# data, shows pictures and (deb) sounds, and ends on Escape with status 0.
set -euo pipefail
build=$(cd "${1:?usage: check-install.sh BUILD_DIR [tree|deb]}" && pwd)
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$self")/.."
what=${2:-all}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"

fail() {
    echo "check-install: $*" >&2
    exit 1
}

# Inside the virtual X server: DEMO DATA_DIR SOUND_FILE. The demo runs from an
# empty folder, must say it reads its files from DATA_DIR, and plays into
# SOUND_FILE through SDL's disk driver.
if [[ "$what" == --inside ]]; then
    demo=$3
    data=$4
    sound=$5
    brightness() {
        ffmpeg -v error -f x11grab -i "$DISPLAY" -frames:v 1 -vf scale=64:36 -f rawvideo \
            -pix_fmt gray - | od -An -tu1 -v | tr -s ' ' '\n' |
            awk 'NF { if ($1 > max) max = $1 } END { print max + 0 }'
    }
    has_sound() { [[ -f "$1" && $(tr -d '\000' <"$1" | head -c 1 | wc -c) -gt 0 ]]; }
    # The demo's pictures reach 170 and more; the bare screen (the pointer
    # 36, the window manager's grey root 66) and the demo's window before its
    # first frame are darker.
    bright() { [[ $(brightness) -ge 128 ]]; }
    # Keys go to the window with the input focus; before the window manager
    # gives it to the demo's window, Escape would be lost.
    has_focus() { [[ $(xdotool getwindowfocus getwindowname 2>/dev/null) == Korvanthe ]]; }
    manager_runs() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
    ended() { ! kill -0 "$pid" 2>/dev/null; }
    # Each wait is for the event itself, bounded by a minute: far longer than
    # any run takes, even on a loaded machine, so that only a demo that never
    # gets there fails. waited: the seconds it took, to a tenth.
    wait_until() {
        local started=$EPOCHREALTIME microseconds
        until "$@"; do
            microseconds=$((${EPOCHREALTIME/./} - ${started/./}))
            if [[ $microseconds -ge 60000000 ]]; then
                waited=$((microseconds / 1000000)).$((microseconds / 100000 % 10))
                return 1
            fi
            sleep 0.1
        done
        microseconds=$((${EPOCHREALTIME/./} - ${started/./}))
        waited=$((microseconds / 1000000)).$((microseconds / 100000 % 10))
    }
    openbox >/dev/null 2>&1 &
    manager=$!
    wait_until manager_runs || true
    mkdir "$scratch/empty"
    cd "$scratch/empty"
    SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$sound" "$demo" 2>"$scratch/stderr" &
    pid=$!
    status=0
    # The demo starts dark and its pictures fade: one bright screen is enough.
    if wait_until bright; then
        echo "picture after $waited s"
    else
        echo "no picture after $waited s" >&2
        status=1
    fi
    if wait_until has_sound "$sound"; then
        echo "sound after $waited s"
    else
        echo "no sound after $waited s" >&2
        status=1
    fi
    [[ -z "$(ls -A "$scratch/empty")" ]] || { echo "the demo wrote into its folder" >&2; status=1; }
    if wait_until has_focus; then
        echo "focus after $waited s"
    else
        echo "the demo's window has no focus after $waited s" >&2
        status=1
    fi
    xdotool key Escape
    if wait_until ended; then
        echo "ended $waited s after Escape"
    else
        echo "Escape did not end the demo: still running after $waited s" >&2
        kill "$pid"
        status=1
    fi
    wait "$pid" || { echo "the demo ended with status $?" >&2; status=1; }
    grep -q -x -F "korvanthe: reading its files from $data" "$scratch/stderr" ||
        { echo "the demo did not say it reads its files from $data" >&2; status=1; }
    # Besides that, only SDL's disk driver announces itself; anything else is
    # a complaint, such as a file the demo did not find.
    if grep -v -x -F "korvanthe: reading its files from $data" "$scratch/stderr" |
        grep -v -E "^CRITICAL: (You are using the SDL disk|  *Writing to file)" >&2; then
        echo "the demo complained (above)" >&2
        status=1
    fi
    kill "$manager" 2>/dev/null || true
    exit $status
fi

# run_demo DEMO DATA_DIR
run_demo() {
    echo "demo: $1"
    SDL_VIDEODRIVER=x11 xvfb-run -a -s "-screen 0 640x480x24" \
        bash "$self" "$build" --inside "$1" "$2" "$scratch/sound-$RANDOM.raw" ||
        fail "$1 did not run as it should"
}

# check_version PROGRAM: it names the project's version.
check_version() {
    local version
    version=$("$1" --version) || fail "$1 --version failed"
    echo "$version"
    [[ "$version" == *"$(sed -n 's/^project(Korvanthe VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"* ]] ||
        fail "$1 --version does not name the project's version"
}

# check_xm BIN_DIR SONG: korvanthe-xm and korvanthe-capture start,
# korvanthe-xm reads the installed song, and korvanthe-capture, started in an
# empty folder, captures from the installed files and says where they are.
check_xm() {
    check_version "$1/korvanthe-xm"
    check_version "$1/korvanthe-capture"
    "$1/korvanthe-xm" info "$2" >/dev/null || fail "korvanthe-xm cannot read the installed song $2"
    local empty said
    empty=$(mktemp -d)
    said=$(cd "$empty" && "$1/korvanthe-capture" -o frames/ --seconds 0.2 --fps 10 2>&1) ||
        fail "korvanthe-capture failed in an empty folder: $said"
    grep -qx "korvanthe-capture: reading its files from $(dirname "$2")" <<<"$said" ||
        fail "korvanthe-capture did not read the installed files: $said"
    [[ -s "$empty/frames/frame_000001.png" && -s "$empty/frames/soundtrack.wav" ]] ||
        fail "korvanthe-capture wrote no frames from the installed files"
    rm -rf "$empty"
}

# Every file that belongs to an installed tree, relative to its prefix.
installed_file='(bin/korvanthe(-xm|-capture)?|share/korvanthe/[^/]+|share/man/man1/korvanthe[^/]*\.1\.gz|share/applications/korvanthe\.desktop|share/icons/hicolor/256x256/apps/korvanthe\.png)'
# The player library's files: the runtime package's and the -dev package's.
library_file='(lib/libkorvanthe-xm\.so(\.1(\.[0-9]+\.[0-9]+)?)?|lib/libkorvanthe-xm\.a|lib/pkgconfig/korvanthe-xm\.pc|lib/cmake/KorvantheXM/[^/]+\.cmake|include/korvanthe/xm\.h|share/man/man3/korvanthe-xm\.3\.gz)'

# check_tree PREFIX: the programs, data, manual pages, menu entry and icon are
# all there.
check_tree() {
    local prefix=$1
    for program in korvanthe korvanthe-xm korvanthe-capture; do
        [[ -x "$prefix/bin/$program" ]] || fail "$prefix/bin/$program is missing"
        [[ -f "$prefix/share/man/man1/$program.1.gz" ]] ||
            fail "the manual page of $program is missing"
    done
    for file in soundtrack.xm random.scp gridtile.tga picture0.raw picture1.raw picture2.raw \
        korvanthe.raw tallstrip.raw random.raw; do
        [[ -s "$prefix/share/korvanthe/$file" ]] || fail "$prefix/share/korvanthe/$file is missing"
    done
    [[ -f "$prefix/share/applications/korvanthe.desktop" ]] || fail "the menu entry is missing"
    [[ -s "$prefix/share/icons/hicolor/256x256/apps/korvanthe.png" ]] || fail "the icon is missing"
}

# check_library_tree PREFIX: the player library's packages (or a whole tree)
# in PREFIX.
check_library_tree() {
    for file in lib/libkorvanthe-xm.so.1 lib/libkorvanthe-xm.a include/korvanthe/xm.h \
        lib/pkgconfig/korvanthe-xm.pc lib/cmake/KorvantheXM/KorvantheXMConfig.cmake \
        share/man/man3/korvanthe-xm.3.gz; do
        [[ -e "$1/$file" ]] || fail "the player library's $file is missing"
    done
}

# no_strays PREFIX_PATTERN: of the file paths on stdin, those under the prefix
# that are not ours (such as headers or libraries of the test frameworks).
no_strays() {
    local strays
    strays=$(grep -v -E "^$1/($installed_file|$library_file)\$" || true)
    [[ -z "$strays" ]] || fail "unexpected files installed: $strays"
}

check_moved_tree() {
    echo "--- cmake --install, then moved to another prefix"
    cmake --install "$build" --prefix "$scratch/first/usr" >/dev/null
    check_tree "$scratch/first/usr"
    check_library_tree "$scratch/first/usr"
    (cd "$scratch/first/usr" && find . -type f) | no_strays '\.'
    mkdir -p "$scratch/second/opt"
    mv "$scratch/first/usr" "$scratch/second/opt/korvanthe"
    rm -rf "$scratch/first"
    local moved=$scratch/second/opt/korvanthe
    check_xm "$moved/bin" "$moved/share/korvanthe/soundtrack.xm"
    run_demo "$moved/bin/korvanthe" "$moved/share/korvanthe"

    echo "--- the tarball"
    (cd "$build" && cpack -G TGZ >/dev/null)
    local tarball
    tarball=$(ls "$build"/korvanthe-*.tar.gz)
    mkdir "$scratch/unpacked"
    tar -xzf "$tarball" -C "$scratch/unpacked"
    local top
    top=$(ls "$scratch/unpacked")
    check_tree "$scratch/unpacked/$top"
    check_library_tree "$scratch/unpacked/$top"
    (cd "$scratch/unpacked/$top" && find . -type f) | no_strays '\.'
    check_xm "$scratch/unpacked/$top/bin" \
        "$scratch/unpacked/$top/share/korvanthe/soundtrack.xm"
    echo "ok: $(basename "$tarball")"
}

check_package() {
    echo "--- the Debian package"
    command -v dpkg-shlibdeps >/dev/null || fail "dpkg-shlibdeps is missing (apt-get install dpkg-dev)"
    rm -f "$build"/korvanthe_*.deb "$build"/libkorvanthe-xm*.deb
    (cd "$build" && cpack -G DEB >/dev/null)
    local package runtime dev
    package=$(ls "$build"/korvanthe_*.deb)
    runtime=$(ls "$build"/libkorvanthe-xm[0-9]*_*.deb)
    dev=$(ls "$build"/libkorvanthe-xm-dev_*.deb)
    for deb in "$package" "$runtime" "$dev"; do
        echo "$(basename "$deb"):"
        dpkg-deb -f "$deb" Package Version Architecture Installed-Size Depends Recommends
        dpkg-deb -c "$deb"
    done
    dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print $6 }' | no_strays '\./usr'
    # Listings taken whole: grep -q would cut dpkg-deb's pipe (pipefail).
    local listing
    listing=$(dpkg-deb -c "$package")
    ! grep -q -E 'libkorvanthe|/include/' <<<"$listing" ||
        fail "the demo's package holds the library's files"
    listing=$(dpkg-deb -c "$runtime" | awk '$1 !~ /^d/ { print $6 }')
    ! grep -v -E '^\./usr/lib/libkorvanthe-xm\.so\.1(\.[0-9.]+)?$|^\./usr/share/doc/' <<<"$listing" ||
        fail "the runtime package holds more than the shared library"
    listing=$(dpkg-deb -c "$dev")
    grep -q 'usr/include/korvanthe/xm.h' <<<"$listing" || fail "the -dev package has no header"
    mkdir "$scratch/package"
    cp "$package" "$scratch/package/"
    (cd "$scratch/package" && $sudo apt-get install -y -qq ./korvanthe_*.deb >/dev/null)
    check_tree /usr
    for program in korvanthe korvanthe-xm korvanthe-capture; do
        [[ "$(command -v $program)" == /usr/bin/$program ]] || fail "$program is not on the PATH"
    done
    check_xm /usr/bin /usr/share/korvanthe/soundtrack.xm
    run_demo /usr/bin/korvanthe /usr/share/korvanthe
    # The library from the packages, as a developer uses it.
    (cd "$scratch/package" && cp "$runtime" "$dev" . &&
        $sudo apt-get install -y -qq ./libkorvanthe-xm*.deb >/dev/null)
    check_library_tree /usr
    echo "pkg-config: korvanthe-xm $(pkg-config --modversion korvanthe-xm)"
    # shellcheck disable=SC2046
    cc -std=c99 examples/render_wav.c $(pkg-config --cflags --libs korvanthe-xm) \
        -o "$scratch/package/render_wav"
    "$scratch/package/render_wav" /usr/share/korvanthe/soundtrack.xm "$scratch/package/song.wav"
    korvanthe-xm render /usr/share/korvanthe/soundtrack.xm -o "$scratch/package/tool.wav"
    cmp "$scratch/package/song.wav" "$scratch/package/tool.wav" ||
        fail "the packaged library renders otherwise than korvanthe-xm"
    $sudo apt-get purge -y -qq libkorvanthe-xm-dev "$(dpkg-deb -f "$runtime" Package)" >/dev/null
    $sudo apt-get remove -y -qq korvanthe >/dev/null
    ! dpkg-query -W -f='${Status}' korvanthe 2>/dev/null | grep -q 'ok installed' ||
        fail "korvanthe is still installed"
    for path in /usr/bin/korvanthe /usr/bin/korvanthe-xm /usr/bin/korvanthe-capture \
        /usr/share/korvanthe /usr/share/applications/korvanthe.desktop; do
        [[ ! -e "$path" ]] || fail "$path is left after the removal"
    done
    echo "ok: $(basename "$package")"
}

for tool in xvfb-run xdotool xprop openbox ffmpeg cpack; do
    command -v "$tool" >/dev/null || fail "$tool is missing"
done
case "$what" in
    tree) check_moved_tree ;;
    deb) check_package ;;
    all) check_moved_tree; check_package ;;
    *) fail "unknown check $what (tree or deb)" ;;
esac
