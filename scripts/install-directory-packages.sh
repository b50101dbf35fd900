#!/usr/bin/env bash
# OpenLDAP's client library headers, the JSON library, and the slapd package (for the schema
# files under /etc/ldap/schema and, for the tests, the server binary), and
# never a system directory server left running on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/ensure-packages.sh --no-recommends libldap-dev libsasl2-dev nlohmann-json3-dev slapd \
    ldap-utils openssl

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
