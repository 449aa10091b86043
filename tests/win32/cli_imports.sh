#!/usr/bin/env bash
# fwflash-cli.exe needs nothing beside the DLLs that come with Windows: it imports exactly
# these, PostgreSQL's client and the dashboard's server linked in.
#   cli_imports.sh FWFLASH-CLI.EXE
set -euo pipefail
expected="advapi32.dll kernel32.dll msvcrt.dll secur32.dll setupapi.dll shell32.dll ws2_32.dll"
imports=$(i686-w64-mingw32-objdump -p "${1:?usage: cli_imports.sh FWFLASH-CLI.EXE}" |
  awk '/DLL Name:/ { print tolower($3) }' | LC_ALL=C sort -u | paste -sd ' ')
[ "$imports" = "$expected" ] || { echo "FAIL: fwflash-cli.exe imports $imports, not $expected"; exit 1; }
echo "fwflash-cli.exe imports $imports"
