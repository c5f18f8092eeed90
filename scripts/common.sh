# Shared by the README's two commands: installs what is missing, configures and builds.
# Sourced, not run.

TIDELIN_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TIDELIN_BUILD="${TIDELIN_BUILD:-$TIDELIN_ROOT/build}"

# What building and running the window program needs.
RUN_PACKAGES=(cmake ninja-build g++ qt6-base-dev libgl-dev qt6-translations-l10n fonts-dejavu-core)
# What building everything needs: the window's packages, GoogleTest, and msgfmt for the
# command-line tool's Russian messages.
BUILD_PACKAGES=("${RUN_PACKAGES[@]}" libgtest-dev libgmock-dev gettext)
# What building the Debian source package and the package from it needs: Debian's package
# tools and every build dependency of debian/control (dpkg-checkbuilddeps passes after these).
PACKAGE_PACKAGES=(dpkg-dev debhelper build-essential file cmake ninja-build qt6-base-dev libgl-dev
                  gettext libgtest-dev libgmock-dev locales git)
# What the tests need beside it: a real X server and window manager, the tools that find,
# drive and close windows, a Wayland compositor with Qt's Wayland plugin and a tool that reads
# its screenshots, the desktop-entry and AppStream checkers, a session bus with the
# accessibility bus and a client that reads it (as a screen reader does), the tools that set
# access lists and extended attributes, the package tools with Debian's package checker, and
# localedef with the Russian locale's sources (the tool's messages are checked under a Russian
# locale made by the tests). The package's own tests need xvfb and x11-utils too.
TEST_PACKAGES=(xvfb openbox wmctrl x11-utils xdotool weston qt6-wayland imagemagick
               desktop-file-utils appstream dbus-x11 at-spi2-core python3-pyatspi acl attr
               lintian locales "${PACKAGE_PACKAGES[@]}")
# What the Windows build and its tests under Wine need (scripts/windows.sh): the cross
# compiler, Wine, and GoogleTest's sources to build it for Windows.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 googletest)
# What the Windows window and its checks under Wine need (scripts/windows_gui.sh): the cross
# compiler, Wine with its own fonts (the frame's buttons), an X server, Python for the icon and
# the zip, and the installer builder.
WINDOWS_GUI_PACKAGES=(g++-mingw-w64-x86-64-posix wine64 fonts-wine xvfb python3 nsis)

# Installs the Debian packages among "$@" that are not installed yet.
install_missing() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Installing packages needs root or sudo." >&2; return 1; }
        sudo=(sudo)
    fi
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
}

configure_and_build() {
    cmake -S "$TIDELIN_ROOT" -B "$TIDELIN_BUILD" -G Ninja "$@"
    cmake --build "$TIDELIN_BUILD" --parallel "$(nproc)"
}

# check_nothing_left FOLDER...: after a test run in a home folder and a TMPDIR of its own, each
# FOLDER must be empty. Lists what a test left behind and returns 1 otherwise.
check_nothing_left() {
    local folder left status=0
    for folder in "$@"; do
        left="$(find "$folder" -mindepth 1 -maxdepth 3 | head -n 20)"
        if [ -n "$left" ]; then
            echo "FAILED: the tests left files in $folder:"
            echo "$left"
            status=1
        fi
    done
    return $status
}

# Shared by the Windows scripts: the cross toolchain, Wine's programs, and a step marker that
# says how long the run has taken so far.
TOOLCHAIN="$TIDELIN_ROOT/cmake/mingw-w64-x86_64.cmake"
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
windows_step() { echo "== $1 (after ${SECONDS} s)"; }

# wine_environment FOLDER: a Wine prefix of this user's own in FOLDER. Wine keeps its server's
# socket in TMPDIR and menu entries in HOME: both stay in FOLDER too, so that a run leaves
# nothing in the user's home or temporary folder.
wine_environment() {
    export WINEPREFIX="$1/wine-prefix-$(id -u)"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
    export HOME="$1/wine-home-$(id -u)"
    export TMPDIR="$HOME/tmp"
    mkdir -p "$TMPDIR"
    # Wine spells Windows names in Linux file names in the locale's encoding: only UTF-8 holds
    # every name Windows can hold.
    export LC_ALL=C.UTF-8
}
