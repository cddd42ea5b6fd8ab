#!/usr/bin/env bash
# Writes the table of error texts that the scenario runner uses to give the expected debug
# messages Wine's words (run_scenario.sh): one line per result code, CODE, the simulated
# platform's text and the Windows platform's text under Wine, tab-separated, as the probe
# prints them.
#
#   make_error_texts.sh WINE_RUN PROBE.exe SCENARIO_DIR EXPECTED_DIR TABLE
#
# The codes are those the scenarios can make the service report: the "hresult" of every fault
# in SCENARIO_DIR/*.json, and every code that an expected debug file carries before a text
# (the codes the simulated platform answers of its own accord, such as a time-out, among
# them). So a new scenario brings its codes with it, and no list is kept by hand.
set -euo pipefail
if [ $# -ne 5 ]; then
  echo "usage: make_error_texts.sh WINE_RUN PROBE.exe SCENARIO_DIR EXPECTED_DIR TABLE" >&2
  exit 2
fi
wine_run=$1 probe=$2 scenario_dir=$3 expected_dir=$4 table=$5
for dir in "$scenario_dir" "$expected_dir"; do
  [ -d "$dir" ] || { echo "make_error_texts.sh: no such folder: $dir" >&2; exit 2; }
done

shopt -s nullglob
scenario_files=("$scenario_dir"/*.json)
debug_files=("$expected_dir"/*.debug)
if [ ${#scenario_files[@]} -eq 0 ]; then
  echo "make_error_texts.sh: no scenario files (*.json) in $scenario_dir" >&2
  exit 2
fi

# A fault's code is "0x" and one to eight hex digits, or an integer (a negative one included);
# the wait's "abandoned" and "failed" are no codes.
codes=$(perl -MJSON::PP -e '
  my %codes;
  for my $file (@ARGV) {
    open my $in, "<", $file or die "make_error_texts.sh: $file: $!\n";
    my $scenario = eval { JSON::PP->new->decode(do { local $/; <$in> }) };
    die "make_error_texts.sh: $file: not JSON: $@" unless defined $scenario;
    next unless ref $scenario eq "HASH" && ref $scenario->{faults} eq "ARRAY";
    my $index = 0;
    for my $fault (@{ $scenario->{faults} }) {
      my $hresult = ref $fault eq "HASH" ? $fault->{hresult} : undef;
      $hresult = undef if ref $hresult;  # true, false, an array or an object: no code
      if (defined $hresult && $hresult =~ /^0x([0-9A-Fa-f]{1,8})$/) {
        $codes{sprintf "0x%08x", hex $1} = 1;
      } elsif (defined $hresult && $hresult =~ /^-?[0-9]+$/) {
        $codes{sprintf "0x%08x", $hresult & 0xFFFFFFFF} = 1;
      } elsif (!defined $hresult || ($hresult ne "abandoned" && $hresult ne "failed")) {
        die "make_error_texts.sh: $file: faults[$index].hresult is no result code\n";
      }
      ++$index;
    }
  }
  print "$_\n" for sort keys %codes;
' "${scenario_files[@]}") || exit 2
if [ ${#debug_files[@]} -gt 0 ]; then
  codes+=$'\n'$(grep -oh '0x[0-9a-f]\{8\} - ' "${debug_files[@]}" | cut -c1-10 || true)
fi
codes=$(printf '%s\n' "$codes" | sed '/^$/d' | sort -u)
mkdir -p "$(dirname "$table")"
if [ -z "$codes" ]; then
  : >"$table"
  echo "make_error_texts.sh: no scenario reports a code: the table is empty ($table)" >&2
  exit 0
fi
count=$(printf '%s\n' "$codes" | wc -l)

# shellcheck disable=SC2086  # one argument per code
"$wine_run" "$probe" $codes >"$table.new"
lines=$(wc -l <"$table.new")
if [ "$lines" -ne "$count" ] || ! awk -F'\t' 'NF != 3 { exit 1 }' "$table.new"; then
  echo "make_error_texts.sh: the probe gave $lines lines of CODE, TEXT, TEXT for $count codes:" >&2
  head -5 "$table.new" >&2
  exit 1
fi
mv "$table.new" "$table"
echo "make_error_texts.sh: $count codes, of which Wine words these otherwise ($table):" >&2
awk -F'\t' '$2 != $3 { printf "  %s  \"%s\" -> \"%s\"\n", $1, $2, $3 }' "$table" >&2
