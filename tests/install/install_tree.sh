#!/usr/bin/env bash
# Installs the build tree into a fresh temporary prefix for the tests that use the installed program.
set -euo pipefail
build=$1 prefix=$2
rm -rf "$prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
