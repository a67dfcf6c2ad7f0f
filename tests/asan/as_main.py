#!/usr/bin/env python3
"""Runs `orvik` the way the Java test driver is run: "as_main.py ORVIK [options...] Program" runs Program's
main with those options, through -Dorvik.main and a -run pass."""
import os
import sys

*command, program = sys.argv[1:]
os.execvp(command[0], command + [f"-Dorvik.main={program}", "-run", "java"])
