#!/usr/bin/env bash
# Builds and tests everything: the host build, the host build with
# sanitizers, the Windows build with its tests under Wine, and the fuzz
# targets (clang) for a bounded number of inputs. Runs all four even when
# one fails, and fails if any did.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
"$root/scripts/install-deps.sh" || exit 1

failed=()
for preset in host sanitize windows fuzz; do
  echo "=== workflow $preset"
  start=$SECONDS
  if cmake --workflow --preset "$preset"; then
    echo "=== workflow $preset passed ($((SECONDS - start)) s)"
  else
    echo "=== workflow $preset FAILED ($((SECONDS - start)) s)"
    failed+=("$preset")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "test-all: failed: ${failed[*]}"
  exit 1
fi
echo "test-all: all workflows passed"
