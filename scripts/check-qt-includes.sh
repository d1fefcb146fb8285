#!/usr/bin/env bash
# Fails when a Qt header is included outside src/ui and src/app: the logic must build without Qt.
cd "$(dirname "$0")/.."
offenders=$(grep -rlE '^\s*#\s*include\s*[<"](Q[A-Za-z]+|Qt[A-Za-z]+/)' src --include='*.h' --include='*.cpp' \
  | grep -vE '^src/(ui|app)/' || true)
if [ -n "$offenders" ]; then
  echo "Qt headers outside src/ui and src/app:"
  echo "$offenders"
  exit 1
fi
echo "no Qt outside src/ui and src/app"
