#!/usr/bin/env python3
"""Validates a run report against docs/run-report.schema.json.

validate.py SCHEMA REPORT: exit 0 when valid; else 1 with each error on
standard error.
"""
import json
import sys

import jsonschema


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        schema = json.load(f)
    with open(sys.argv[2], encoding="utf-8") as f:
        report = json.load(f)
    validator = jsonschema.Draft202012Validator(schema)
    validator.check_schema(schema)
    errors = sorted(validator.iter_errors(report), key=lambda e: list(e.path))
    for error in errors:
        print("/".join(str(p) for p in error.path) + ": " + error.message, file=sys.stderr)
    return 1 if errors else 0


if __name__ == "__main__":
    sys.exit(main())
