#!/usr/bin/env bash
# Builds a static, 32-bit MinGW-w64 libcrypto (OpenSSL) for the win32 build of
# lxagree and prints its install prefix as the last line of stdout.
#
# Debian ships no OpenSSL for MinGW, so we build one from Debian's own
# `openssl` source package. Only libcrypto.a is built, with everything the DES
# primitives do not need switched off, and the result is kept in a cache
# folder so that later runs return at once.
#
# Usage: scripts/build-libcrypto-mingw.sh [--force]
#   --force   rebuild even when the cache already holds a build
#
# Environment:
#   LXAGREE_MINGW_OPENSSL  prefix of an existing MinGW OpenSSL (must hold
#                          include/openssl/des.h and lib/libcrypto.a); when set,
#                          nothing is built and that prefix is printed.
#   LXAGREE_CACHE          cache root (default: $HOME/.cache/lxagree); the
#                          library goes to $LXAGREE_CACHE/openssl-mingw-i686.
#
# The source is fetched with apt through a private configuration (its own
# sources list derived from the machine's, its own lists and caches inside the
# cache folder): the machine's apt setup is never touched.
set -euo pipefail

readonly CROSS=i686-w64-mingw32
readonly SRC_PACKAGE=openssl

# Everything DES-ECB does not need. DES itself and the deprecated low-level
# API (DES_set_key_unchecked, DES_encrypt1) must stay enabled.
readonly OPENSSL_OPTIONS=(
  no-shared no-asm no-threads no-tests no-module no-dso no-engine
  no-dynamic-engine no-async no-autoload-config no-ui-console no-stdio
  no-sock no-dgram no-ssl no-tls no-dtls no-srtp no-psk no-nextprotoneg
  no-ktls no-ocsp no-ct no-cms no-cmp no-ts no-srp no-comp no-rfc3779
  no-aria no-bf no-blake2 no-camellia no-cast no-chacha no-poly1305 no-cmac
  no-dh no-dsa no-ec no-ec2m no-ecdh no-ecdsa no-sm2 no-sm3 no-sm4 no-gost
  no-idea no-md4 no-mdc2 no-ocb no-rc2 no-rc4 no-rc5 no-rmd160 no-scrypt
  no-seed no-siphash no-siv no-whirlpool no-legacy no-capieng no-padlockeng
  no-loadereng no-err no-filenames no-multiblock no-ssl-trace no-uplink
)

log() { printf '%s: %s\n' "${0##*/}" "$*" >&2; }
die() {
  log "error: $*"
  exit 1
}

has_openssl() { [[ -f "$1/include/openssl/des.h" && -f "$1/lib/libcrypto.a" ]]; }

force=0
case "${1:-}" in
  "") ;;
  --force) force=1 ;;
  -h | --help)
    sed -n '2,/^set -euo/{/^#/s/^# \{0,1\}//p}' "$0" >&2
    exit 0
    ;;
  *) die "unknown argument '$1' (try --help)" ;;
esac

# A MinGW OpenSSL the user already has wins over everything else.
if [[ -n "${LXAGREE_MINGW_OPENSSL:-}" ]]; then
  has_openssl "$LXAGREE_MINGW_OPENSSL" ||
    die "LXAGREE_MINGW_OPENSSL=$LXAGREE_MINGW_OPENSSL holds no include/openssl/des.h and lib/libcrypto.a"
  printf '%s\n' "$LXAGREE_MINGW_OPENSSL"
  exit 0
fi

if [[ -n "${LXAGREE_CACHE:-}" ]]; then
  cache_root=$LXAGREE_CACHE
else
  [[ -n "${HOME:-}" ]] || die "neither LXAGREE_CACHE nor HOME is set"
  cache_root=$HOME/.cache/lxagree
fi
mkdir -p "$cache_root" || die "cannot create cache folder $cache_root"
cache_root=$(cd "$cache_root" && pwd -P)
readonly cache_root
readonly prefix=$cache_root/openssl-mingw-i686
readonly stamp=$prefix/BUILD-INFO

if ((!force)) && has_openssl "$prefix" && [[ -f $stamp ]]; then
  printf '%s\n' "$prefix"
  exit 0
fi

# One build at a time per cache folder; a second caller waits and then finds
# the finished build.
if command -v flock >/dev/null; then
  exec 9>"$cache_root/.openssl-mingw-i686.lock"
  if ! flock -n 9; then
    log "another build is running in $cache_root, waiting for it"
    flock 9
  fi
  if ((!force)) && has_openssl "$prefix" && [[ -f $stamp ]]; then
    printf '%s\n' "$prefix"
    exit 0
  fi
fi

# ---------------------------------------------------------------- tools
as_root() {
  if ((EUID == 0)); then
    "$@"
  elif command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo -n "$@"
  else
    return 1
  fi
}

install_debs() {
  log "installing $* with apt-get"
  export DEBIAN_FRONTEND=noninteractive
  if ! as_root apt-get install -y --no-install-recommends "$@" >&2; then
    log "install failed, refreshing the package lists once and retrying"
    as_root apt-get update >&2 || die "apt-get update failed (are you root?)"
    as_root apt-get install -y --no-install-recommends "$@" >&2 ||
      die "could not install $* (run this as root, or install it by hand)"
  fi
}

missing=()
command -v dpkg-source >/dev/null || missing+=(dpkg-dev)
command -v make >/dev/null || missing+=(make)
command -v perl >/dev/null && perl -MIPC::Cmd -e1 2>/dev/null || missing+=(perl)
command -v "$CROSS-gcc" >/dev/null || missing+=(gcc-mingw-w64-i686)
command -v "$CROSS-ar" >/dev/null || missing+=(binutils-mingw-w64-i686)
if ((${#missing[@]})); then
  install_debs "${missing[@]}"
fi

# ---------------------------------------------------------------- workspace
# Leftovers of an interrupted run (we hold the lock, so nobody else owns them).
rm -rf "$cache_root"/.openssl-build.* "$cache_root"/.openssl-old.*
work=$(mktemp -d "$cache_root/.openssl-build.XXXXXX")
buildlog=$work/build.log
: >"$buildlog"
interrupted=0
on_exit() {
  local rc=$?
  if ((interrupted)); then
    log "interrupted; nothing was installed, the next run starts over"
  elif ((rc != 0)) && [[ -s $buildlog ]]; then
    cp -f "$buildlog" "$cache_root/openssl-mingw-i686.last-failure.log" 2>/dev/null || true
    log "last lines of the build log (full log: $cache_root/openssl-mingw-i686.last-failure.log):"
    tail -n 25 "$buildlog" | cut -c 1-400 >&2 || true
  fi
  rm -rf "$work"
  exit "$rc"
}
trap on_exit EXIT
trap 'interrupted=1; exit 130' INT
trap 'interrupted=1; exit 143' TERM

# ---------------------------------------------------------------- private apt
aptdir=$cache_root/apt
mkdir -p "$aptdir/sources.list.d" "$aptdir/lists/partial" \
  "$aptdir/cache/archives/partial"

# Every source the machine has, as a deb-src entry; options such as
# signed-by are kept as they are. CD-ROM entries cannot be fetched from.
new_list=$work/sources.list
: >"$new_list"
for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
  [[ -f $f ]] || continue
  sed -nE '/cdrom:/d; s/^[[:space:]]*deb(-src)?[[:space:]]+/deb-src /p' "$f" >>"$new_list"
done
awk '!seen[$0]++' "$new_list" >"$new_list.uniq" && mv "$new_list.uniq" "$new_list"

new_parts=$work/sources.list.d
mkdir -p "$new_parts"
for f in /etc/apt/sources.list.d/*.sources; do
  [[ -f $f ]] || continue
  # deb822: only the Types field changes; Signed-By (even an inline key
  # block), Enabled and the rest are copied verbatim.
  awk '
    /^[Tt]ypes:/ {
      if ($0 ~ /[[:space:]]deb([[:space:]]|$)/ || $0 ~ /[[:space:]]deb-src([[:space:]]|$)/)
        print "Types: deb-src"
      else
        print
      next
    }
    { print }' "$f" >"$new_parts/${f##*/}"
done

if ! grep -qs . "$new_list" && ! grep -qsi '^types:.*deb-src' "$new_parts"/*.sources; then
  die "no apt source found in /etc/apt/sources.list or /etc/apt/sources.list.d"
fi

# Refresh the private lists only when the sources changed or they are stale.
sources_changed=0
if ! cmp -s "$new_list" "$aptdir/sources.list"; then
  sources_changed=1
fi
if ! diff -rq "$new_parts" "$aptdir/sources.list.d" >/dev/null 2>&1; then
  sources_changed=1
fi
cp -f "$new_list" "$aptdir/sources.list"
rm -f "$aptdir/sources.list.d"/*
cp -f "$new_parts"/* "$aptdir/sources.list.d"/ 2>/dev/null || true

# Read after the machine's own configuration (so proxies and the like still
# apply); it only redirects apt to the private folders. The machine's update
# hooks are cleared: they are about the machine's lists, not ours.
[[ $aptdir != *'"'* ]] || die "the cache path must not contain a double quote: $aptdir"
{
  printf 'Dir::Etc::SourceList "%s";\n' "$aptdir/sources.list"
  printf 'Dir::Etc::SourceParts "%s";\n' "$aptdir/sources.list.d"
  printf 'Dir::State "%s";\n' "$aptdir"
  printf 'Dir::State::Lists "%s";\n' "$aptdir/lists"
  printf 'Dir::Cache "%s";\n' "$aptdir/cache"
  printf 'Dir::Cache::Archives "%s";\n' "$aptdir/cache/archives"
  printf '#clear APT::Update::Pre-Invoke;\n'
  printf '#clear APT::Update::Post-Invoke;\n'
  printf '#clear APT::Update::Post-Invoke-Success;\n'
  # The private folders usually live in the caller's home, which apt's
  # unprivileged download user cannot enter; download as the caller instead
  # of letting apt fall back to that with a warning.
  if ((EUID == 0)); then
    printf 'APT::Sandbox::User "root";\n'
  fi
} >"$aptdir/apt.conf"
apt_opts=(-c "$aptdir/apt.conf")

update_stamp=$aptdir/lists/.lxagree-updated
private_update() {
  log "refreshing the private apt source lists"
  # apt-get update also exits 0 when some sources are unreachable; what
  # matters is whether it found openssl sources, checked by the caller.
  if ! apt-get "${apt_opts[@]}" update >>"$buildlog" 2>&1; then
    log "warning: apt-get update reported errors (see the log); going on with what it got"
  fi
  touch "$update_stamp"
}

list_versions() {
  # Newest first, by Debian's own ordering.
  local -a vs=()
  local v i j tmp
  while read -r v; do
    [[ -n $v ]] && vs+=("$v")
  done < <(apt-cache "${apt_opts[@]}" showsrc --only-source "$SRC_PACKAGE" 2>>"$buildlog" |
    sed -n 's/^Version: //p' | sort -u)
  for ((i = 1; i < ${#vs[@]}; i++)); do
    for ((j = i; j > 0; j--)); do
      if dpkg --compare-versions "${vs[j]}" gt "${vs[j - 1]}"; then
        tmp=${vs[j]}
        vs[j]=${vs[j - 1]}
        vs[j - 1]=$tmp
      else
        break
      fi
    done
  done
  ((${#vs[@]})) && printf '%s\n' "${vs[@]}"
  return 0
}

# Tries each listed version, newest first; the mirror may not carry every
# version its index names.
fetch_source() {
  local v n=0
  local -a versions
  mapfile -t versions < <(list_versions)
  if ((${#versions[@]} == 0)); then
    log "no '$SRC_PACKAGE' source package in the configured apt sources"
    return 1
  fi
  log "source versions listed: ${versions[*]}"
  for v in "${versions[@]}"; do
    n=$((n + 1))
    rm -rf "$work/dl"
    mkdir -p "$work/dl"
    log "fetching $SRC_PACKAGE $v"
    if (cd "$work/dl" && apt-get "${apt_opts[@]}" source --download-only --only-source \
      "$SRC_PACKAGE=$v") >>"$buildlog" 2>&1; then
      fetched_version=$v
      return 0
    fi
    log "  $v could not be downloaded, trying the next one"
  done
  return 1
}

fetch_start=$SECONDS
if ((sources_changed)) || [[ ! -f $update_stamp ]] ||
  [[ -n $(find "$update_stamp" -mmin +1440 2>/dev/null) ]]; then
  private_update
  fetched_fresh=1
else
  fetched_fresh=0
fi
fetched_version=
if ! fetch_source; then
  if ((fetched_fresh)); then
    die "could not download any version of the '$SRC_PACKAGE' source package"
  fi
  private_update
  fetch_source || die "could not download any version of the '$SRC_PACKAGE' source package"
fi
fetch_time=$((SECONDS - fetch_start))

# ---------------------------------------------------------------- unpack
dsc=$(find "$work/dl" -maxdepth 1 -name "${SRC_PACKAGE}_*.dsc" | head -n 1)
[[ -n $dsc ]] || die "download of $SRC_PACKAGE $fetched_version left no .dsc file"
log "unpacking $(basename "$dsc") (with Debian's patches)"
# apt already checked the files against the signed index; a missing
# debian-keyring only makes dpkg-source warn about the .dsc signature.
dpkg-source -x "$dsc" "$work/src" >>"$buildlog" 2>&1 || die "dpkg-source -x $dsc failed"

# ---------------------------------------------------------------- build
build_start=$SECONDS
jobs=$(nproc 2>/dev/null || echo 2)
log "configuring OpenSSL $fetched_version for mingw (i686, static libcrypto only)"
(
  cd "$work/src"
  # The cross tools come from the prefix alone; stray host settings must not
  # leak in.
  unset CC CXX CFLAGS CPPFLAGS LDFLAGS AR RANLIB RC CROSS_COMPILE
  perl Configure mingw --cross-compile-prefix="$CROSS-" \
    --prefix="$prefix" --libdir=lib --openssldir="$prefix/ssl" \
    "${OPENSSL_OPTIONS[@]}"
) >>"$buildlog" 2>&1 || die "OpenSSL Configure failed"

log "building libcrypto.a with make -j$jobs"
(
  cd "$work/src"
  unset MAKEFLAGS MFLAGS
  # The generated headers must exist before any object is compiled.
  make -j"$jobs" build_generated
  make -j"$jobs" libcrypto.a
) >>"$buildlog" 2>&1 || die "building libcrypto.a failed"
build_time=$((SECONDS - build_start))

"$CROSS-nm" -g "$work/src/libcrypto.a" >"$work/symbols.txt" 2>/dev/null ||
  die "cannot list the symbols of the built libcrypto.a"
for sym in DES_set_key_unchecked DES_encrypt1 DES_ecb_encrypt; do
  grep -Eq " T _?$sym\$" "$work/symbols.txt" || die "the built libcrypto.a lacks $sym"
done

# ---------------------------------------------------------------- install
stage=$work/prefix
mkdir -p "$stage/include/openssl" "$stage/lib"
cp -p "$work/src/libcrypto.a" "$stage/lib/"
# Public headers, generated ones included (configuration.h, opensslv.h, ...).
find "$work/src/include/openssl" -maxdepth 1 -name '*.h' -exec cp -p {} "$stage/include/openssl/" \;
cat >"$stage/BUILD-INFO" <<EOF
package: $SRC_PACKAGE $fetched_version (Debian source package)
target: mingw (i686), cross prefix $CROSS-
options: ${OPENSSL_OPTIONS[*]}
compiler: $("$CROSS-gcc" --version | head -n 1)
built: $(date -u +%Y-%m-%dT%H:%M:%SZ)
EOF

# Swap the new build in; a build already in place is only removed once the
# new one is complete.
if [[ -e $prefix ]]; then
  old=$(mktemp -d "$cache_root/.openssl-old.XXXXXX")
  mv "$prefix" "$old/"
fi
mv "$stage" "$prefix"
rm -rf "$cache_root"/.openssl-old.*
rm -f "$cache_root/openssl-mingw-i686.last-failure.log"

log "OpenSSL $fetched_version libcrypto.a ready: fetch ${fetch_time}s, build ${build_time}s"
printf '%s\n' "$prefix"
