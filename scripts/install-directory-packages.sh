#!/usr/bin/env bash
# Installs OpenLDAP's client library headers and the slapd package (for the
# schema files under /etc/ldap/schema and, for the tests, the server binary)
# without ever leaving a system directory server running on this machine.
set -euo pipefail

packages=(libldap-dev libsasl2-dev slapd ldap-utils)
missing=()
for pkg in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing Debian packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    # Debian's maintainer scripts start services through invoke-rc.d, which
    # asks policy-rc.d first: status 101 forbids every start while we install.
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
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    restore
    trap - EXIT
fi

# Whatever started a system server (an earlier install, a boot script), the
# tests never use it and nothing may keep listening for it.
if [ "$(id -u)" -eq 0 ] && pgrep -x slapd >/dev/null 2>&1; then
    if command -v service >/dev/null 2>&1; then
        service slapd stop >/dev/null 2>&1 || true
    fi
    pkill -x slapd 2>/dev/null || true
fi
