#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build, test and run Velmora.
# Quick no-op when everything is present: one dpkg query, and only missing packages go to apt-get.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  # Firebird 3: embedded engine, client library and headers, the server binary for the test
  # server, and isql-fb/fbsvcmgr as independent readers
  firebird3.0-server firebird3.0-server-core firebird3.0-utils firebird-dev libfbclient2
  # mail, spreadsheets, encrypted customer search file
  libcurl4-openssl-dev libgmime-3.0-dev libgsf-1-dev libxlsxwriter-dev libsqlcipher-dev sqlcipher
  # Qt Designer plugin interfaces and QUiLoader (UiTools' CMake package needs the OpenGL module)
  qt6-tools-dev libqt6opengl6-dev
  # test tools: SMTP sink, spreadsheet and PDF readers, headless X for the demo
  python3 python3-aiosmtpd python3-xlrd python3-openpyxl poppler-utils xvfb xauth openssl
  # spreadsheets read back by a second, independent reader
  libreoffice-calc-nogui
  # libFuzzer harnesses (scripts/fuzz.sh)
  clang libclang-rt-14-dev
  # fonts for widgets, printing and PDF export (CJK names in the sample data)
  fonts-dejavu-core fonts-noto-cjk
)

missing=()
installed=$(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null | awk '/ install ok installed$/ {print $1}' || true)
for p in "${PACKAGES[@]}"; do
  if ! grep -qx -- "$p" <<<"$installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
run() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null; then sudo -E "$@"
  else echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2; exit 1
  fi
}
# The server package tries to start a system service; without systemd that is refused harmlessly
# (the tests start their own server, scripts/fbserver.sh).
run apt-get update -qq
run apt-get install -y -qq --no-install-recommends "${missing[@]}"
