#!/usr/bin/env bash
# The set-up where something is wrong, as a user meets it: each case stops with
# its own message and the command that fixes it, and changes nothing it should
# not. The cases run in user and mount namespaces of their own (a fake
# os-release, a read-only or noexec build folder, no user namespaces left) and
# against apt sources of their own, so nothing on the machine changes.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
# What a calling ./veldrin passes on is decided afresh here.
unset VELDRIN_I386_WAY VELDRIN_I386_INSIDE VELDRIN_HOLDS VELDRIN_BUILD

# case NAME STATUS TEXT COMMAND...: COMMAND ends with STATUS, and TEXT is in its output.
case_() {
  local name=$1 want=$2 text=$3 out status=0
  shift 3
  out=$("$@" 2>&1) || status=$?
  if [[ $status -ne $want || $out != *"$text"* ]]; then
    printf 'FAILED %s: status %s (want %s), output:\n%s\n(wanted in it: %s)\n' "$name" "$status" "$want" "$out" "$text"
    failed=1
  else
    echo "ok     $name"
  fi
}
# Runs a shell command as root of a user and mount namespace of its own.
in_ns() { unshare --user --map-root-user --mount bash -c "$1"; }

# Stand-ins that record what would change the machine, and pass reading on.
mkdir -p "$work/bin" "$work/apt/parts" "$work/b"
printf '#!/bin/sh\n[ "$1" = indextargets ] && exec /usr/bin/apt-get "$@"\necho "apt-get $*" >>%s/changes\nexit ${APT_STATUS:-0}\n' "$work" >"$work/bin/apt-get"
printf '#!/bin/sh\n[ "$1" = --add-architecture ] || exec /usr/bin/dpkg "$@"\necho "dpkg $*" >>%s/changes\n' "$work" >"$work/bin/dpkg"
printf '#!/bin/sh\n[ "$1" = -n ] && exit 1\nexec "$@"\n' >"$work/bin/sudo"
chmod +x "$work"/bin/*
printf 'PRETTY_NAME="Ubuntu 24.04.1 LTS"\nID=ubuntu\nID_LIKE=debian\nVERSION_ID="24.04"\nVERSION_CODENAME=noble\n' >"$work/ubuntu"

refused() {
  in_ns "mount --bind $work/ubuntu /etc/os-release && PATH=$work/bin:\$PATH $root/tools/setup veldrin-not-installed" &&
    return 0
  local status=$?
  [[ ! -e $work/changes ]] || { echo "changed: $(cat "$work/changes")"; return 0; }
  return $status
}
case_ "another system is refused, unchanged" 1 "this is Ubuntu 24.04.1 LTS; the set-up installs packages on Debian 12 (bookworm) and
Debian 13 (trixie) only, and has changed nothing here" refused

# bookworm-backports, from the machine's own mirror and keyring, in apt's source folder.
printf 'Dir::Etc::sourcelist "%s/apt/list"; Dir::Etc::sourceparts "%s/apt/parts";\n' "$work" "$work" >"$work/apt.conf"
lan=$(printf 'Types: deb\nURIs: http://mirror.lan/debian-security\nSuites: bookworm-security\nComponents: main\n\n%b' \
  'Types: deb\nURIs: http://mirror.lan/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg')
backports() { # APT-STATUS SOURCES.LIST DEBIAN.SOURCES: the step against these sources, and what it added
  local status=0
  rm -f "$work"/apt/parts/*
  printf '%s\n' "$2" >"$work/apt/list"
  printf '%s\n' "$3" >"$work/apt/parts/debian.sources"
  (. "$root/tools/debian"; export APT_CONFIG=$work/apt.conf APT_STATUS=$1; os_codename=bookworm
    apt=("$work/bin/apt-get"); sudo=(); debian_add_backports) || status=$?
  cat "$work/apt/parts/veldrin-bookworm-backports.sources" 2>/dev/null || echo "no source added"
  return $status
}
case_ "backports from the machine's mirror, with its keyring" 0 "Types: deb
URIs: http://mirror.lan/debian/
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" \
  backports 0 "# deb http://deb.debian.org/debian bookworm-backports main" "$lan"
case_ "backports taken out again when apt cannot read it" 1 "a source for it added by hand.
no source added" backports 100 "" "$lan"
case_ "a one-line source's keyring" 0 "Signed-By: /etc/apt/keyrings/lan.gpg" \
  backports 0 "deb [arch=amd64 signed-by=/etc/apt/keyrings/lan.gpg] http://lan/debian bookworm main" ""
case_ "backports already read by apt: nothing added" 0 "no source added" \
  backports 0 "deb http://deb.debian.org/debian bookworm-backports main" "$lan"

# The i386 probe tells "no i386 code" only where i386 programs are refused.
printf '#!/bin/sh\nexit 126\n' >"$work/refuse" && chmod +x "$work/refuse"
printf '%s\n' ':refuse:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00::'"$work/refuse:" >"$work/handler"
refuse="mount -t binfmt_misc none /proc/sys/fs/binfmt_misc && cat $work/handler >/proc/sys/fs/binfmt_misc/register"
case_ "a handler refusing i386 programs: no i386 code" 1 "" in_ns "$refuse && VELDRIN_BUILD=$work/b $root/tools/i386 probe"
case_ "a read-only build folder is named" 2 "cannot write into the build folder $work/ro/b: Read-only file system" \
  in_ns "mkdir $work/ro && mount -t tmpfs -o ro none $work/ro && VELDRIN_BUILD=$work/ro/b $root/tools/i386 probe"
case_ "a noexec build folder is named" 2 "is mounted noexec.
  Build elsewhere (VELDRIN_BUILD=/some/folder ./veldrin test), or remount: sudo mount -o remount,exec $work/nx" \
  in_ns "mkdir $work/nx && mount -t tmpfs -o noexec none $work/nx && VELDRIN_BUILD=$work/nx $root/tools/i386 probe"
case_ "no user namespaces left: the setting and its fix" 1 "user.max_user_namespaces is 0. As root: sysctl -w user.max_user_namespaces=15000" \
  in_ns "echo 0 >/proc/sys/user/max_user_namespaces && VELDRIN_I386=emulated VELDRIN_BUILD=$work/b $root/tools/i386 way"
case_ "sudo without a password and no terminal" 1 "Run 'sudo -v' in a terminal first" \
  bash -c ". $root/tools/debian; PATH=$work/bin:\$PATH debian_check_sudo 'install' </dev/null"

# The entry script: never through sudo, one user and one run per build folder.
case_ "./veldrin through sudo" 1 "do not run ./veldrin through sudo" \
  in_ns "SUDO_USER=someone VELDRIN_BUILD=$work/b $root/veldrin setup"
case_ "another user's files in the build folder" 1 "holds files of nobody (such as $work/b/apt), made by a run as nobody" \
  in_ns "mkdir $work/b/apt && mount --bind /var/lib/apt/lists/partial $work/b/apt && VELDRIN_BUILD=$work/b $root/veldrin setup"
echo "./veldrin test, process 1 of someone" >"$work/b/run.lock"
exec 8<"$work/b/run.lock" && flock 8
case_ "a second run in one build folder" 75 "another run uses $work/b: ./veldrin test, process 1 of someone" \
  env VELDRIN_BUILD="$work/b" "$root/veldrin" setup 8<&-
exec 8<&-

# A prefix wineboot could not make is removed, so the next run makes it again.
printf '#!/bin/sh\n[ "$1" = -k ] || [ "$1" = -w ] && exit 0\necho "could not load kernel32.dll"; exit 1\n' >"$work/bin/wineboot"
cp "$work/bin/wineboot" "$work/bin/wineserver" && chmod +x "$work/bin/wineboot" "$work/bin/wineserver"
failing_prefix() {
  local status=0
  PATH=$work/bin:$PATH VELDRIN_I386_INSIDE=1 VELDRIN_BUILD=$work/b "$root/tools/wine-run" cmd /c exit || status=$?
  [[ ! -e $work/b/wine-prefix ]] && grep -q kernel32 "$work/b/wine-prefix-setup.log" || return 99
  return $status
}
case_ "a failed prefix is removed, its log kept" 1 "wineboot could not make the prefix (status 1); it is removed, and made again next time" failing_prefix

[[ $failed -eq 0 ]]
