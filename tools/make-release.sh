#!/usr/bin/env bash
# A product's release in one command: in OUT/NAME-VERSION/ the Windows programs and a zip
# of them, the Linux programs and a Debian package of them, a README for the customer and
# SHA256SUMS. fwflash-pack checks every input before anything is written there.
#
#   tools/make-release.sh --name NAME --firmware FILE [--picture BMP] [--texts FILE]
#                         [--version X.Y] [--port PATH] [--out DIR]
#                         [--sign NAME.key | --sign-command PROGRAM [--sign-arg ARG]... --key NAME.pub]
#                         [--counter N] [--region OFFSET:LENGTH]...
#
# --sign (or --sign-command, for a key in a hardware security module or a signing
# service) makes FILE, the raw application, a signed image of the reference bootloader
# with build/fwflash-boot-image: the release's version as X.Y.Z (2.1 is 2.1.0), the
# security counter N (required), the regions a production line may write; the image is
# checked with the public key (NAME.pub beside NAME.key, or --key) before it is packed.
# Without --name and --firmware: fwflash itself with its own payload. --version defaults
# to fwflash's, --out to the current directory. --port PATH: the desktop menu's entry
# starts the program with --port PATH (a cable's stable /dev/serial/by-id/ name), or
# with --port auto, which finds the device on the USB serial ports.
# The builds come from $FWFLASH_RELEASE_BUILD (build/) and $FWFLASH_RELEASE_WIN_BUILD
# (build-win32/); what they lack is built first. The package's maintainer is
# "$DEBFULLNAME <$DEBEMAIL>", as for Debian's own tools.
# Exit status: 0 done, 2 refused (nothing written), 1 another failure.
set -euo pipefail
umask 022
root=$(cd "$(dirname "$0")/.." && pwd)
templates=$root/tools/release
build=${FWFLASH_RELEASE_BUILD:-$root/build}
win_build=${FWFLASH_RELEASE_WIN_BUILD:-$root/build-win32}

name='' firmware='' picture='' texts='' version='' port='' out=.
sign='' sign_command='' key='' counter='' sign_args=() regions=()

refuse() {
  echo "make-release: $*" >&2
  exit 2
}

parse_options() {
  while [ $# -gt 0 ]; do
    case $1 in
      --name | --firmware | --picture | --texts | --version | --port | --out | --sign | --sign-command | --key | \
        --counter | --sign-arg | --region)
        if [ $# -lt 2 ] || [ -z "$2" ]; then refuse "$1 needs a value"; fi
        case $1 in
          --sign-arg) sign_args+=(--sign-arg "$2") ;;
          --region) regions+=(--region "$2") ;;
          *) local option=${1#--}; printf -v "${option//-/_}" '%s' "$2" ;;
        esac
        shift 2 ;;
      -h | --help) awk 'NR > 1 && !/^#/ {exit} NR > 1 {sub(/^# ?/, ""); print}' "$0"; exit 0 ;;
      *) refuse "unknown argument \"$1\" (see --help)" ;;
    esac
  done
}

project_version() {
  sed -n 's/^project(fwflash VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt"
}

check_options() {
  if [ -z "$name$firmware" ]; then
    name=fwflash
  elif [ -z "$name" ] || [ -z "$firmware" ]; then
    refuse "--name and --firmware go together"
  fi
  # A Debian package's name, and a file name on every system.
  [[ $name =~ ^[a-z][a-z0-9-]+$ ]] ||
    refuse "the name \"$name\" must be lower-case letters, digits and -, starting with a letter"
  version=${version:-$(project_version)}
  [[ $version =~ ^[0-9]+(\.[0-9]+)*$ ]] || refuse "the version \"$version\" must be numbers with dots, as 1.2"
  # It goes into the desktop entry's command line unquoted.
  [ -z "$port" ] || [ "$port" = auto ] || [[ $port =~ ^/[A-Za-z0-9._:/+-]+$ ]] ||
    refuse "the port \"$port\" must be auto or an absolute device path of letters, digits and ._:/+-"
  release=$name-$version
  [ ! -e "$out/$release" ] || refuse "$out/$release exists already"
  check_signing
}

# The signing options go together: one way to sign, a counter, a firmware to sign; the
# version as the signed header holds it, X.Y.Z.
check_signing() {
  if [ -z "$sign$sign_command" ]; then
    [ -z "$key$counter" ] && [ ${#sign_args[@]} -eq 0 ] && [ ${#regions[@]} -eq 0 ] ||
      refuse "--key, --counter, --sign-arg and --region sign: --sign or --sign-command is missing"
    return
  fi
  [ -z "$sign" ] || [ -z "$sign_command" ] || refuse "--sign or --sign-command, not both"
  [ -n "$firmware" ] || refuse "--sign needs --firmware, the application to sign"
  [ -n "$counter" ] || refuse "a signed release needs --counter N, its security counter"
  if [ -n "$sign" ]; then
    [ -z "$key" ] || refuse "--sign takes the public key beside NAME.key: no --key"
    [[ $sign == *.key ]] || refuse "--sign takes NAME.key, whose public key is NAME.pub"
    key=${sign%.key}.pub
  else
    [ -n "$key" ] || refuse "--sign-command needs --key NAME.pub"
  fi
  [ -f "$key" ] || refuse "no public key $key"
  [[ $version =~ ^[0-9]+(\.[0-9]+){0,2}$ ]] || refuse "the version \"$version\" of a signed release has at most three numbers"
  signed_version=$version
  while [[ $signed_version != *.*.* ]]; do signed_version+=.0; done
}

# sign_firmware: the application signed into an image of the reference bootloader, which
# then verifies with the public key. What fwflash-boot-image refuses (a region that is
# not blank, a key file that others may read, a version beyond X.Y.Z's range) is
# refused here, nothing written.
sign_firmware() {
  [ -n "$sign$sign_command" ] || return 0
  local how=(--sign "$sign")
  [ -z "$sign_command" ] || how=(--sign-command "$sign_command" "${sign_args[@]}" --key "$key")
  "$build/fwflash-boot-image" "$firmware" "$work/signed.img" "${how[@]}" --version "$signed_version" \
    --counter "$counter" "${regions[@]}" >"$work/sign.log" 2>&1 ||
    { cat "$work/sign.log" >&2; refuse "the firmware was not signed"; }
  "$build/fwflash-boot-image" --show "$work/signed.img" --key "$key" >"$work/show.log" 2>&1 ||
    { cat "$work/show.log" >&2; echo "make-release: the signed firmware does not verify with $key" >&2; exit 1; }
  firmware=$work/signed.img
}

# configure_once DIR [CMAKE OPTIONS]: a tree that was never configured.
configure_once() {
  local dir=$1
  shift
  [ -f "$dir/CMakeCache.txt" ] || cmake -S "$root" -B "$dir" -DFWFLASH_WERROR=ON "$@" >/dev/null
}

# build_programs: both trees' programs, rebuilt where their sources changed.
build_programs() {
  configure_once "$build"
  configure_once "$win_build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release
  { cmake --build "$build" -j "$(nproc)" --target fwflash fwflash-cli fwflash-pack &&
    cmake --build "$win_build" -j "$(nproc)" --target fwflash fwflash-cli; } >"$work/build.log" 2>&1 ||
    { cat "$work/build.log" >&2; echo "make-release: the build failed" >&2; exit 1; }
}

# pack PROGRAM OUT: PROGRAM with the product's payload; fwflash-pack refuses bad input.
pack() {
  local parts=() status=0
  [ -z "$firmware" ] || parts+=(--firmware "$firmware")
  [ -z "$picture" ] || parts+=(--picture "$picture")
  [ -z "$texts" ] || parts+=(--texts "$texts")
  if [ ${#parts[@]} -eq 0 ]; then
    cp "$1" "$2"
  else
    "$build/fwflash-pack" set "$1" -o "$2" "${parts[@]}" || status=$?
    [ $status = 0 ] || exit $status
  fi
}

# fill TEMPLATE: the template with each @KEY@ replaced by $REL_KEY.
fill() {
  perl -pe 's/@([A-Z_]+)@/defined $ENV{"REL_$1"} ? $ENV{"REL_$1"} : die "make-release: no value for $1\n"/ge' "$1"
}

# The programs, stripped as a Debian package's are, with the payload; the Linux desktop
# program first, since packing it checks every input.
make_programs() {
  local program
  for program in fwflash fwflash-cli; do
    strip --strip-unneeded --remove-section=.comment --remove-section=.note \
      -o "$work/$program" "$build/$program"
    pack "$work/$program" "$dir/${program/fwflash/$name}"
  done
  for program in fwflash fwflash-cli; do
    pack "$win_build/$program.exe" "$dir/${program/fwflash/$name}.exe"
  done
}

# The templates' values: the release's, and the package's dates and maintainer.
set_template_values() {
  local maintainer_name=${DEBFULLNAME:-fwflash release} date
  export REL_NAME=$name REL_VERSION=$version REL_FWFLASH_VERSION REL_ARCH REL_DEB REL_FIRMWARE
  REL_FWFLASH_VERSION=$(project_version)
  REL_ARCH=$(dpkg --print-architecture)
  REL_DEB=${name}_${version}_$REL_ARCH.deb
  REL_FIRMWARE=$("$build/fwflash-pack" show "$dir/$name" | sed -n 's/^firmware: //p')
  export REL_MAINTAINER_NAME=$maintainer_name
  export REL_MAINTAINER="$maintainer_name <${DEBEMAIL:-release@fwflash.example.org}>"
  date=${SOURCE_DATE_EPOCH:-$(date +%s)}
  export REL_DATE REL_YEAR REL_MAN_DATE
  REL_DATE=$(date -u -R -d "@$date")
  REL_YEAR=$(date -u +%Y -d "@$date")
  REL_MAN_DATE=$(date -u +%Y-%m-%d -d "@$date")
  set_text_values
}

# The values that shape the texts: the README's title and port, the man pages' names.
set_text_values() {
  export REL_UNDERLINE REL_MAN_NAME=${name//-/\\-} REL_MAN_NAME_UPPER
  REL_UNDERLINE=$(printf '%s' "$name $version" | sed 's/./=/g')
  REL_MAN_NAME_UPPER=$(printf '%s' "$REL_MAN_NAME" | tr a-z A-Z)
  export REL_EXEC_OPTIONS=${port:+ --port $port} REL_MENU_PORT=${port:+; the Linux menu entry starts it on
  $port}
  [ "$port" != auto ] || REL_MENU_PORT="; the Linux menu entry starts it with --port auto"
  export REL_TROUBLESHOOTING
  REL_TROUBLESHOOTING=$(troubleshooting)
}

# troubleshooting: README.md's "Troubleshooting on Linux" as plain text in the product's
# name, without the point about ./run, a developer's script.
troubleshooting() {
  awk '/^## /{on = /^## Troubleshooting on Linux/; next} on' "$root/README.md" |
    perl -0pe 's/^- [^\n]*\.\/run[^\n]*\n(  [^\n]*\n)*//mg; s/\*\*|`//g; s/\bfwflash\b/$ENV{REL_NAME}/g;
               s/^\s*\n//mg; s/^(?=.)/  /mg'
}

make_windows_zip() {
  fill "$templates/README.txt.in" >"$dir/README.txt"
  (cd "$dir" && zip -q -X "$release-windows.zip" "$name.exe" "$name-cli.exe" &&
    zip -q -X -l "$release-windows.zip" README.txt)  # its README with Windows line ends
}

# install_icons STAGE: the program's icon in the hicolor theme, one PNG per size of the
# Windows build's icon file.
install_icons() {
  local icon=$win_build/program/fwflash.ico size i=0
  for size in $(identify -format '%w ' "$icon"); do
    mkdir -p "$1/usr/share/icons/hicolor/${size}x$size/apps"
    convert "${icon}[$i]" -strip -define png:exclude-chunks=date,time \
      "png32:$1/usr/share/icons/hicolor/${size}x$size/apps/$name.png"
    i=$((i + 1))
  done
}

# stage_package STAGE: the package's files.
stage_package() {
  local stage=$1 doc=$1/usr/share/doc/$name man=$1/usr/share/man/man1
  install -D -m 0755 "$dir/$name" "$stage/usr/bin/$name"
  install -D -m 0755 "$dir/$name-cli" "$stage/usr/bin/$name-cli"
  mkdir -p "$stage/usr/share/applications" "$man" "$doc"
  fill "$templates/desktop.in" >"$stage/usr/share/applications/$name.desktop"
  install_icons "$stage"
  fill "$templates/program.1.in" | gzip -9n >"$man/$name.1.gz"
  fill "$templates/program-cli.1.in" | gzip -9n >"$man/$name-cli.1.gz"
  fill "$templates/debian/copyright.in" >"$doc/copyright"
  fill "$templates/debian/changelog.in" | gzip -9n >"$doc/changelog.gz"
}

# make_package: the Debian package, its dependencies found by dpkg-shlibdeps.
make_package() {
  local source=$work/source stage=$work/stage
  mkdir -p "$source/debian" "$stage/DEBIAN"
  stage_package "$stage"
  fill "$templates/debian/control.in" >"$source/debian/control"
  fill "$templates/debian/changelog.in" >"$source/debian/changelog"
  (cd "$source" &&
    dpkg-shlibdeps -Tdebian/substvars "$stage/usr/bin/$name" "$stage/usr/bin/$name-cli" &&
    dpkg-gencontrol -Tdebian/substvars -P"$stage")
  (cd "$stage" && find usr -type f | LC_ALL=C sort | xargs md5sum >DEBIAN/md5sums)
  dpkg-deb --build --root-owner-group "$stage" "$dir/$REL_DEB" >/dev/null
}

main() {
  parse_options "$@"
  check_options
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  dir=$work/$release
  mkdir "$dir"
  build_programs
  sign_firmware
  make_programs
  set_template_values
  make_windows_zip
  make_package
  (cd "$dir" && sha256sum -- "$name.exe" "$name-cli.exe" "$release-windows.zip" "$name" "$name-cli" \
    "$REL_DEB" README.txt >SHA256SUMS)
  mkdir -p "$out"
  mv "$dir" "$out/"
  echo "$out/$release"
}

main "$@"
