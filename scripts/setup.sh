#!/usr/bin/env bash
# Installs, from Debian's packages only, whatever building, testing and
# benchmarking Tandex needs. Each subsystem lists its packages in
# scripts/deps/*.txt; only the missing ones are installed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

wanted=$(cat "$here"/deps/*.txt | sed 's/#.*//' | tr -s ' \t' '\n' | sed '/^$/d' | sort -u)
missing=()
for p in $wanted; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The FTP tests' vsftpd logs its test user in through PAM, which wants a
# real account with a password and a shell listed in /etc/shells.
if ! id tdxftp >/dev/null 2>&1; then
  useradd -M -d / -s /bin/sh tdxftp
  echo 'tdxftp:tdxftp-test' | chpasswd
fi
