#!/usr/bin/env bash
# Checks that "ormpack --version" prints the project's version.
# Usage: check_version.sh VERSION COMMAND... (the command that runs ormpack)
set -euo pipefail
version=$1
shift
got=$("$@" --version | tr -d '\r')
if [ "$got" != "ormpack $version" ]; then
  echo "printed [$got], expected [ormpack $version]"
  exit 1
fi
echo "$got"
