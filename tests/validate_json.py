"""Validates JSON files against a JSON Schema (draft 2020-12).

Usage: validate_json.py SCHEMA FILE...
Prints one line per file that does not validate and exits with 1 if any did not.
A FILE ending in .jsonl is JSON Lines: each of its lines is validated.
"""
import json
import sys

import jsonschema


def main():
    with open(sys.argv[1], encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failed = 0
    for path in sys.argv[2:]:
        with open(path, encoding="utf-8") as instance_file:
            if path.endswith(".jsonl"):
                errors = [error for line in instance_file for error in validator.iter_errors(json.loads(line))]
            else:
                errors = list(validator.iter_errors(json.load(instance_file)))
        if errors:
            failed += 1
            print(f"{path}: {errors[0].message}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
