# shellcheck shell=bash disable=SC2034
# Shared by scripts/run.sh and scripts/test.sh (sourced, not run).

# Everything the native presets (default, asan, tsan) need to configure,
# build and test: compilers, CMake/Ninja, GoogleTest, Google Benchmark,
# CLI11, umockdev (virtual unit / hidraw tests); for the exports the JSON,
# zip and drawing libraries and a font, the tools the export tests read the
# files back with (xmllint, ogrinfo, rsvg-convert), and GPSBabel for the
# export benchmark, gputils (gpasm assembles the firmware tests' PIC
# programs). README.md says why each library is there.
BEXO_NATIVE_PACKAGES=(
  cmake ninja-build g++ pkg-config binutils
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev umockdev libumockdev-dev tzdata
  nlohmann-json3-dev libzip-dev libcairo2-dev fonts-dejavu-core
  libxml2-utils gdal-bin librsvg2-bin gpsbabel gputils
)
# The clang-release preset: a second compiler at the optimiser's full level,
# so that a warning only one compiler or level raises is caught in CI.
BEXO_CLANG_PACKAGES=(clang)
# The mingw preset: cross compiler, Wine to run the tests, Xvfb (+ xauth,
# which xvfb-run needs) for the X display Wine wants; ImageMagick and
# rsvg-convert make the program's icon, makensis its installer.
BEXO_WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64 xvfb xauth
  imagemagick librsvg2-bin nsis
)

bexo_say() { printf '\n==> %s\n' "$*"; }
bexo_die() { printf '\nERROR: %s\n' "$*" >&2; exit 1; }

# bexo_ensure_packages PKG...: installs the missing ones. apt-get (and its
# 'update' before) runs only when something is missing.
bexo_ensure_packages() {
  local missing=() p
  for p in "$@"; do
    if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != installed ]; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    echo "All ${#} required packages are installed."
    return 0
  fi
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || bexo_die "missing packages (${missing[*]}) and not root: install them as root"
    sudo=(sudo)
  fi
  bexo_say "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q ||
    bexo_die "apt-get update failed"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" </dev/null ||
    bexo_die "apt-get install failed: ${missing[*]}"
}
