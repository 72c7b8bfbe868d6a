#!/usr/bin/env python3
"""Checks that every C++ block of docs/integration.md stands verbatim in the
compiled example sources (the consumer example and the sample and Open
CASCADE host applications), so the guide's code is code that builds."""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
guide = (root / "docs" / "integration.md").read_text()
sources = "\n".join(
    p.read_text()
    for p in [
        root / "examples" / "consumer" / "main.cpp",
        *sorted((root / "kernel" / "app").glob("*.cpp")),
        *sorted((root / "kernel" / "occt" / "app").glob("*.cpp")),
    ]
)
blocks = re.findall(r"```cpp\n(.*?)```", guide, re.S)
missing = [b for b in blocks if b.rstrip("\n") not in sources]
for b in missing:
    print("docs/integration.md: block not found in the example sources:\n" + b, file=sys.stderr)
print(f"check-guide: {len(blocks)} blocks, {len(missing)} missing")
sys.exit(1 if missing or not blocks else 0)
