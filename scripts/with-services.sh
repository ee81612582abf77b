#!/usr/bin/env bash
# Runs a command with the services the tests need (each one a script in
# scripts/services/ that defines <name>_start and <name>_stop), and stops them
# afterwards whatever the command's outcome.
set -uo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

export VELNOR_SERVICE_DIR="${VELNOR_SERVICE_DIR:-$(mktemp -d /tmp/velnor-services.XXXXXX)}"
started=()
stop_all() {
  for (( i=${#started[@]}-1; i>=0; i-- )); do
    "${started[$i]}_stop" || true
  done
}
trap stop_all EXIT

for service in "$here"/services/*.sh; do
  [ -e "$service" ] || continue
  # shellcheck source=/dev/null
  source "$service"
  name="$(basename "$service" .sh)"
  name="${name#[0-9][0-9]-}"
  if "${name}_start"; then
    started+=("$name")
  else
    echo "with-services: could not start $name" >&2
    exit 1
  fi
done

"$@"
