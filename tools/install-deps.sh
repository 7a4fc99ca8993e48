#!/bin/sh
# Installs the Debian packages given as arguments that are not installed yet (as root).
# Only Debian's own package archive is used.
set -e
missing=""
for package in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" != "0" ]; then
    echo "install-deps: these Debian packages are missing and only root can install them:$missing" >&2
    exit 1
fi
echo "install-deps: installing$missing"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
