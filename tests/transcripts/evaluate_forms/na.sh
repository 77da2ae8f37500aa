#!/bin/sh
# Answers NA: the simulation could not be run.
printf " NA" >> "$1"
