#!/bin/sh
# package_test.sh CPACK BUILD_DIR SCRATCH_DIR
# Builds the Debian package from a build tree, unpacks it into a scratch root
# and checks what an installation would get: the files in their places, the
# dependencies, and a binary that starts and runs.
set -u
cpack=$1
build=$2
scratch=$3

fail() {
    echo "FAIL: $*"
    exit 1
}

for tool in "$cpack" dpkg-deb dpkg-shlibdeps ldd timeout; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

rm -rf "$scratch"
mkdir -p "$scratch/out" "$scratch/root" "$scratch/control" "$scratch/runtime" || fail "cannot make $scratch"
chmod 700 "$scratch/runtime"

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; fail "cpack failed"; }
set -- "$scratch"/out/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    fail "expected one .deb in $scratch/out, found: $*"
fi
deb=$1
echo "package: $deb"

dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb -x failed"
dpkg-deb -e "$deb" "$scratch/control" || fail "dpkg-deb -e failed"
root=$scratch/root

# --- Files where the system looks for them ---------------------------------
app_id=io.github.morvane.pwm
for path in \
    usr/lib/udev/rules.d/70-morvane-pwm.rules \
    usr/share/applications/$app_id.desktop \
    usr/share/icons/hicolor/scalable/apps/$app_id.svg \
    usr/share/metainfo/$app_id.metainfo.xml \
    usr/share/dbus-1/interfaces/$app_id.Controller.xml \
    usr/share/doc/morvane-pwm/copyright; do
    [ -f "$root/$path" ] || fail "missing /$path"
done
for program in morvane-pwm morvane-pwmctl; do
    [ -x "$root/usr/bin/$program" ] || fail "missing executable /usr/bin/$program"
done

# Developer tools (the simulated controller, the preload library) and build
# leftovers must stay out of the package.
stray=$(cd "$root" && find . -type f \( -name '*.a' -o -name '*.so*' -o -name '*.h' \) -print)
[ -z "$stray" ] || fail "build artefacts in the package: $stray"
programs=$(cd "$root" && find . \( -path ./usr/bin/morvane-pwm -o -path ./usr/bin/morvane-pwmctl \) -prune \
    -o -type f -perm -u+x -print)
[ -z "$programs" ] || fail "executables other than /usr/bin/morvane-pwm and morvane-pwmctl: $programs"

# --- Control data -----------------------------------------------------------
[ "$(dpkg-deb -f "$deb" Package)" = morvane-pwm ] || fail "package name is not morvane-pwm"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libhidapi-hidraw0 libqt6core6 libqt6widgets6 libqt6dbus6 qt6-qpa-plugins libqt6sql6-sqlite; do
    printf '%s\n' "$depends" | grep -Eq "(^|[ ,])$dep([ ,(]|\$)" || fail "Depends lacks $dep"
done
dpkg-deb -f "$deb" Recommends | grep -Eq "(^|[ ,])qt6-wayland([ ,(]|\$)" || fail "Recommends lacks qt6-wayland"
if [ -e "$scratch/control/postinst" ]; then
    [ -x "$scratch/control/postinst" ] || fail "postinst is not executable"
    sh -n "$scratch/control/postinst" || fail "postinst has a syntax error"
fi

# --- The packaged binary starts --------------------------------------------
missing=$(ldd "$root/usr/bin/morvane-pwm" "$root/usr/bin/morvane-pwmctl" | grep 'not found')
[ -z "$missing" ] || fail "unresolved libraries: $missing"

# Without options it runs until its window is closed: let it run for a
# moment offscreen, then end it with SIGTERM. A clean exit (0) or death by
# that signal (143) count as started; a crash, an abort or a missing plugin
# do not. The private runtime directory keeps it from finding a running copy.
XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen \
    timeout --preserve-status -s TERM -k 5 3 "$root/usr/bin/morvane-pwm" </dev/null
status=$?
case $status in
0|143) echo "binary ran (exit status $status)" ;;
*) fail "binary ended with status $status" ;;
esac

# The packaged binary names the package's version.
version=$(XDG_RUNTIME_DIR=$scratch/runtime QT_QPA_PLATFORM=offscreen "$root/usr/bin/morvane-pwm" --version 2>/dev/null)
[ "$version" = "morvane-pwm $(dpkg-deb -f "$deb" Version)" ] || fail "--version says '$version'"

# The client finds no controller here and says so with its exit code 3; with
# no session bus it does not look for the program.
XDG_RUNTIME_DIR=$scratch/runtime DBUS_SESSION_BUS_ADDRESS=unix:path=$scratch/no-bus \
    timeout -k 5 10 "$root/usr/bin/morvane-pwmctl" status </dev/null >/dev/null 2>&1
status=$?
[ $status -eq 3 ] || fail "morvane-pwmctl status ended with $status, not 3 (no controller)"

echo "PASS"
