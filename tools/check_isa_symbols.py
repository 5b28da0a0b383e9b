#!/usr/bin/env python3
"""Checks a build tree for code shared across instruction sets.

The lane forms for wider instruction sets are built in object libraries of their own (NAME_avx,
NAME_avx2, NAME_avx512 next to the DSP library NAME; see dsp/CMakeLists.txt). If one of their
objects defined a weak or global symbol that another object also defines (an inline function or a
template instance with external linkage, say), the linker would keep whichever copy it met first,
and code built for AVX could run on a processor without it. So every external symbol such an
object defines must be defined by no other object that can be linked with it: the objects of its
own DSP library and its sibling object libraries, and every object outside the DSP libraries.

usage: tools/check_isa_symbols.py BUILD_DIR
"""

import pathlib
import re
import subprocess
import sys

ISA_SUFFIXES = ("avx", "avx2", "avx512")
TARGET_DIR = re.compile(r"CMakeFiles/([^/]+)\.dir/")


def target_of(path):
    match = TARGET_DIR.search(path.as_posix())
    return match.group(1) if match else None


# Compiler-made data that holds no instructions: the exception tables' reference to the C++
# personality routine (a weak pointer every object that may unwind gets, e.g. in the TSan build).
IGNORED_PREFIXES = ("DW.ref.",)


def defined_external_symbols(path):
    """The weak and global symbols the object defines (nm's external, defined ones)."""
    result = subprocess.run(["nm", "-P", "-g", "--defined-only", str(path)], check=True, capture_output=True,
                            text=True)
    names = (line.split()[0] for line in result.stdout.splitlines() if line.strip())
    return {name for name in names if not name.startswith(IGNORED_PREFIXES)}


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    build = pathlib.Path(sys.argv[1])
    objects = sorted(p for p in build.rglob("*.o") if target_of(p) is not None)
    targets = {target_of(p) for p in objects}
    # The DSP libraries: the targets that have lane-form object libraries beside them.
    families = {t.rsplit("_", 1)[0] for t in targets if t.rsplit("_", 1)[-1] in ISA_SUFFIXES}
    families &= targets

    def family_of(target):
        if target in families:
            return target
        base, _, suffix = target.rpartition("_")
        return base if suffix in ISA_SUFFIXES and base in families else None

    symbols = {p: defined_external_symbols(p) for p in objects}
    checked = 0
    clashes = []
    for isa_object in objects:
        target = target_of(isa_object)
        family = family_of(target)
        if family is None or target == family:
            continue
        checked += 1
        also = {}  # symbol: the other objects that define it
        for other in objects:
            other_family = family_of(target_of(other))
            if other == isa_object or (other_family is not None and other_family != family):
                continue
            for symbol in symbols[isa_object] & symbols[other]:
                also.setdefault(symbol, []).append(other.relative_to(build).as_posix())
        for symbol, others in sorted(also.items()):
            more = f" and {len(others) - 2} more" if len(others) > 2 else ""
            clashes.append(f"{symbol}: {isa_object.relative_to(build)}, also in {', '.join(others[:2])}{more}")
    if checked == 0:
        print(f"no lane-form objects under {build}", file=sys.stderr)
        return 1
    if clashes:
        print("objects built for a wider instruction set share external symbols with other objects:")
        for clash in clashes:
            print("  " + clash)
        return 1
    print(f"{checked} lane-form objects checked against {len(objects) - 1} others: no shared external symbol")
    return 0


if __name__ == "__main__":
    sys.exit(main())
