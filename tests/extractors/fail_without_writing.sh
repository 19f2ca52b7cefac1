#!/bin/sh
# Test extractor that fails before writing any key file.
echo "fail_without_writing: no model" >&2
exit 1
