#!/usr/bin/env bash
# Runs the steps of the package README's "Build, install, first application"
# exactly as they stand there, in a fresh copy of the source tree with a
# home folder of its own, then starts the first application they built and
# reads back from the database what it posted.
#   ReadmeSteps.sh <source folder> <work folder>
# KV_JOBS, when set, bounds the build's parallel jobs.
set -euo pipefail
source_dir=$1
work=$2

rm -rf "$work"
mkdir -p "$work/clone" "$work/home"
# A fresh clone: the files git knows, committed or not, and nothing built.
if git -C "$source_dir" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z -c -o --exclude-standard |
     while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
     tar --null -T - -cf -) | tar -C "$work/clone" -xf -
else
  tar -C "$source_dir" --exclude='./build*' -cf - . | tar -C "$work/clone" -xf -
fi

# The indented block below the heading, line by line as a reader types it.
steps=$(awk '/^## Build, install, first application/ { inside = 1; next }
             inside && /^    / { print substr($0, 5); found = 1; next }
             inside && found { exit }' "$source_dir/package/README.md")
if [[ -z $steps ]]; then
  echo "ReadmeSteps: no steps found in package/README.md" >&2
  exit 1
fi
printf 'steps:\n%s\n' "$steps"

export HOME=$work/home
export CMAKE_BUILD_PARALLEL_LEVEL=${KV_JOBS:-$(nproc)}
(cd "$work/clone" && bash -euo pipefail -x -c "$steps")

# The example, as the README starts it, but closing its window at once.
database=$HOME/first.fdb
output=$(cd "$work/clone" && QT_QPA_PLATFORM=offscreen build-example/FirstApplication "$database" --close)
expected="first    1 Apple 1.25
last     10 Plum 10.25
first    1 Apple 1.25
found    7 Kiwi 7.25
nearest  8 Lemon 8.25
posted   8 Lemon 9.99
window   First application: Lemon"
if [[ $output != "$expected" ]]; then
  printf 'ReadmeSteps: the first application said\n%s\ninstead of\n%s\n' "$output" "$expected" >&2
  exit 1
fi
# What it posted, as the engine reads it.
price=$(printf 'SELECT CAST(PRICE AS VARCHAR(20)) FROM PRODUCT WHERE ID = 8;\n' |
        isql-fb -q -user SYSDBA -password masterkey "$database" | awk 'NF && $1 != "CAST" && $1 !~ /^=/ { print $1 }')
if [[ $price != "9.99" ]]; then
  echo "ReadmeSteps: the database holds PRICE '$price' for ID 8, not 9.99" >&2
  exit 1
fi
rm -rf "$work"
echo "ReadmeSteps: the README's steps built, installed and ran the first application"
