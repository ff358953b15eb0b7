#!/usr/bin/env bash
# Mutation testing over the named sources; --help lists the options.
exec python3 "$(dirname "$0")/mutate.py" "$@"
