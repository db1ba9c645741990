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
