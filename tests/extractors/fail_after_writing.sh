#!/bin/sh
# Test extractor that writes its key files like write_keys.sh, then fails.
"$(dirname "$0")/write_keys.sh" "$@"
exit 3
