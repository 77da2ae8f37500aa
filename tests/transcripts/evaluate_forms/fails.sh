#!/bin/sh
# Answers like branin.sh while Pressure is below 5; beyond, leaves no answer.
awk '{ exit !($2 < 5) }' "$1" || exit 1
exec ./branin.sh "$1"
