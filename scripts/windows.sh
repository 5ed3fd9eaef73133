#!/usr/bin/env bash
# Cross-builds Brimvale for 64-bit Windows on Debian 12 and tries it under wine.
#
#   scripts/windows.sh deps      installs the tools and builds the dependencies into the cache
#   scripts/windows.sh [build]   and then Brimvale, in build/windows, and runs it under wine
#   scripts/windows.sh package   and then the zip and the installer
#   scripts/windows.sh test      and then the package and every test under wine, with the list of
#                                what was skipped
#
# The dependencies (Qt, OpenSSL's crypto, SQLCipher, libsodium, libcsv, cmark) are built once
# from Debian's own source packages into BRIMVALE_WINDOWS_CACHE (~/.cache/brimvale-windows),
# each in a folder named after a hash of what it was built from, so a later run reuses it and
# a changed input builds it anew.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cache="${BRIMVALE_WINDOWS_CACHE:-$HOME/.cache/brimvale-windows}"
jobs="${BRIMVALE_WINDOWS_JOBS:-2}"
triple=x86_64-w64-mingw32
toolchain="$root/packaging/windows/toolchain.cmake"
# The dependencies' builds keep the toolchain file's path in their CMake caches, so they use a copy
# in the cache that stays put wherever the tree is checked out.
cachedToolchain="$cache/toolchain.cmake"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

log() { printf '== %s\n' "$*" >&2; }

installPackages() {
    # The host's compiler and crypto too: SQLCipher's amalgamation is made by a configure run
    # for this machine, and Qt's cross-build takes the host Qt's CMake packages and tools.
    local packages=(
        cmake ninja-build pkg-config dpkg-dev build-essential libssl-dev qt6-base-dev qt6-base-dev-tools
        gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
        mingw-w64-x86-64-dev wine wine64 nsis zip tcl autoconf automake libtool fonts-dejavu-core librsvg2-bin
    )
    local missing=() package
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    local sources=/etc/apt/sources.list.d/brimvale-deb-src.sources
    local needSources=0
    if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        needSources=1
    fi
    [ ${#missing[@]} -eq 0 ] && [ $needSources -eq 0 ] && return 0
    if [ $needSources -eq 1 ]; then
        # The dependencies are built from Debian's own sources, which apt fetches only with a
        # deb-src line.
        $sudo tee "$sources" >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    [ ${#missing[@]} -eq 0 ] || $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Unpacks Debian's source package $1 (with Debian's patches applied) once; prints its folder,
# whose name carries the version. The newest version the mirror still holds wins: the package
# lists may name a security update the mirror has dropped since.
fetchSource() {
    local package="$1" version folder
    for version in $(apt-cache showsrc "$package" | awk '/^Version:/ { print $2 }' | sort -rV); do
        folder="$cache/src/$package-$version"
        if [ ! -e "$folder/.unpacked" ]; then
            rm -rf "$folder"
            mkdir -p "$folder"
            # apt-get may say it failed to fetch a part and still exit with 0: only an unpacked
            # tree counts.
            (cd "$folder" && apt-get source -qq "$package=$version" >&2) || true
            if [ -z "$(find "$folder" -mindepth 1 -maxdepth 1 -type d)" ]; then
                rm -rf "$folder"
                continue
            fi
            touch "$folder/.unpacked"
        fi
        find "$folder" -mindepth 1 -maxdepth 1 -type d | head -n 1
        return 0
    done
    log "no source of $package could be fetched"
    return 1
}

sourcePackage() {
    case "$1" in
    qt) echo qt6-base ;;
    crypto) echo openssl ;;
    *) echo "$1" ;;
    esac
}

# Builds dependency $1 into its cache folder unless it is there, and prints the folder. The
# folder is named after a hash of its inputs: its build function, its source package and
# version, the compiler, the toolchain file and the folders of what it is built on ($2…).
dependency() {
    local name="$1"
    shift
    local source hash prefix
    source="$(fetchSource "$(sourcePackage "$name")")"
    # Every build copies or reads the tree: never an empty path, which would be the root.
    if [ ! -d "$source" ] || [ "$source" = / ]; then
        log "the source of $name is missing"
        return 1
    fi
    hash="$({
        declare -f "build_$name"
        basename "$(dirname "$source")"
        $triple-g++-posix --version | head -n 1
        cat "$toolchain"
        printf '%s\n' "$@"
    } | sha256sum | cut -c1-16)"
    prefix="$cache/$name-$hash"
    if [ ! -e "$prefix/.built" ]; then
        log "building $name into $prefix"
        # A build stopped half-way (Qt takes the better part of an hour) goes on where it was
        # when its inputs are the same; other inputs start it afresh.
        local build="$cache/build/$name"
        [ "$(cat "$build.inputs" 2>/dev/null)" = "$hash" ] || rm -rf "$build"
        rm -rf "$prefix"
        mkdir -p "$build"
        echo "$hash" >"$build.inputs"
        local started=$SECONDS
        # A subshell of its own, so that its first failing step ends it (errexit holds nowhere
        # inside an if).
        local status=0
        set +e
        (
            set -e
            "build_$name" "$source" "$build" "$prefix" "$@"
        ) >"$cache/build/$name.log" 2>&1
        status=$?
        set -e
        if [ $status -ne 0 ]; then
            tail -n 40 "$cache/build/$name.log" >&2
            log "$name failed; the whole log is $cache/build/$name.log"
            return 1
        fi
        touch "$prefix/.built"
        log "$name built in $((SECONDS - started)) s"
        rm -rf "$build" "$build.inputs"
    fi
    echo "$prefix"
}

build_qt() {
    local source="$1" build="$2" prefix="$3"
    # Only the modules and plugins Brimvale uses; the tablet support of the windows plugin
    # needs wintab.h, which Debian's source leaves out. OpenGL stays: the windows plugin of
    # Qt 6.4.2 does not compile without it.
    cmake -S "$source" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$cachedToolchain" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_tabletevent=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
        -DFEATURE_concurrent=OFF -DFEATURE_opengl=ON -DFEATURE_vulkan=OFF \
        -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF \
        -DFEATURE_system_doubleconversion=OFF -DFEATURE_sql_sqlite=OFF
    nice -n 10 cmake --build "$build" --parallel "$jobs"
    cmake --install "$build"
}

# OpenSSL's crypto alone, static: SQLCipher encrypts with it and the store derives the built-in
# key with it, as on Linux.
build_crypto() {
    local source="$1" build="$2" prefix="$3"
    cp -a "$source/." "$build"
    cd "$build"
    CC=gcc-posix ./Configure mingw64 --cross-compile-prefix=$triple- --prefix="$prefix" --libdir=lib \
        no-shared no-tests no-engine no-module no-legacy
    nice -n 10 make -j"$jobs" build_libs
    make install_dev
}

# SQLCipher's amalgamation, made on this machine, compiled for Windows into a static library with
# the options Debian builds its own with.
build_sqlcipher() {
    local source="$1" build="$2" prefix="$3" crypto="$4"
    cp -a "$source/." "$build"
    cd "$build"
    ./configure --enable-tempstore=yes --disable-tcl CFLAGS=-DSQLITE_HAS_CODEC LDFLAGS=-lcrypto
    make sqlite3.c
    nice -n 10 $triple-gcc-posix -c -O2 -fno-strict-aliasing -o sqlite3.o sqlite3.c -I"$crypto/include" \
        -DSQLITE_HAS_CODEC -DSQLITE_TEMP_STORE=2 -DSQLITE_THREADSAFE=1 -DSQLITE_SECURE_DELETE \
        -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_FTS3 -DSQLITE_ENABLE_RTREE=1 -DSQLITE_SOUNDEX=1 \
        -DSQLITE_ENABLE_UNLOCK_NOTIFY -DSQLITE_OMIT_LOOKASIDE=1 -DSQLITE_ENABLE_UPDATE_DELETE_LIMIT=1 \
        -DSQLITE_MAX_SCHEMA_RETRY=25 -DSQLITE_OMIT_LOAD_EXTENSION
    mkdir -p "$prefix/lib/pkgconfig" "$prefix/include/sqlcipher"
    $triple-ar rcs "$prefix/lib/libsqlcipher.a" sqlite3.o
    cp sqlite3.h "$prefix/include/sqlcipher/"
    cat >"$prefix/lib/pkgconfig/sqlcipher.pc" <<PC
Name: SQLCipher
Description: SQLCipher for Windows, static, with OpenSSL's crypto
Version: $(cat VERSION)
Cflags: -I$prefix/include -DSQLITE_HAS_CODEC
Libs: -L$prefix/lib -lsqlcipher -L$crypto/lib -lcrypto -lws2_32 -lcrypt32 -lbcrypt -luser32 -ladvapi32
PC
}

build_libsodium() {
    local source="$1" build="$2" prefix="$3"
    cp -a "$source/." "$build"
    cd "$build"
    ./autogen.sh -s
    ./configure --host=$triple CC=$triple-gcc-posix --prefix="$prefix" --disable-shared --enable-static
    nice -n 10 make -j"$jobs"
    make install
}

# One C file without a build of its own that cross-builds.
build_libcsv() {
    local source="$1" build="$2" prefix="$3"
    mkdir -p "$prefix/lib" "$prefix/include"
    $triple-gcc-posix -c -O2 -o "$build/libcsv.o" "$source/libcsv.c"
    $triple-ar rcs "$prefix/lib/libcsv.a" "$build/libcsv.o"
    cp "$source/csv.h" "$prefix/include/"
}

build_cmark() {
    local source="$1" build="$2" prefix="$3"
    cmake -S "$source" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$cachedToolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMARK_TESTS=OFF -DCMARK_SHARED=OFF -DCMARK_STATIC=ON
    nice -n 10 cmake --build "$build" --parallel "$jobs"
    cmake --install "$build"
}

deps() {
    installPackages
    mkdir -p "$cache"
    cmp -s "$toolchain" "$cachedToolchain" || cp "$toolchain" "$cachedToolchain"
    qtPrefix="$(dependency qt)"
    cryptoPrefix="$(dependency crypto)"
    sqlcipherPrefix="$(dependency sqlcipher "$cryptoPrefix")"
    sodiumPrefix="$(dependency libsodium)"
    csvPrefix="$(dependency libcsv)"
    cmarkPrefix="$(dependency cmark)"
    prefixes="$qtPrefix;$cryptoPrefix;$sqlcipherPrefix;$sodiumPrefix;$csvPrefix;$cmarkPrefix"
}

# Wine runs the build's own tool (the starter diary), the program and the tests: in a prefix of
# its own in the cache, quiet, without the .NET and browser installers, finding the DLLs in the
# folders they were built into (as paths on wine's drive Z:).
useWine() {
    export WINEPREFIX="$cache/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local runtime
    runtime="$(dirname "$($triple-gcc-posix -print-file-name=libstdc++-6.dll)")"
    WINEPATH="Z:$qtPrefix/bin;Z:$runtime;Z:/usr/$triple/lib"
    export WINEPATH
    [ -e "$WINEPREFIX/system.reg" ] || /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
    # wine passes no QT_ variable on to the programs it runs; those the tests need are the
    # prefix's own (a window on the desktop then needs -platform windows). Without a console
    # window, Qt would log, and Qt Test report, to the debugger. The offscreen platform finds
    # fonts only in a folder, here the same ones the tests have on Linux.
    local name value
    for name in QT_QPA_PLATFORM=offscreen QT_FORCE_STDERR_LOGGING=1 QT_FONT_DPI=96 \
        'QT_QPA_FONTDIR=Z:\usr\share\fonts\truetype\dejavu'; do
        value="${name#*=}"
        name="${name%%=*}"
        /usr/lib/wine/wine64 reg add 'HKCU\Environment' /v "$name" /t REG_SZ /d "$value" /f >/dev/null
    done
}

build() {
    deps
    useWine
    cd "$root"
    BRIMVALE_WINDOWS_PREFIX="$prefixes" cmake --preset windows -DBRIMVALE_WINDOWS_PREFIX="$prefixes"
    nice -n 10 cmake --build --preset windows --parallel "$jobs" --target brimvale brimvale_makediary
    tryProgram
}

# A path on wine's drive Z:, which is the whole of this machine.
windowsPath() {
    local path="$1"
    echo "Z:${path//\//\\}"
}

# The program tried as a user would: its version, then a diary with two entries in the per-user
# application data folder (of wine's prefix) and its book written from the command line.
tryProgram() {
    local wine=/usr/lib/wine/wine64 appData diary out
    $wine build/windows/brimvale.exe --version
    appData="$($wine cmd /c echo %APPDATA% | tr -d '\r')"
    appData="$WINEPREFIX/drive_c/$(echo "${appData#?:\\}" | tr '\\' /)"
    diary="$appData/Brimvale/updatediary.dll"
    mkdir -p "$(dirname "$diary")"
    $wine build/windows/tools/brimvale_makediary.exe "$(windowsPath "$diary")" \
        tblspell Rue "A herb of grace" tblrituals Moon "Drawing down"
    out="$root/build/windows/tried"
    rm -rf "$out"
    mkdir -p "$out"
    $wine build/windows/brimvale.exe --export "$(windowsPath "$out/book.csv")"
    if ! grep -q '^Spell,Rue,A herb of grace' "$out/book.csv"; then
        log "brimvale.exe --export wrote no book of the diary's entries"
        return 1
    fi
    log "brimvale.exe --export wrote $out/book.csv from $diary:"
    cat "$out/book.csv" >&2
    # A Windows user's export has none of the Qt variables this prefix sets for the tests, and
    # must find the system's fonts by itself: a book without a font has no word in it. Relative
    # paths, so that no space in the checkout's path splits cmd's command line.
    (cd "$root/build/windows" &&
        $wine cmd /c "set QT_QPA_PLATFORM=& set QT_QPA_FONTDIR=& brimvale.exe --export tried\book.pdf")
    if ! grep -aq '/FontDescriptor' "$out/book.pdf"; then
        log "brimvale.exe --export wrote a PDF book without a font, so without text"
        return 1
    fi
    log "brimvale.exe --export wrote $out/book.pdf with its fonts"
}

# The package, then the tests under wine, on the offscreen platform. The checks of the sources
# alone (layers, format) are the Linux run's. Ends with every test or case skipped, and why.
runTests() {
    package
    nice -n 10 cmake --build --preset windows --parallel "$jobs"
    local status=0 started=$SECONDS
    (cd build/windows && ctest --output-on-failure -E '^(layers_point_down|format_is_clean)$') || status=$?
    log "tests under wine: $((SECONDS - started)) s"
    log "skipped under wine, and why:"
    grep -hE '^SKIP' build/windows/Testing/Temporary/LastTest.log | sed -E 's/^SKIP *:? */  /' | sort -u >&2
    return $status
}

# The DLLs a Windows program or library loads that are not Windows' own: those found in the
# folders of WINEPATH, and theirs in turn.
neededDlls() {
    local pending=("$@") seen=" " file name folder
    while [ ${#pending[@]} -gt 0 ]; do
        file="${pending[0]}"
        pending=("${pending[@]:1}")
        for name in $($triple-objdump -p "$file" | awk '/DLL Name:/ { print $3 }'); do
            case "$seen" in *" $name "*) continue ;; esac
            seen="$seen$name "
            IFS=';' read -ra folders <<<"${WINEPATH//Z:/}"
            for folder in "${folders[@]}"; do
                if [ -e "$folder/$name" ]; then
                    echo "$folder/$name"
                    pending+=("$folder/$name")
                    break
                fi
            done
        done
    done
}

# brimvale-<version>-windows-x64.zip and the installer beside it, in build/windows: the program,
# its starter diary, the DLLs and Qt plugins it loads, nothing more.
package() {
    build
    local version stage plugins
    version="$(awk -F= '/^CMAKE_PROJECT_VERSION:/ { print $2 }' "$root/build/windows/CMakeCache.txt")"
    stage="$root/build/windows/stage/brimvale-$version"
    plugins="$qtPrefix/plugins"
    rm -rf "$root/build/windows/stage"
    mkdir -p "$stage/platforms" "$stage/styles"
    cp "$root/build/windows/brimvale.exe" "$stage/"
    # The desktop's own platform, which --export uses too for the system's fonts, and the native look.
    cp "$plugins/platforms/qwindows.dll" "$stage/platforms/"
    cp "$plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
    neededDlls "$stage/brimvale.exe" "$stage"/platforms/*.dll "$stage"/styles/*.dll | sort -u |
        while read -r dll; do cp "$dll" "$stage/"; done
    $triple-strip "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll
    # The starter diary is a diary file despite its name, and no strip may touch it.
    cp "$root/build/windows/defaultdiary.dll" "$stage/"
    local zip="$root/build/windows/brimvale-$version-windows-x64.zip"
    rm -f "$zip"
    (cd "$(dirname "$stage")" && zip -q -r -9 "$zip" "brimvale-$version")
    makensis -V2 -DVERSION="$version" -DSTAGE="$stage" \
        -DOUTFILE="$root/build/windows/brimvale-$version-windows-x64-setup.exe" \
        "$root/packaging/windows/brimvale.nsi"
    ls -l "$zip" "$root/build/windows/brimvale-$version-windows-x64-setup.exe"
}

command="${1:-build}"
case "$command" in
deps) deps ;;
build) build ;;
package) package ;;
test) runTests ;;
*)
    echo "usage: scripts/windows.sh [deps|build|package|test]" >&2
    exit 2
    ;;
esac
