#!/usr/bin/env bash
# Fails on any include in src/ that points up or sideways between the layers:
#   gui -> (signfeed, discovery, browser) -> shared -> feedcomp -> platform
# The library's public headers (include/pellix) sit under every layer.
set -euo pipefail
cd "$(dirname "$0")/.."

rank() {
  case "$1" in
    platform) echo 0 ;;
    feedcomp) echo 1 ;;
    shared) echo 2 ;;
    signfeed | discovery | browser) echo 3 ;;
    gui) echo 4 ;;
    *) echo "" ;;
  esac
}

# Includes still pointing up, as "file:included/header"; empty when done.
known=(
)

status=0
while IFS= read -r line; do
  file=${line%%:*}
  target=$(sed -E 's/.*#include +"([^"]+)".*/\1/' <<<"${line#*:}")
  from=$(cut -d/ -f2 <<<"$file")
  to=${target%%/*}
  [ "$to" != "$target" ] || continue
  if [[ "$target" == *../* ]]; then
    echo "layer violation: $file includes $target (name a header by its layer, not by a relative path)" >&2
    status=1
    continue
  fi
  rfrom=$(rank "$from")
  rto=$(rank "$to")
  [ -n "$rfrom" ] && [ -n "$rto" ] || continue
  if [ "$rto" -gt "$rfrom" ] || { [ "$rto" -eq "$rfrom" ] && [ "$to" != "$from" ]; }; then
    entry="$file:$target"
    if printf '%s\n' "${known[@]}" | grep -qxF "$entry"; then
      continue
    fi
    echo "layer violation: $file includes $target ($from may not depend on $to)" >&2
    status=1
  fi
done < <(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"' src --include='*.h' --include='*.cpp' \
           | sed -E 's/:[[:space:]]*#[[:space:]]*include[[:space:]]+/:#include /')

# A listed exception that is gone must leave the list, so it only shrinks.
for entry in "${known[@]}"; do
  file=${entry%%:*}
  target=${entry#*:}
  if ! grep -qF "#include \"$target\"" "$file" 2>/dev/null; then
    echo "check-layers.sh: stale exception $entry: remove it from the list" >&2
    status=1
  fi
done

# The operating system's own headers belong to platform/ alone: every other
# layer reaches the system through it.
while IFS= read -r line; do
  echo "layer violation: ${line%%:*} includes ${line#*:} (system calls live in src/platform)" >&2
  status=1
done < <(grep -rHoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+<(unistd|poll|fcntl|termios|dlfcn|pthread|signal|netdb|ifaddrs)\.h>|<(sys|arpa|netinet|net|linux)/[a-z_/]+\.h>' \
           src --include='*.h' --include='*.cpp' | grep -v '^src/platform/' || true)
[ "$status" -ne 0 ] || echo "layers: no include points up, no system header outside platform"
exit "$status"
