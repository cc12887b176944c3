#!/bin/bash
# Builds the Debian package from the build folder, unpacks it into a
# scratch root without root privileges, and runs the programs from there:
# they must find libengine.so and the cipher modules in the root's
# /usr/lib/tessarin alone, with nothing of the build folder on any search
# path, and encrypt and decrypt a file back to the same bytes.
#   package-test.sh BUILD-DIR CPACK VERSION WITH-GUI(0|1)
set -u
build=$1 cpack=$2 version=$3 with_gui=$4

fail=0
problem() {
  echo "FAIL: $*"
  fail=1
}
die() {
  echo "FAIL: $*"
  exit 1
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessarin-package.XXXXXX") || die "no scratch folder"
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
mkdir -p "$root"

# --- the package ------------------------------------------------------------
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; die "cpack failed"; }
debs=("$scratch"/pkg/tessarin_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { cat "$scratch/cpack.log"; die "no single tessarin_*.deb: ${debs[*]}"; }
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "tessarin_${version}-1_${arch}.deb" ] || problem "package file named $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tessarin ] || problem "Package: $(field Package)"
[ "$(field Version)" = "${version}-1" ] || problem "Version: $(field Version)"
[ "$(field Section)" = utils ] || problem "Section: $(field Section)"
[ "$(field Architecture)" = "$arch" ] || problem "Architecture: $(field Architecture)"
case $(field Maintainer) in
  *?' <'*@*'>') ;;
  *) problem "Maintainer is not a name and an address: $(field Maintainer)" ;;
esac
[ -n "$(field Description)" ] || problem "no Description"

# Depends: what dpkg-shlibdeps found, and the libraries the engine opens by
# name, which no linker records.
depends=$(field Depends | tr ',' '\n' | sed -E 's/^ +//; s/ .*//')
wanted="zlib1g libbz2-1.0 libqt6core6 libc6 libstdc++6"
[ "$with_gui" = 1 ] && wanted="$wanted libqt6widgets6 libqt6gui6 qt6-qpa-plugins"
for package in $wanted; do
  printf '%s\n' "$depends" | grep -qx -- "$package" || problem "Depends lacks $package: $(field Depends)"
done

# The files: the programs' folders and the shared data, nothing else.
listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./|/|' | sort)
wanted_files="/usr/bin/tessarin
/usr/lib/tessarin/libengine.so
/usr/lib/tessarin/libaes16.so
/usr/lib/tessarin/libaes24.so
/usr/lib/tessarin/libaes32.so
/usr/share/man/man1/tessarin.1.gz
/usr/share/bash-completion/completions/tessarin
/usr/share/doc/tessarin/copyright"
[ "$with_gui" = 1 ] && wanted_files="$wanted_files
/usr/bin/aes
/usr/share/man/man1/aes.1.gz
/usr/share/applications/tessarin.desktop
/usr/share/icons/hicolor/scalable/apps/tessarin.svg
/usr/share/metainfo/tessarin.metainfo.xml"
wanted_files=$(printf '%s\n' "$wanted_files" | sort)
[ "$listing" = "$wanted_files" ] || problem "the package holds
$listing
instead of
$wanted_files"
dpkg-deb -c "$deb" | awk '{ print $2 }' | grep -qv '^root/root$' && problem "files not owned by root in the package"

# --- unpacked into the scratch root, as a user ------------------------------
dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x failed"

# A user of the test's own, and no trace of the build: no library path, a
# plain PATH, the root's programs called by their full names.
home=$scratch/home
run=$scratch/run
mkdir -p "$home/.config" "$home/.local/state" "$home/.local/share" "$home/.cache" "$run" "$scratch/tmp"
chmod 700 "$run"
user_env=(env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$home"
  XDG_CONFIG_HOME="$home/.config" XDG_STATE_HOME="$home/.local/state"
  XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache"
  XDG_RUNTIME_DIR="$run" TMPDIR="$scratch/tmp")

tessarin=$root/usr/bin/tessarin
private=$root/usr/lib/tessarin

# Which files the dynamic loader opened, from its own report: each of ours
# must have been opened, and only from the root.
loaded_from_root() {
  local log=$1 what=$2 name paths path
  for name in "${@:3}"; do
    paths=$(grep -oE "/[^ ]*/$name( |\$)" "$log" | sed 's/ $//' | sort -u)
    [ -n "$paths" ] || problem "$what: $name was not loaded"
    for path in $paths; do
      [ "$(realpath "$path")" = "$private/$name" ] || problem "$what: $name came from $path, not from $private"
    done
  done
  grep -qF -- "$build/bin/" "$log" && problem "$what: the loader went to the build folder"
}

# The version report reads the modules' version blocks without loading
# them: it names what it found.
"${user_env[@]}" LD_DEBUG=files "$tessarin" --version >"$scratch/version.out" 2>"$scratch/version.ld" ||
  { cat "$scratch/version.out"; problem "tessarin --version failed"; }
for file in libengine.so libaes16.so libaes24.so libaes32.so; do
  grep -q "^$file $version " "$scratch/version.out" ||
    problem "--version does not report $file at version $version"
done
for file in libz.so.1 libbz2.so.1.0; do
  grep -q "^$file [0-9]" "$scratch/version.out" ||
    problem "--version does not report $file"
done
loaded_from_root "$scratch/version.ld" "--version" libengine.so

# Round trips through each cipher module: 128-bit blocks (libaes16.so) with
# gzip, 192 (libaes24.so) without compression, 256 (libaes32.so) with bzip2.
printf 'package test password\n' >"$scratch/password"
round_trip() {
  local module=$1 data=$scratch/data-$1
  shift
  local options=(--defaults --password-file "$scratch/password" --no-log "$@")
  mkdir "$data"
  head -c 200000 /dev/urandom >"$data/sample.bin"
  seq 1 20000 >>"$data/sample.bin"
  cp "$data/sample.bin" "$scratch/sample.orig"

  "${user_env[@]}" LD_DEBUG=files "$tessarin" -e "${options[@]}" "$data/sample.bin" \
    >"$scratch/encrypt.out" 2>"$scratch/encrypt.ld"
  local status=$?
  [ $status -eq 0 ] || { cat "$scratch/encrypt.out"; grep -v '^ *[0-9]*:' "$scratch/encrypt.ld"; problem "$module: encrypting ended with $status"; }
  local outputs=("$data"/*)
  [ ${#outputs[@]} -eq 1 ] && [ "${outputs[0]}" != "$data/sample.bin" ] ||
    problem "$module: encrypting left ${outputs[*]##*/}"
  local container=${outputs[0]}
  cmp -s "$container" "$scratch/sample.orig" && problem "$module: the container holds the plain bytes"
  loaded_from_root "$scratch/encrypt.ld" "$module" libengine.so "$module"

  "${user_env[@]}" "$tessarin" -d "${options[@]}" "$container" >"$scratch/decrypt.out" 2>&1
  status=$?
  [ $status -eq 0 ] || { cat "$scratch/decrypt.out"; problem "$module: decrypting ended with $status"; }
  cmp "$data/sample.bin" "$scratch/sample.orig" || problem "$module: the decrypted file differs from the original"
  [ ! -e "$container" ] || problem "$module: the container is still there after decrypting"
}
round_trip libaes16.so -k 128 -b 128 -m cbc -z gzip -l fast
round_trip libaes24.so -k 256 -b 192 -m ecb -z none
round_trip libaes32.so -k 192 -b 256 -m cfb -z bzip2 -l best
[ -z "$(ls -A "$home/.config")" ] || problem "tessarin wrote settings: $(ls -AR "$home/.config")"

# Without the module in the root, 256-bit blocks fail: nothing outside the
# root stands in for it.
rm "$private/libaes32.so"
"${user_env[@]}" "$tessarin" --version >"$scratch/missing-version.out" 2>&1
grep -qx "libaes32.so: ERROR(-30): Unable to load 'libaes32.so' or no version resource." "$scratch/missing-version.out" ||
  problem "--version finds libaes32.so when it is not in the root"
data=$scratch/data-libaes32.so
"${user_env[@]}" "$tessarin" -e --defaults --password-file "$scratch/password" --no-log -b 256 "$data/sample.bin" \
  >"$scratch/missing.out" 2>&1
status=$?
[ $status -ne 0 ] || problem "encrypting succeeded without libaes32.so in the root"
cmp -s "$data/sample.bin" "$scratch/sample.orig" || problem "a failed run changed the file"

# aes links libengine.so through the same run path; the loader's trace run
# resolves its libraries without starting it.
if [ "$with_gui" = 1 ]; then
  aes_libs=$("${user_env[@]}" LD_TRACE_LOADED_OBJECTS=1 "$root/usr/bin/aes" 2>&1)
  printf '%s\n' "$aes_libs" | grep -q 'not found' && problem "aes lacks libraries:
$aes_libs"
  engine=$(printf '%s\n' "$aes_libs" | awk '$1 == "libengine.so" { print $3 }')
  [ -n "$engine" ] && [ "$(realpath "$engine")" = "$private/libengine.so" ] ||
    problem "aes finds libengine.so at '$engine', not in $private"
fi

[ $fail -eq 0 ] && echo "package $(basename "$deb") installs and runs from a scratch root"
exit $fail
