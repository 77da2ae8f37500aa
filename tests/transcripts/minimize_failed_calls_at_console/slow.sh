#!/bin/sh
sleep 30
echo " 1.0" >> "$1"
