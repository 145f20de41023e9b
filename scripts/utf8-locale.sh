# shellcheck shell=bash
# Sourced by every script that starts Wine or Chromium. Both turn file names
# into bytes through the locale: under C or POSIX Wine cannot name
# "Über den Wolken.bmp" on the Unix side and Chromium saves "Ωmega.zip" as
# "download". A locale that is not UTF-8 is replaced with C.UTF-8, which every
# Debian 12 has; one that is UTF-8 already is kept.
if [ "$(locale charmap 2>/dev/null)" != UTF-8 ]; then
  if locale -a 2>/dev/null | grep -qiE '^c\.utf-?8$'; then
    export LC_ALL=C.UTF-8
  else
    echo "$(basename "$0"): the locale is not UTF-8 and C.UTF-8 is missing: file names with accents will fail (install the Debian package locales, or set LC_ALL to a UTF-8 locale)" >&2
  fi
fi
