#!/bin/sh
# Test extractor that records its arguments, one a line, in the file named by
# $EXTRACTOR_ARGS_FILE (default extractor.args in the working directory), then
# works like write_keys.sh.
printf '%s\n' "$@" >"${EXTRACTOR_ARGS_FILE:-extractor.args}"
exec "$(dirname "$0")/write_keys.sh" "$@"
