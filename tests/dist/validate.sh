#!/bin/sh
# validate.sh desktop|metainfo|udev|svg FILE
# Runs the system's validator for one of the files the tool installs.
# Exits 77 (skipped) when the validator is not installed.
set -u
kind=$1
file=$2

need() {
    command -v "$1" >/dev/null 2>&1 && return 0
    echo "SKIP: $1 is not installed"
    exit 77
}

fail() {
    echo "FAIL: $file: $*"
    exit 1
}

case $kind in
desktop)
    need desktop-file-validate
    desktop-file-validate "$file" || fail "desktop-file-validate reported problems"
    ;;
metainfo)
    need appstreamcli
    # --strict fails on every issue above the pedantic level.
    appstreamcli validate --no-net --strict --explain "$file" || fail "appstreamcli reported problems"
    ;;
udev)
    need udevadm
    if udevadm verify --help >/dev/null 2>&1; then
        udevadm verify --resolve-names=never "$file" || fail "udevadm verify reported problems"
    fi
    # Older udev has no verifier: check the parts that decide whether the
    # rule works at all. One rule line, on the hidraw node, granting access
    # through the seat (uaccess) rather than to everybody.
    rule=$(grep -v '^[[:space:]]*#' "$file" | grep -v '^[[:space:]]*$')
    [ "$(printf '%s\n' "$rule" | wc -l)" -eq 1 ] || fail "expected exactly one rule line"
    for key in 'KERNEL=="hidraw\*"' 'SUBSYSTEM=="hidraw"' 'ATTRS{idVendor}=="[0-9a-f]\{4\}"' \
               'ATTRS{idProduct}=="[0-9a-f]\{4\}"' 'TAG+="uaccess"'; do
        printf '%s\n' "$rule" | grep -q "$key" || fail "missing $key"
    done
    printf '%s\n' "$rule" | grep -q 'MODE' && fail "sets MODE; access must come from uaccess"
    # uaccess becomes an ACL in 73-seat-late.rules: this rule must run first.
    number=$(basename "$file" | sed -n 's/^\([0-9][0-9]\)-.*\.rules$/\1/p')
    [ -n "$number" ] || fail "file name must be NN-name.rules"
    [ "$number" -lt 73 ] || fail "numbered $number, must sort before 73-seat-late.rules"
    ;;
svg)
    need xmllint
    xmllint --noout "$file" || fail "not well-formed XML"
    root=$(xmllint --xpath 'name(/*)' "$file") || fail "no root element"
    [ "$root" = svg ] || fail "root element is $root, not svg"
    viewbox=$(xmllint --xpath 'string(/*/@viewBox)' "$file")
    printf '%s\n' "$viewbox" | grep -Eq '^0 0 ([0-9]+) \1$' || fail "viewBox '$viewbox' is not a square from 0 0"
    ;;
*)
    echo "usage: validate.sh desktop|metainfo|udev|svg FILE"
    exit 2
    ;;
esac
echo "PASS: $file"
