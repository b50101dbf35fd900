#!/usr/bin/env bash
# The one place that installs Debian packages: installs those named as
# arguments that are not installed yet. Needs root for an install; otherwise
# it says what is missing and fails. No service that a package brings may
# start while it installs (a directory server above all).
#   usage: ensure-packages.sh [--no-recommends] PACKAGE...
set -euo pipefail

options=()
if [ "${1:-}" = --no-recommends ]; then
    options+=(--no-install-recommends)
    shift
fi

missing=()
for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "missing Debian packages: ${missing[*]} (run as root to install them)" >&2
    exit 1
fi

# Debian's maintainer scripts start services through invoke-rc.d, which asks
# policy-rc.d first: status 101 forbids every start while we install.
policy=/usr/sbin/policy-rc.d
saved=""
if [ -e "$policy" ]; then
    saved=$(mktemp)
    cp -p "$policy" "$saved"
fi
restore() {
    if [ -n "$saved" ]; then mv -f "$saved" "$policy"; else rm -f "$policy"; fi
}
trap restore EXIT
printf '#!/bin/sh\nexit 101\n' >"$policy"
chmod 755 "$policy"

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${options[@]}" "${missing[@]}" >/dev/null
