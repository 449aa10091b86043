#!/usr/bin/env bash
# Says, in a line each, what usually keeps a serial tool from its port on Linux:
# no permission on the device, and ModemManager probing it. Exit status 1 when it found
# something.
port=$1
found=0
if [ ! -e "$port" ]; then
  echo "fwflash: $port does not exist. Connect the device, or set FWFLASH_COM1 to its port (for example FWFLASH_COM1=/dev/ttyUSB0 ./run)."
  exit 1
fi
if [ ! -r "$port" ] || [ ! -w "$port" ]; then
  group=$(stat -c %G "$port")
  echo "fwflash: no permission on $port. Join its group: sudo usermod -aG $group $USER, then log out and in again (a new login is needed)."
  found=1
fi
if command -v systemctl >/dev/null && systemctl is-active --quiet ModemManager 2>/dev/null; then
  echo "fwflash: ModemManager is running and may probe $port while fwflash uses it. Stop it for the download: sudo systemctl stop ModemManager."
  found=1
fi
exit $found
