#!/bin/sh
# The simulation diverged: the response is infinite.
printf " inf" >> "$1"
