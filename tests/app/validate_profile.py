#!/usr/bin/python3
"""Validates a profile document against the schema; exit 0 when it is valid, else 1
with every error and where it is."""
import json
import sys

import jsonschema


def main():
    schema_path, document_path = sys.argv[1], sys.argv[2]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    with open(document_path, encoding="utf-8") as f:
        document = json.load(f)
    validator = jsonschema.Draft7Validator(schema)
    errors = sorted(validator.iter_errors(document), key=lambda e: list(e.path))
    for e in errors:
        print("/".join(str(p) for p in e.path) + ": " + e.message)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
