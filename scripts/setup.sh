#!/usr/bin/env bash
# Installs every Debian package Rimo1 needs to build, test and run. Idempotent:
# packages already present are skipped, so a second run costs a few seconds.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev clang-format-14 python3 python3-tds
  freetds-dev freetds-bin
  libsqlite3-dev sqlite3
  libjpeg62-turbo-dev libjpeg-turbo-progs
  libx11-dev libxkbcommon-dev x11-xkb-utils xkb-data
  libxcb1-dev libxcb-res0-dev libxcb-xtest0-dev libproc2-dev
  xvfb xauth imagemagick xdg-utils openbox
  fonts-dejavu-core fonts-noto-core fonts-wine qt6-translations-l10n
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The format check as a pre-commit hook, in a git checkout that has no hook of its own yet.
root=$(cd "$(dirname "$0")/.." && pwd)
hooks=$(cd "$root" && git rev-parse --path-format=absolute --git-path hooks 2>/dev/null || true)
if [ -n "$hooks" ] && mkdir -p "$hooks" && [ ! -e "$hooks/pre-commit" ]; then
  ln -s "$root/scripts/pre-commit" "$hooks/pre-commit" 2>/dev/null || true
fi
