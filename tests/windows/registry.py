#!/usr/bin/env python3
"""Lists a Wine registry file (user.reg, system.reg) as sorted lines "key<TAB>value", one per
value and one per key, without what Wine changes by itself on every start: the times written
beside each key, and the keys it fills again from the (virtual) hardware it finds.

    python3 registry.py FILE
"""
import re
import sys

# Rewritten by Wine's device set-up whenever a prefix starts.
VOLATILE = re.compile(r'^(System\\\\CurrentControlSet\\\\(Enum|Control\\\\Class|Control\\\\DeviceClasses|Services\\\\[^\\]+\\\\Enum)'
                      r'|System\\\\ControlSet001\\\\(Enum|Control\\\\Class|Control\\\\DeviceClasses)'
                      r'|Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards'
                      r'|Hardware\\\\)', re.IGNORECASE)

lines = set()
key = None
with open(sys.argv[1], encoding='utf-8', errors='surrogateescape') as registry:
    for line in registry:
        line = line.rstrip('\n')
        header = re.match(r'^\[(.*)\](?: \d+)?$', line)
        if header:
            key = header.group(1)
            if not VOLATILE.match(key):
                lines.add(key)
            continue
        if key is None or VOLATILE.match(key) or line.startswith('#') or not line:
            continue
        lines.add(key + '\t' + line)
for line in sorted(lines):
    print(line)
