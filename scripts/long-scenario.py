#!/usr/bin/env python3
"""Writes a long, bridge-heavy nuv_client scenario to stdout.

    python3 scripts/long-scenario.py STEPS [--packet-bytes N] [--no-expect] > long.json

Each of the STEPS script steps reads a host property, writes it back longer
and calls a host method: three bridge requests and three replies, then the
script's result message, which the next step expects. With --packet-bytes
the property holds a text of about N bytes, so every request and reply
carries a large packet. Used for the long-run figures in docs/performance.md.
"""
import argparse
import json
import sys


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("steps", type=int, help="number of script steps")
    parser.add_argument("--packet-bytes", type=int, default=16,
                        help="length of the property text (default 16)")
    parser.add_argument("--no-expect", action="store_true",
                        help="leave the expect steps out (for runners without them)")
    args = parser.parse_args()
    if args.steps < 1 or args.packet_bytes < 1:
        parser.error("STEPS and --packet-bytes must be positive")

    steps = [
        {"do": "createBrowser"},
        {"do": "createContext", "script": "var n = 0;"},
    ]
    for i in range(1, args.steps + 1):
        tag = "s%d" % i
        steps.append({
            "do": "executeScript", "tag": tag,
            "script": "hostDocument.title = hostDocument.title.slice(0, %d) + 'x';"
                      " hostDocument.wordCount() + (++n)" % args.packet_bytes,
        })
        if args.no_expect:
            continue
        steps.append({
            "do": "expect",
            "message": {"name": "NuvChromeBrowser_ExecuteScript_Result",
                        "args": [1, True, tag,
                                 {"browserId": 1, "valueType": "NuvValueInt",
                                  "value": 4711 + i}]},
        })
    steps.append({"do": "end"})
    if not args.no_expect:
        steps.append({"do": "expect", "exit": {"code": 0}})

    scenario = {
        "description": "%d bridge-heavy script steps, each result expected" % args.steps,
        "host": {
            "objects": {
                "7": {
                    "properties": {"title": "t" * args.packet_bytes},
                    "methods": {"wordCount": {"returns": 4711}},
                }
            },
            "named": {"*": [{"name": "hostDocument", "object": 7}]},
        },
        "steps": steps,
    }
    json.dump(scenario, sys.stdout, indent=None, separators=(",", ":"))
    sys.stdout.write("\n")


if __name__ == "__main__":
    main()
