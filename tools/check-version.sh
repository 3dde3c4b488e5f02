#!/bin/sh
# The one version, as the native build shows it: vintrell-find --version, the
# manual page, the package CPack makes; and the licence's copyright line is the
# dialog's. (The Windows files' version resources and the dialog's label are
# checked under Wine by vintrell-release-check.)
#   check-version.sh VERSION VINTRELL-FIND MANUAL-PAGE CPACK-CONFIG SOURCE-DIR
set -u
version=$1 find=$2 man=$3 cpack=$4 source=$5
passed=0 failed=0
check() {  # what, seen, wanted
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1)); echo "ok    $1"
  else
    failed=$((failed + 1)); echo "FAIL  $1"; echo "      seen \"$2\", wanted \"$3\""
  fi
}

check "vintrell-find --version" "$("$find" --version)" "vintrell-find $version"
check "the manual page's title line names the version" \
  "$(sed -n 's/^\.TH VINTRELL-FIND 1 "[^"]*" "\([^"]*\)".*/\1/p' "$man")" "Vintrell $version"
check "the package's version" \
  "$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$cpack")" "$version"
check "the package's name" "$(sed -n 's/^set(CPACK_PACKAGE_NAME "\(.*\)")$/\1/p' "$cpack")" \
  vintrell-find
line=$(sed -n 's/^#define VINTRELL_COPYRIGHT_LINE "\(.*\)"$/\1/p' "$source/src/app/maker.h")
check "the dialog's copyright line" "$line" "Copyright (c) 2026 Quorvastel"
check "the licence carries the dialog's copyright line" "$(grep -x "$line" "$source/LICENSE")" "$line"
check "the manual page carries the copyright line" \
  "$(grep -c "^$line\\." "$man")" 1

echo "$passed passed, $failed failed, 0 skipped"
[ "$failed" -eq 0 ]
