#!/usr/bin/env bash
# The source folders stack from the ground up:
#   base < numeric < data < optim < kriging < seqmin < interp   (main.cpp on top)
# A file may include headers of its own folder and of the folders below it,
# never of a folder above. Within the tree, no unit (a header with its source
# file) reaches itself through its includes. Below the command layer (interp)
# nothing ends the program itself: no call of exit, _exit, _Exit, quick_exit
# or abort; a fatal error unwinds to the command loop instead.
# Usage: check_layers.sh <source root>; prints each offence and fails.
set -u
src=${1:?usage: check_layers.sh <source root>}
layers=(base numeric data optim kriging seqmin interp)
status=0

rank() {
  local i
  for i in "${!layers[@]}"; do
    if [ "${layers[$i]}" = "$1" ]; then echo "$i"; return; fi
  done
  echo -1
}

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT

for file in "$src"/*/*.h "$src"/*/*.cpp; do
  [ -e "$file" ] || continue
  folder=$(basename "$(dirname "$file")")
  own=$(rank "$folder")
  if [ "$own" -lt 0 ]; then
    echo "$file: folder '$folder' has no place in the layer order"
    status=1
    continue
  fi
  unit="$folder/$(basename "${file%.*}")"
  while IFS= read -r target; do
    target_folder=${target%%/*}
    other=$(rank "$target_folder")
    if [ "$other" -gt "$own" ]; then
      echo "$file: includes \"$target\" from a layer above ($folder < $target_folder)"
      status=1
    fi
    target_unit=${target%.*}
    [ "$target_unit" != "$unit" ] && echo "$unit $target_unit" >>"$edges"
  done < <(sed -n -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]+"([^"]+)".*/\1/p' "$file")
done

# Calls that end the program, outside comments and string literals.
for file in "$src"/*/*.h "$src"/*/*.cpp; do
  [ -e "$file" ] || continue
  folder=$(basename "$(dirname "$file")")
  [ "$folder" = interp ] && continue
  sed -E -e 's://.*$::' -e 's/"([^"\\]|\\.)*"/""/g' "$file" |
    grep -n -E '(^|[^A-Za-z0-9_.>])(std::)?(exit|_exit|_Exit|quick_exit|abort)[[:space:]]*\(' |
    while IFS= read -r hit; do
      echo "$file:${hit%%:*}: ends the program below the command layer: ${hit#*:}"
    done | grep . && status=1
done

# tsort names the units of a circle on standard error.
if ! tsort "$edges" >/dev/null 2>"$edges.loop"; then
  echo "include circle among these units:"
  grep -v 'input contains a loop' "$edges.loop" | sed 's/^tsort: /  /'
  status=1
fi
rm -f "$edges.loop"
exit $status
