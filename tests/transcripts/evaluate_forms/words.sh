#!/bin/sh
# Answers with a word instead of a number.
printf " nothing" >> "$1"
