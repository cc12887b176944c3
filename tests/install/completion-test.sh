#!/bin/bash
# The bash completion of tessarin offers every long option that
# "tessarin --help" lists, the same values as the help for the options that
# take a choice, and file names where a file or a path goes.
#   completion-test.sh TESSARIN COMPLETION-SCRIPT
set -u
export LC_ALL=C
tessarin=$1 script=$2
fail=0

# shellcheck source=/dev/null
. "$script" || { echo "cannot source $script"; exit 1; }

# Completes the last of the given words, as bash would on Tab; the
# candidates come back sorted, one a line.
complete_words() {
  COMP_WORDS=(tessarin "$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tessarin
  printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort
}

expect() {
  local what=$1 wanted=$2 got=$3
  if [ "$wanted" != "$got" ]; then
    echo "$what: expected"
    printf '%s\n' "$wanted" | sed 's/^/    /'
    echo "  got"
    printf '%s\n' "$got" | sed 's/^/    /'
    fail=1
  fi
}

help=$("$tessarin" --help) || { echo "tessarin --help failed"; exit 1; }

longs=$(printf '%s\n' "$help" | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ -n "$longs" ] || { echo "no long options found in tessarin --help"; exit 1; }
expect "long options after --" "$longs" "$(complete_words --)"
expect "long options after --no-" "$(printf '%s\n' "$longs" | grep -- '^--no-')" "$(complete_words --no-)"

# The values the help names for an option, e.g. "key length: 128, 192 or
# 256" or "none, gzip or bzip2".
help_values() {
  printf '%s\n' "$help" | grep -E -- "^ +$1, " | sed -E 's/^ +-[a-z], --[a-z-]+ [A-Z]+ +//; s/^.*: //; s/ or /, /' |
    tr ',' '\n' | tr -d ' ' | sed '/^$/d' | sort
}
for short_long in -k:--key-bits -b:--block-bits -m:--mode -z:--compress -l:--level; do
  short=${short_long%%:*} long=${short_long#*:}
  wanted=$(help_values "$short")
  [ "$(printf '%s\n' "$wanted" | wc -l)" -ge 3 ] || { echo "cannot read the values of $long from --help"; fail=1; continue; }
  expect "values of $short" "$wanted" "$(complete_words "$short" '')"
  expect "values of $long" "$wanted" "$(complete_words "$long" '')"
  # "--level=" split at "=" as bash does, and as one word.
  expect "values of $long=" "$wanted" "$(complete_words "$long" = '')"
  expect "values of $long=x" "$wanted" "$(complete_words "$long=")"
done
expect "levels starting with f" "$(printf 'fast\nfastest')" "$(complete_words -l f)"

# File names in a folder of the test's own.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
# A name with a blank stays one candidate, and "*" is no wildcard.
mkdir "$work/some folder"
: >"$work/secret.txt"
: >"$work/with blank.txt"
: >"$work/*"
cd "$work" || exit 1
files=$(printf '*\nsecret.txt\nsome folder\nwith blank.txt' | sort)
expect "files after --password-file" "$files" "$(complete_words --password-file '')"
expect "files after --log" "$files" "$(complete_words -e --log '')"
expect "paths" "$files" "$(complete_words -e '')"
expect "paths starting with s" "$(printf 'secret.txt\nsome folder')" "$(complete_words -e s)"
: >"$work/-dash"
expect "paths after --" "$(printf '%s\n' -dash "$files" | sort)" "$(complete_words -e -- '')"
expect "a path after -- that starts with -" "-dash" "$(complete_words -e -- -)"
expect "no candidates for a pattern" "" "$(complete_words -p '')"
exit $fail
