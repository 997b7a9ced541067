#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run Velmora.
# Quick no-op when everything is present: only missing packages are passed to apt-get.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  firebird3.0-server firebird3.0-server-core firebird3.0-utils firebird-dev libfbclient2
  libcurl4-openssl-dev libgsf-1-dev libxlsxwriter-dev libsqlcipher-dev sqlcipher
  python3-aiosmtpd python3-xlrd poppler-utils xvfb xauth
  fonts-dejavu-core fonts-noto-cjk
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
run() { if [ "$(id -u)" -ne 0 ]; then sudo -E "$@"; else "$@"; fi; }
# The server package tries to start a system service; without systemd that is refused harmlessly.
run apt-get update -qq
run apt-get install -y -qq --no-install-recommends "${missing[@]}"
