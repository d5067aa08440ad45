#!/usr/bin/env bash
# The shared objects export the public interface and nothing of the
# internals: no exported symbol may belong to a class that is defined outside
# the public headers (in the sources or the private headers).
#   exported_symbols.sh LIBRARY PUBLIC_HEADER_DIR PRIVATE_DIR... -- ANCHOR...
# Each ANCHOR (part of a demangled name, such as "FCurve::create(") must be
# exported, so that a library exporting nothing fails too.
set -euo pipefail
lib=$1 public=$2; shift 2
private=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do private+=("$1"); shift; done
shift || true

# Classes defined, with a body, outside the public headers; a forward
# declaration in a public header does not make a class public.
internal=$(grep -rhoE '^\s*(class|struct)\s+(ZENTHO_\w+\s+)?([A-Za-z_]\w*::)*[A-Za-z_]\w*\s*(final\s*)?[:{]' \
             --include='*.h' --include='*.cpp' "${private[@]}" |
           sed -E 's/^\s*(class|struct)\s+(ZENTHO_\w+\s+)?//; s/\s*(final\s*)?[:{]$//; s/.*:://' | sort -u)
public_defined=$(grep -rhoE '^\s*(class|struct)\s+(ZENTHO_\w+\s+)?[A-Za-z_]\w*\s*(final\s*)?[:{]' "$public" |
                 sed -E 's/^\s*(class|struct)\s+(ZENTHO_\w+\s+)?//; s/\s*(final\s*)?[:{]$//' | sort -u)
internal=$(comm -23 <(echo "$internal") <(echo "$public_defined"))
[ -n "$internal" ] || { echo "no internal classes found under ${private[*]}" >&2; exit 1; }

symbols=$(nm -D --defined-only -C "$lib" | sed -E 's/^[0-9a-f]* +[A-Za-z] +//')
[ -n "$symbols" ] || { echo "$lib exports nothing" >&2; exit 1; }

# A symbol belongs to the classes of its qualified name, template arguments
# and parameters left out: std::vector<Internal>::push_back is not a symbol of
# Internal, Selection::Internal::f is.
status=0
awk -v list="$internal" '
  BEGIN { n = split(list, names, "\n"); for (i = 1; i <= n; ++i) internal[names[i]] = 1 }
  {
    s = $0
    sub(/^(typeinfo name for|typeinfo for|vtable for|VTT for|guard variable for|non-virtual thunk to|virtual thunk to|construction vtable for) /, "", s)
    gsub(/operator(<<=|>>=|<<|>>|<=|>=|->\*|->|<|>)/, "operatorX", s)
    while (gsub(/<[^<>]*>/, "", s)) {}
    while (gsub(/\([^()]*\)/, "", s)) {}
    k = split(s, parts, "::")
    for (j = 1; j <= k; ++j) {
      if (parts[j] in internal) { print "internal symbol exported: " $0 > "/dev/stderr"; bad = 1; break }
    }
  }
  END { exit bad }' <<<"$symbols" || status=1

for anchor in "$@"; do
  grep -qF -- "$anchor" <<<"$symbols" || { echo "public symbol not exported: $anchor" >&2; status=1; }
done
[ $status -eq 0 ] && echo "$(basename "$lib"): $(wc -l <<<"$symbols") exported symbols, none internal"
exit $status
