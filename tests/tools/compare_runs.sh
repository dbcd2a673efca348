#!/usr/bin/env bash
# Runs two survseq commands on every parameter file of a directory and checks that they
# agree byte for byte: standard output, standard error, exit status and every file the
# run leaves in its working directory (the report named on line 14, and anything else).
#
# Usage:
#   tests/tools/compare_runs.sh DIR "COMMAND_A" "COMMAND_B"
#
#   DIR        directory holding the parameter files (*.par, not searched recursively)
#   COMMAND_A  reference command, e.g. "/work/baseline/build/survseq"
#   COMMAND_B  command under test, e.g. "build/survseq --threads 2"
#
# Each command runs through `bash -c` in a fresh empty directory of its own with the
# parameter file on standard input, so a command may carry options or be a small shell
# wrapper. A relative path as the first word (build/survseq) is taken relative to the
# directory you call this script from.
#
# Output: one line per mismatch ("MISMATCH design_0007.par: stdout differs (...)"), one
# line per run that ran out of time ("TIMEOUT ..."), the exit statuses seen for each
# command, the wall time and the slowest runs, and last a line "N passed, M failed"
# alone. Exit status 0 when every file
# passed, 1 on any mismatch or timeout, 2 on a usage error.
#
# Environment:
#   COMPARE_TIMEOUT  seconds allowed for one run (default 60); a run over it is a failure
#   COMPARE_JOBS     files compared at once, 1 or 2 (default 2; more is not allowed)
#   COMPARE_KEEP     1 keeps the outputs of every run, not only of the failing ones
#
# The outputs of failing runs are kept in a directory under ${TMPDIR:-/tmp} that the
# script names at the end; when every file passes nothing is left behind. Set TMPDIR to
# a directory of your own to keep these apart from other people's runs.
#
# Example, with random designs:
#   tests/tools/random_designs.py /tmp/designs --count 300 --seed 1
#   tests/tools/compare_runs.sh /tmp/designs /work/baseline/build/survseq build/survseq

set -uo pipefail

usage() {
  sed -n '2,/^$/s/^# \{0,1\}//p' "$0" >&2
  exit 2
}

[[ $# -eq 3 ]] || usage
design_dir=$1
[[ -d $design_dir ]] || { echo "compare_runs: no directory $design_dir" >&2; exit 2; }

timeout_seconds=${COMPARE_TIMEOUT:-60}
jobs=${COMPARE_JOBS:-2}
[[ $jobs =~ ^[12]$ ]] || { echo "compare_runs: COMPARE_JOBS must be 1 or 2" >&2; exit 2; }
[[ $timeout_seconds =~ ^[0-9]+$ && $timeout_seconds -gt 0 ]] ||
  { echo "compare_runs: COMPARE_TIMEOUT must be a whole number of seconds" >&2; exit 2; }

# The first word made absolute when it is a relative path, since every run changes
# directory; a command that cannot be found is refused here, as otherwise both commands
# would fail alike and every file would pass.
resolve() {
  local command=$1 first rest
  read -r first rest <<<"$command"
  if [[ $first == */* && $first != /* ]]; then
    first=$PWD/$first
    command="$first${rest:+ $rest}"
  fi
  local program=${first%%[;|&)]*}
  if ! command -v -- "$program" >/dev/null 2>&1; then
    echo "compare_runs: cannot run '$program'" >&2
    exit 2
  fi
  printf '%s' "$command"
}
command_a=$(resolve "$2") || exit 2
command_b=$(resolve "$3") || exit 2

mapfile -t designs < <(find "$(cd "$design_dir" && pwd)" -maxdepth 1 -type f -name '*.par' | sort)
[[ ${#designs[@]} -gt 0 ]] || { echo "compare_runs: no *.par files in $design_dir" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/compare_runs.XXXXXX")
export command_a command_b timeout_seconds work
export COMPARE_KEEP=${COMPARE_KEEP:-0}

# Compares one parameter file; writes the verdict lines to $work/<name>/verdict and the
# two exit statuses to $work/<name>/status.a and status.b.
compare_one() {
  local design=$1 name case side command status verdict=""
  name=$(basename "$design")
  case=$work/$name
  for side in a b; do
    mkdir -p "$case/$side/run"
    [[ $side == a ]] && command=$command_a || command=$command_b
    local began=$EPOCHREALTIME
    (cd "$case/$side/run" &&
      timeout -k 5 "$timeout_seconds" bash -c "$command" <"$design" >"../stdout" 2>"../stderr")
    status=$?
    echo "$status" >"$case/status.$side"
    awk -v a="$began" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f\n", b - a }' >"$case/seconds.$side"
    if [[ $status -eq 124 || $status -eq 137 ]]; then
      verdict+="TIMEOUT $name: the $([[ $side == a ]] && echo first || echo second) command"
      verdict+=" ran over ${timeout_seconds} s"$'\n'
    fi
  done

  local what difference
  for what in stdout stderr; do
    if ! difference=$(cmp -- "$case/a/$what" "$case/b/$what" 2>&1); then
      verdict+="MISMATCH $name: $what differs (${difference##*differ: })"$'\n'
    fi
  done
  if [[ $(<"$case/status.a") != $(<"$case/status.b") ]]; then
    verdict+="MISMATCH $name: exit status $(<"$case/status.a") against $(<"$case/status.b")"$'\n'
  fi

  local file
  while IFS= read -r file; do
    if [[ ! -e $case/a/run/$file ]]; then
      verdict+="MISMATCH $name: $file written by the second command only"$'\n'
    elif [[ ! -e $case/b/run/$file ]]; then
      verdict+="MISMATCH $name: $file written by the first command only"$'\n'
    elif ! difference=$(cmp -- "$case/a/run/$file" "$case/b/run/$file" 2>&1); then
      verdict+="MISMATCH $name: $file differs (${difference##*differ: })"$'\n'
    fi
  done < <( (cd "$case/a/run" && find . -type f; cd "$case/b/run" && find . -type f) |
    sed 's|^\./||' | sort -u)

  verdict=${verdict//"$case/"/}
  printf '%s' "$verdict" >"$case/verdict"
  if [[ -z $verdict && $COMPARE_KEEP != 1 ]]; then rm -rf "$case/a" "$case/b"; fi
}
export -f compare_one

started=$SECONDS
printf '%s\0' "${designs[@]}" |
  xargs -0 -n 1 -P "$jobs" bash -c 'compare_one "$1"' compare_one

passed=0
failed=0
for design in "${designs[@]}"; do
  name=$(basename "$design")
  if [[ ! -f $work/$name/verdict ]]; then
    echo "MISMATCH $name: the comparison did not finish"
    failed=$((failed + 1))
  elif [[ -s $work/$name/verdict ]]; then
    cat "$work/$name/verdict"
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done

for side in a b; do
  label=$([[ $side == a ]] && echo first || echo second)
  counts=$(cat "$work"/*/status.$side 2>/dev/null | sort -n | uniq -c |
    awk '{ printf "%s%s x%s", sep, $2, $1; sep = ", " }')
  echo "exit statuses of the $label command: $counts"
done
echo "$(( SECONDS - started )) s for ${#designs[@]} files, $jobs at a time; slowest runs:" \
  "$(for f in "$work"/*/seconds.?; do
       printf '%s %s\n' "$(<"$f")" "$(basename "$(dirname "$f")")"
     done | sort -rn | head -3 | awk '{ printf "%s%s %.1f s", sep, $2, $1; sep = ", " }')"

if [[ $failed -eq 0 && $COMPARE_KEEP != 1 ]]; then
  rm -rf "$work"
else
  echo "outputs kept in $work"
fi
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
