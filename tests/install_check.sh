#!/usr/bin/env bash
# `make install` stages correctly: installing the build into a temporary
# DESTDIR puts the program in PREFIX/bin and the manual page in
# PREFIX/share/man/man1, and the installed program runs.
# Usage: install_check.sh <build dir>
set -u
build=${1:?usage: install_check.sh <build dir>}
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
prefix=/usr/local

if ! DESTDIR="$stage" cmake --install "$build" --prefix "$prefix" >/dev/null; then
  echo "cmake --install into DESTDIR=$stage failed"
  exit 1
fi
failed=0
bin="$stage$prefix/bin/dorve"
page="$stage$prefix/share/man/man1/dorve.1"
[ -x "$bin" ] || { echo "not installed as an executable: $bin"; failed=1; }
[ -s "$page" ] || { echo "manual page not installed: $page"; failed=1; }
if [ -x "$bin" ]; then
  version=$("$bin" --version) || { echo "installed dorve --version failed"; failed=1; }
  case $version in
    "dorve "[0-9]*) ;;
    *) echo "installed dorve --version printed '$version'"; failed=1 ;;
  esac
fi
# Nothing lands outside the staging folder's PREFIX.
stray=$(cd "$stage" && find . -type f ! -path ".$prefix/*")
[ -z "$stray" ] || { echo "files installed outside $prefix: $stray"; failed=1; }
exit $failed
