#!/usr/bin/env bash
# Builds PostgreSQL's client library, libpq, for the Windows build from Debian's
# postgresql-15 source package: configured for MinGW without TLS, Kerberos, LDAP, zlib
# or ICU; src/include, src/common, src/port and src/interfaces/libpq built. Writes
# OUT_DIR/include (libpq-fe.h and the two headers it takes), OUT_DIR/lib (libpq.a,
# libpgcommon_shlib.a, libpgport_shlib.a) and VERSION (the package's version); does
# nothing when they are there. About a minute on two cores.
#   tools/libpq/build-libpq.sh OUT_DIR
set -euo pipefail
out=${1:?usage: build-libpq.sh OUT_DIR}
[ -s "$out/VERSION" ] && exit 0
root=$(cd "$(dirname "$0")/../.." && pwd)

source "$root/tools/install-packages.sh"
install_missing_packages dpkg-dev gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 make

mkdir -p "$out"
work=$(mktemp -d "$out/source.XXXXXX")
trap 'rm -rf "$work"' EXIT
log=$work.log
host=i686-w64-mingw32

# On Windows libpq.a is only the import library of libpq.dll: the archive is made anew
# from libpq's own objects. Their pthread-win32.o defines pthread functions of its own,
# which clash with MinGW's winpthreads (std::thread, std::mutex); they are renamed
# throughout the archive (i686's symbols carry a leading underscore), so that each side
# keeps its own implementation.
static_libpq() {  # DIR: src/interfaces/libpq, built
  local dir=$1 objects
  objects=$(cd "$dir" && ls fe-*.o legacy-pqsignal.o libpq-events.o pqexpbuffer.o win32.o pthread-win32.o)
  "$host-nm" --defined-only "$dir/pthread-win32.o" |
    awk '$2 == "T" && $3 ~ /^_pthread_/ { print $3, "_fwflash_pq" $3 }' >"$dir/pthread.map"
  [ -s "$dir/pthread.map" ] || { echo "pthread-win32.o defines no pthread function"; return 1; }
  rm -f libpq.a
  (cd "$dir" && "$host-ar" rcs "$OLDPWD/libpq.a" $objects) &&
    "$host-objcopy" --redefine-syms="$dir/pthread.map" libpq.a
}

# Runs in $work. The tools configure and make build for this machine (zic, the keyword
# tables) do not get a caller's CC or flags.
build() {
  local version tree
  version=$("$root/tools/debian-source.sh" postgresql-15 postgresql-15) || return 1
  tree=$(find . -mindepth 1 -maxdepth 1 -type d -name 'postgresql-15-*')
  [ -x "$tree/configure" ] || { echo "apt-get source postgresql-15 gave no source tree"; return 1; }
  local clean=(env -u CC -u CFLAGS -u CPPFLAGS -u LDFLAGS -u MAKEFLAGS -u MFLAGS -u MAKELEVEL)
  (cd "$tree" &&
    "${clean[@]}" ./configure --host=$host CC=$host-gcc-posix --without-readline --without-zlib \
      --without-icu --without-openssl --without-ldap --without-gssapi &&
    "${clean[@]}" make -C src/include -j "$(nproc)" &&
    "${clean[@]}" make -C src/common -j "$(nproc)" libpgcommon_shlib.a &&
    "${clean[@]}" make -C src/port -j "$(nproc)" libpgport_shlib.a &&
    "${clean[@]}" make -C src/interfaces/libpq -j "$(nproc)") || return 1
  static_libpq "$tree/src/interfaces/libpq" || return 1
  mkdir -p include lib &&
    cp "$tree/src/interfaces/libpq/libpq-fe.h" "$tree/src/include/postgres_ext.h" \
       "$tree/src/include/pg_config_ext.h" include/ &&
    cp libpq.a "$tree/src/common/libpgcommon_shlib.a" "$tree/src/port/libpgport_shlib.a" lib/ &&
    echo "$version" >VERSION
}
echo "libpq for MinGW: apt-get source postgresql-15, configure, make (log: $log)"
started=$SECONDS
(cd "$work" && build) >"$log" 2>&1 ||
  { tail -n 30 "$log" >&2; echo "build-libpq: failed (log: $log)" >&2; exit 1; }

# The folders land whole (a rename), VERSION last: its presence says the rest is there.
for folder in include lib; do
  rm -rf "${out:?}/$folder" && mv "$work/$folder" "$out/$folder" ||
    { echo "build-libpq: cannot write $out/$folder" >&2; exit 1; }
done
cp "$work/VERSION" "$out/VERSION.tmp" && mv "$out/VERSION.tmp" "$out/VERSION"
rm -f "$log"
echo "libpq $(cat "$out/VERSION") in $out ($((SECONDS - started)) s)"
