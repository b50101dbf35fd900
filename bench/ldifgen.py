#!/usr/bin/env python3
"""Writes a large LDAP schema as one subschema entry in LDIF, for the benchmarks.

Attribute types with syntaxes, matching rules and a few SUP chains; object
classes whose members are named mostly by NAME and some by OID, with a few
superclass chains. With a second file name, the second schema is the first
with a share of its definitions changed in one field each. The same seed and
parameters always give the same bytes.

    bench/ldifgen.py [--attributes N] [--classes N] [--changed FRACTION] [--seed N] A.ldif [B.ldif]
"""

import argparse
import random

ATTR_OID = "1.3.6.1.4.1.55555.1.1."
CLASS_OID = "1.3.6.1.4.1.55555.1.2."
SYNTAXES = [
    ("1.3.6.1.4.1.1466.115.121.1.15", "caseIgnoreMatch", "caseIgnoreSubstringsMatch"),
    ("1.3.6.1.4.1.1466.115.121.1.26", "caseExactIA5Match", "caseExactIA5SubstringsMatch"),
    ("1.3.6.1.4.1.1466.115.121.1.27", "integerMatch", None),
    ("1.3.6.1.4.1.1466.115.121.1.12", "distinguishedNameMatch", None),
    ("1.3.6.1.4.1.1466.115.121.1.7", "booleanMatch", None),
]


def attribute(n, rng, attributes):
    name = f"benchAttribute{n}"
    parts = [f"( {ATTR_OID}{n} NAME '{name}'"]
    if n % 7 == 0:
        parts.append(f"DESC 'generated attribute number {n} for measuring'")
    if n % 97 == 5 and n > 10:
        # A few chains: the type takes its syntax and rules from its supertype.
        parts.append(f"SUP benchAttribute{n - 5}")
    else:
        syntax, equality, substr = SYNTAXES[rng.randrange(len(SYNTAXES))]
        parts.append(f"EQUALITY {equality}")
        if substr:
            parts.append(f"SUBSTR {substr}")
        bound = "{" + str(32 * (1 + n % 8)) + "}" if n % 3 == 0 else ""
        parts.append(f"SYNTAX {syntax}{bound}")
    if n % 5 == 0:
        parts.append("SINGLE-VALUE")
    return " ".join(parts) + " )"


def member(n, rng, attributes):
    k = rng.randrange(attributes)
    # Some members are named by OID, as servers and hand-written files do.
    return f"{ATTR_OID}{k}" if rng.random() < 0.1 else f"benchAttribute{k}"


def object_class(n, rng, attributes):
    parts = [f"( {CLASS_OID}{n} NAME 'benchClass{n}'"]
    if n % 11 == 3 and n > 10:
        parts.append(f"SUP benchClass{n - 3} STRUCTURAL")
    elif n % 13 == 0:
        parts.append("SUP top AUXILIARY")
    else:
        parts.append("SUP top STRUCTURAL")
    must = [member(n, rng, attributes) for _ in range(1 + n % 3)]
    may = [member(n, rng, attributes) for _ in range(6 + n % 7)]
    parts.append("MUST ( " + " $ ".join(must) + " )")
    parts.append("MAY ( " + " $ ".join(may) + " )")
    return " ".join(parts) + " )"


def change(text, rng):
    """The same definition with one field changed."""
    if " SINGLE-VALUE" in text:
        return text.replace(" SINGLE-VALUE", "")
    if " AUXILIARY" in text:
        return text.replace(" AUXILIARY", " STRUCTURAL")
    if " MAY ( " in text:
        return text.replace(" MAY ( ", " MAY ( benchAttribute0 $ ", 1)
    return text.replace(" )", " SINGLE-VALUE )", 1) if text.endswith(" )") else text


def write(path, attrs, classes):
    with open(path, "w", encoding="ascii") as out:
        out.write("dn: cn=schema\nobjectClass: top\nobjectClass: ldapSubentry\n"
                  "objectClass: subschema\ncn: schema\n")
        for text in attrs:
            out.write(f"attributeTypes: {text}\n")
        for text in classes:
            out.write(f"objectClasses: {text}\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--attributes", type=int, default=100000)
    parser.add_argument("--classes", type=int, default=20000)
    parser.add_argument("--changed", type=float, default=0.05)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    attrs = [attribute(n, rng, args.attributes) for n in range(args.attributes)]
    classes = [object_class(n, rng, args.attributes) for n in range(args.classes)]
    write(args.files[0], attrs, classes)
    if len(args.files) > 1:
        for defs in (attrs, classes):
            for i in range(len(defs)):
                if rng.random() < args.changed:
                    defs[i] = change(defs[i], rng)
        write(args.files[1], attrs, classes)


if __name__ == "__main__":
    main()
