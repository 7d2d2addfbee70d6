# Shared by scripts/demo and scripts/test: where things are, and installing
# what the build and the tests need from Debian's archive.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${MORVANE_BUILD_DIR:-$ROOT/build}"

# Build: compiler, CMake/Ninja, Qt 6 (Widgets, Network, Test, uic/moc),
# hidapi (the device link), libudev (which USB port a controller hangs off), xcb + xcb-keysyms (global hot keys on X11),
# Qt Linguist's CMake functions and its lupdate/lrelease (the translations),
# and QtSql's SQLite driver (the light history).
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
    libhidapi-dev libudev-dev libxcb1-dev libxcb-keysyms1-dev qt6-tools-dev qt6-l10n-tools libqt6sql6-sqlite)
# Tests and demo: a virtual X server, a small window manager and the X tools
# that drive the window, screenshots (imagemagick), the desktop-file and
# AppStream validators, udev's rule checker, the Debian package tools, and
# dbus-daemon for a private session bus (hot keys through the desktop portal,
# the D-Bus interface and morvane-pwmctl), and a real tray (trayer) and
# notification server (dunst) for the tray icon and the on-screen level, and a
# real Wayland compositor (weston, with Qt's Wayland platform).
TEST_PACKAGES=(xvfb xauth openbox xdotool wmctrl x11-utils imagemagick
    desktop-file-utils appstream udev dpkg-dev file fakeroot libxml2-utils dbus trayer dunst weston qt6-wayland)

say() { printf '\n==> %s\n' "$*"; }

# Installs the packages that are missing; runs apt-get update once first.
install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        say "All needed Debian packages are installed"
        return
    fi
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    say "Installing: ${missing[*]}"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

# configure_and_build <build dir> [cmake options...]
configure_and_build() {
    local dir="$1"; shift
    say "Configuring $dir"
    cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    say "Building $dir"
    cmake --build "$dir"
}
