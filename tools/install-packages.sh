# Installs the Debian packages that building, running and testing fwflash need, when
# any is missing, and makes Debian 12's source packages known to apt (the Windows build
# makes SQLite from sqlite3's source: tools/sqlite/; the bootloader's crypto comes from
# libsodium's: tools/sodium/). Sourced by ./run and ./test.
fwflash_packages=(
  cmake g++ make pkg-config libgtest-dev libbenchmark-dev
  libfltk1.3-dev fluid libxft-dev libxcursor-dev libxinerama-dev libfontconfig-dev
  xvfb xauth xdotool xclip x11-utils imagemagick clang libclang-rt-14-dev
  libcli11-dev nlohmann-json3-dev libtoml11-dev tmux strace
  g++-mingw-w64-i686-posix googletest wine wine32:i386 tcl python3
  metacity x11-xserver-utils
  dpkg-dev lintian zip man-db
  libsqlite3-dev sqlite3 libpq-dev postgresql-15
  libcpp-httplib-dev chromium chromium-driver python3-selenium
  gcc-avr avr-libc qemu-system-misc gcc-arm-none-eabi qemu-system-arm
  libsodium-dev
)

install_missing_packages() {
  "$(dirname "${BASH_SOURCE[0]}")/sqlite/add-debian-sources.sh" || return 1
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  # wine32 is a package of the i386 architecture, which apt must know first.
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
