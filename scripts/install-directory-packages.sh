#!/usr/bin/env bash
# Installs OpenLDAP's client library headers and the slapd package (for the
# schema files under /etc/ldap/schema and, for the tests, the server binary)
# without ever leaving a system directory server running on this machine.
set -euo pipefail

packages=(libldap-dev libsasl2-dev slapd ldap-utils openssl)
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

# Whatever started the system server (an earlier install, a boot script),
# the tests never use it and nothing may keep listening for it. Only that
# server is stopped, by the pid it recorded: a test's own servers run from
# other folders and are left alone.
if [ "$(id -u)" -eq 0 ]; then
    for pidfile in /run/slapd/slapd.pid /var/run/slapd/slapd.pid; do
        if [ -s "$pidfile" ]; then
            pid=$(cat "$pidfile")
            if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = slapd ]; then
                kill "$pid" 2>/dev/null || true
            fi
        fi
    done
fi
