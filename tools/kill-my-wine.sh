#!/usr/bin/env bash
# Ends, by PID, only the Wine processes that run in the given prefix.
set -u
prefix=${1:?usage: kill-my-wine.sh WINEPREFIX}
for d in /proc/[0-9]*; do
  exe=$(readlink "$d/exe" 2>/dev/null) || continue
  case "$exe" in /usr/lib/wine/*|*/wine-preloader|*/wine64-preloader|*/wineserver*) ;; *) continue ;; esac
  if tr '\0' '\n' 2>/dev/null <"$d/environ" | grep -qxF "WINEPREFIX=$prefix"; then
    kill "${d#/proc/}" 2>/dev/null || true
  fi
done
