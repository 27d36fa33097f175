#!/usr/bin/env python3
"""Writes a window description with the built-in skin archive put in as base64."""
import base64
import sys

template, archive, out = sys.argv[1:4]
text = open(template, encoding="utf-8").read()
data = base64.b64encode(open(archive, "rb").read()).decode("ascii")
block = "\n".join("          " + data[i:i + 96] for i in range(0, len(data), 96))
if "@METROUI_ARCHIVE_BASE64@" not in text:
    sys.exit(f"{template}: no place for the archive")
open(out, "w", encoding="utf-8", newline="\n").write(text.replace("@METROUI_ARCHIVE_BASE64@", block))
