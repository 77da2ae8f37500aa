#!/bin/sh
# The simulation failed: the response is missing.
printf " NA" >> "$1"
