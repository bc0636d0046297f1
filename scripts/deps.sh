#!/usr/bin/env bash
# Installs everything Vellumcraft, its tests and its benchmarks need on Debian 12.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config git clang libfuzzer-14-dev
  # Qt 6; qt6-translations-l10n holds qtbase_zh_CN.qm, Qt's own dialogs in Chinese
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-translations-l10n
  libgl-dev libxkbcommon-dev
  # barcodes
  libqrencode-dev libdmtx-dev
  # data sources
  libsqlite3-dev sqlite3 libpq-dev libmariadb-dev unixodbc-dev unixodbc
  libfreexl-dev libzip-dev mdbtools mdbtools-dev
  # the preview's kept rows, compressed
  liblz4-dev libzstd-dev
  # picture export: GIF writing, TIFF through Qt's image plugins
  libgif-dev libpng-dev qt6-image-formats-plugins
  # crypto
  nettle-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev libzxing-dev libzint-dev zint zbar-tools
  poppler-utils printemf emf2svg libxlsxwriter-dev python3-xlwt
  postgresql postgresql-contrib pgbouncer mariadb-server odbc-postgresql odbc-mariadb libsqliteodbc tdsodbc
  # an extension's C types under domains and ranges, which must leave statements resolved
  postgresql-15-postgis-3
  # time zones, for the date offsets across daylight-saving changes
  tzdata
  # the zh_CN.UTF-8 locale Qt's dialogs take their dates and sizes from
  locales
  # fonts: a metric-compatible stand-in for Arial and a CJK face
  fonts-liberation2 fonts-wqy-microhei fontconfig
  # icons of the user interface
  adwaita-icon-theme
  # the 计算器 command of the 工具 menu
  galculator
  # running the program headless
  xvfb xauth
)

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The program runs in the zh_CN.UTF-8 locale (scripts/run.sh): generated once.
if ! locale -a 2>/dev/null | grep -qiE '^zh_CN\.utf-?8$'; then
  if grep -qE '^# *zh_CN\.UTF-8 UTF-8' /etc/locale.gen; then
    $SUDO sed -i -E 's/^# *(zh_CN\.UTF-8 UTF-8)/\1/' /etc/locale.gen
  elif ! grep -qE '^zh_CN\.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  fi
  $SUDO locale-gen
fi
