#!/bin/sh
# The plugin's dynamic symbol table holds exactly the seven functions.
set -eu
lib="$1"
expected="GetKana GetMaker GetPluginAuthor GetPluginInfo GetPluginVersion GetTitle GetVersion"
actual=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TW]$/ {print $3}' | sed 's/@.*//' | sort | tr '\n' ' ' | sed 's/ $//')
if [ "$actual" != "$expected" ]; then
    echo "exports differ: $actual" >&2
    exit 1
fi
echo "exports: $actual"
