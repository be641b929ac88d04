#!/usr/bin/python
# Runs a TAV32 program file and returns its run report.
from __future__ import annotations

DOCUMENTATION = r"""
module: tav32
short_description: Run a TAV32 program file and report what it changed
description:
  - Runs tav32 with C(-REPORT) and returns the report's entries.
  - In check mode the program runs with C(-WHATIF): nothing is changed, and the
    result tells what would change. With C(--diff) the INI diffs and registry
    values before and after are shown.
options:
  program:
    description: Path of the program file on the managed host.
    type: path
  src:
    description: Program file on the controller, copied to the host first (action plugin).
    type: path
  executable:
    description: The tav32 program.
    type: path
    default: tav32
  log:
    description: LOG file path on the host; a temporary one when not given.
    type: path
  report:
    description: Report file path on the host; a temporary one when not given.
    type: path
  debug:
    description: Run with C(-DEBUG).
    type: bool
    default: false
  noabort:
    description: Run with C(-NOABORT).
    type: bool
    default: false
  timeout:
    description: Seconds the run may take before it is stopped and fails.
    type: int
    default: 3600
"""

RETURN = r"""
rc: {description: the exit code, type: int}
meaning: {description: the exit code's meaning, type: str}
entries: {description: the report's statement records, type: list}
summary: {description: the report's last record, type: dict}
log: {description: the LOG file's text, type: str}
"""

import json
import os
import shutil
import subprocess
import tempfile

from ansible.module_utils.basic import AnsibleModule


def read_report(path):
    entries, summary = [], None
    try:
        with open(path, encoding="utf-8") as handle:
            for line in handle:
                if not line.strip():
                    continue
                record = json.loads(line)
                if record.get("record") == "summary":
                    summary = record
                else:
                    entries.append(record)
    except FileNotFoundError:
        pass
    return entries, summary


def describe_registry(change, side):
    data = change[side]
    if data is None:
        return ""
    if change.get("value") is None:
        return "%s\n" % change["key"]
    return "%s\\%s = %s %s\n" % (change["key"], change["value"], data["type"], data["data"])


def diffs_of(entries):
    diffs = []
    for entry in entries:
        for change in entry["changes"]:
            if change["kind"] == "ini":
                diffs.append({"prepared": change["diff"]})
            elif change["kind"] == "registry":
                diffs.append({"before_header": change["key"], "after_header": change["key"],
                              "before": describe_registry(change, "before"),
                              "after": describe_registry(change, "after")})
            elif change["kind"] == "file":
                diffs.append({"prepared": "%s %s (%d bytes)\n" % (change["action"], change["path"], change["size"])})
            else:
                diffs.append({"prepared": "run %s\n" % change["command_line"]})
    return diffs


def main():
    module = AnsibleModule(
        argument_spec=dict(
            program=dict(type="path", required=True),
            executable=dict(type="path", default="tav32"),
            log=dict(type="path"),
            report=dict(type="path"),
            debug=dict(type="bool", default=False),
            noabort=dict(type="bool", default=False),
            timeout=dict(type="int", default=3600),
        ),
        supports_check_mode=True,
    )
    params = module.params
    work = tempfile.mkdtemp(prefix="tav32-")
    log = params["log"] or os.path.join(work, "run.log")
    report = params["report"] or os.path.join(work, "report.jsonl")
    command = [params["executable"], params["program"], "-LOG", log, "-REPORT", report]
    if params["debug"]:
        command.append("-DEBUG")
    if params["noabort"]:
        command.append("-NOABORT")
    if module.check_mode:
        command.append("-WHATIF")
    try:
        run = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                             timeout=params["timeout"], check=False)
    except (OSError, subprocess.TimeoutExpired) as error:
        module.fail_json(msg="tav32 did not run: %s" % error, cmd=command)
    entries, summary = read_report(report)
    try:
        with open(log, encoding="utf-8", errors="replace") as handle:
            log_text = handle.read()
    except FileNotFoundError:
        log_text = ""
    shutil.rmtree(work, ignore_errors=True)
    rc = run.returncode
    result = dict(
        changed=any(entry["changed"] for entry in entries),
        rc=rc,
        meaning=summary["meaning"] if summary else "no report was written",
        entries=entries,
        summary=summary,
        log=log_text,
        stderr=run.stderr.decode("utf-8", "replace"),
        cmd=command,
    )
    if module._diff:
        result["diff"] = diffs_of(entries)
    if rc != 0 or summary is None:
        module.fail_json(msg="tav32 ended with exit code %d: %s" % (rc, result["meaning"]), **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
