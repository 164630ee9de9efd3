#!/usr/bin/env bash
# Installs what the Windows program needs to be cross-built and tested under
# Wine (the list is in tools/setup.sh); only what is missing.
exec bash "$(dirname "$0")/setup.sh" --windows
