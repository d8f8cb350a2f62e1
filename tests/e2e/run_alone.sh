#!/usr/bin/env bash
# Runs one end-to-end scenario with no Keyhaven.exe of an earlier one still around: the
# program runs once per user, so a leftover instance would take the new start over.
wine taskkill /F /IM Keyhaven.exe >/dev/null 2>&1
"$@"
code=$?
wine taskkill /F /IM Keyhaven.exe >/dev/null 2>&1
exit $code
