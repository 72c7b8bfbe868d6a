#!/usr/bin/env bash
# Validates glTF files with the Khronos validator (npm package gltf-validator,
# run with Node); fails on any error or warning. Usage: scripts/ci-gltf.sh FILE...
set -euo pipefail
cd "$(dirname "$0")/.."

command -v node >/dev/null && command -v npm >/dev/null || bash scripts/install-deps.sh nodejs npm

tools=build-gltf-validator
if [ ! -d "$tools/node_modules/gltf-validator" ]; then
  mkdir -p "$tools"
  (cd "$tools" && npm install --no-audit --no-fund --no-save gltf-validator@2.0.0-dev.3.10)
fi
NODE_PATH="$PWD/$tools/node_modules" node scripts/validate-gltf.js "$@"
