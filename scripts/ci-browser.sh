#!/usr/bin/env bash
# Checks kmbrep's 3D page in a real headless browser: Debian's chromium,
# driven by puppeteer-core (npm, pinned). Usage: scripts/ci-browser.sh PAGE.html [SCREENSHOT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

command -v node >/dev/null && command -v npm >/dev/null || bash scripts/install-deps.sh nodejs npm
bash scripts/install-deps.sh chromium

tools=build-browser-check
if [ ! -d "$tools/node_modules/puppeteer-core" ]; then
  mkdir -p "$tools"
  [ -f "$tools/package.json" ] || echo '{"name":"kmbrep-browser-check","private":true}' >"$tools/package.json"
  (cd "$tools" && npm install --no-audit --no-fund --no-save --no-package-lock puppeteer-core@24.43.1)
fi
NODE_PATH="$PWD/$tools/node_modules" node scripts/check-view.js "$@"
