"""A dry run writes nothing and plans the path a run takes; the report file
holds what happened, in its schema. Usage: whatif_test.py path/to/tav32"""
import hashlib
import json
import os
import subprocess
import sys
import tempfile

TAV32 = os.path.abspath(sys.argv[1])
HERE = os.path.dirname(os.path.abspath(__file__))
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def snapshot(root):
    tree = {}
    for base, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(base, name)
            data = open(path, "rb").read() if os.path.isfile(path) else b"dir"
            tree[os.path.relpath(path, root)] = hashlib.sha1(data).hexdigest()
    return tree


def run(work, program, *options):
    env = dict(os.environ, WINDIR=os.path.join(work, "windows"), TAV32_REGISTRY=os.path.join(work, "registry"))
    result = subprocess.run([TAV32, program, *options], cwd=os.path.join(work, "tree"), env=env,
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    return result.returncode


def records(path):
    return [json.loads(line) for line in open(path, encoding="utf-8")]


def check_schema(lines, rc):
    *statements, summary = lines
    for r in statements:
        check(set(r) >= {"record", "line", "statement", "text", "outcome", "error", "message", "changed", "changes"}
              and r["record"] == "statement" and r["outcome"] in ("ok", "failed", "stopped")
              and r["changed"] == bool(r["changes"]), "statement record %r" % r)
        for c in r["changes"]:
            keys = {"ini": {"file", "section", "key", "before", "after", "diff"},
                    "registry": {"key", "value", "before", "after"},
                    "file": {"path", "action", "directory", "size"}, "command": {"command_line"}}[c["kind"]]
            check(set(c) >= keys, "change %r" % c)
    check(summary["record"] == "summary" and summary["exit_code"] == rc and summary["statements"] == len(statements)
          and summary["failed"] == sum(r["outcome"] != "ok" for r in statements)
          and summary["elapsed_seconds"] >= 0, "summary %r (exit %d)" % (summary, rc))


def comparable(lines):
    # What a dry run plans and a run does must agree, the times aside.
    out = []
    for r in lines:
        r = dict(r)
        r.pop("elapsed_seconds", None)
        r.pop("whatif", None)
        out.append(r)
    return out


with tempfile.TemporaryDirectory() as work:
    tree = os.path.join(work, "tree")
    for d in ("windows", "registry", "tree/src", "tree/dst"):
        os.makedirs(os.path.join(work, d))
    with open(os.path.join(tree, "app.ini"), "wb") as f:
        f.write(b"[Settings]\r\nVersion=1\r\nName=demo\r\n\r\n[Old]\r\nstale=1\r\nkeep=1\r\n[Gone]\r\nx=1\r\n")
    open(os.path.join(tree, "src", "new.txt"), "w").write("new")
    open(os.path.join(tree, "dst", "old.txt"), "w").write("old")
    seed = os.path.join(work, "seed.tav")
    open(seed, "w").write("RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo\\Old\\Sub\n"
                          "RegSetValue V : REG_SZ : \"x\"\n"
                          "RegOpenKey LOCAL \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo\n"
                          "RegSetValue Obsolete : REG_DWORD : 1\n")
    check(run(work, seed) == 0, "seed run")
    program = os.path.join(HERE, "touch_all.tav")
    logs = tempfile.mkdtemp(dir=os.path.dirname(work))
    before = snapshot(work)
    plan_rc = run(work, program, "-WHATIF", "-REPORT", logs + "/plan.jsonl", "-LOG", logs + "/whatif.log")
    check(snapshot(work) == before, "the dry run changed files, the registry store or INI files")
    real_rc = run(work, program, "-REPORT", logs + "/real.jsonl", "-LOG", logs + "/real.log")
    plan, real = records(logs + "/plan.jsonl"), records(logs + "/real.jsonl")
    check(plan_rc == real_rc == 9, "exit codes %d and %d" % (plan_rc, real_rc))
    check_schema(plan, plan_rc)
    check_schema(real, real_rc)
    for p, r in zip(comparable(plan), comparable(real)):
        check(p == r, "planned %s\n   real %s" % (json.dumps(p), json.dumps(r)))
    check(len(plan) == len(real), "%d planned records, %d real" % (len(plan), len(real)))
    shown = open(logs + "/whatif.log", "rb").read().decode("latin-1")
    for text in ("-Version=1\r\n+Version=2", "Count (none) -> Count REG_DWORD 0x00000007",
                 "would delete key HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo\\Old", "\tADD\tFILE\t"):
        check(text in shown, "the dry run's LOG lacks %r" % text)
    check("the deleted key is still there" not in shown, "a planned deletion was not seen")
    names = [c for r in real[:-1] for c in r["changes"] if c.get("key_hex")]
    check(len(names) == 1 and bytes.fromhex(names[0]["key_hex"]) == b"Caf\xe9", "non-UTF-8 key %r" % names)

    # External commands do not run under WHATIF and count as exit code 0.
    external = os.path.join(work, "external.tav")
    open(external, "w").write("false\nShell false\nIniChangeLine after.ini [S] k=v\n")
    before = snapshot(work)
    check(run(work, external, "-WHATIF", "-REPORT", logs + "/ext.jsonl", "-LOG", logs + "/ext.log") == 0,
          "external commands under WHATIF")
    check(snapshot(work) == before, "the dry run with external commands wrote")
    shown = open(logs + "/ext.log").read()
    check(shown.count("what follows may differ") == 1 and shown.count("would run:") == 2, shown)

    subprocess.run(["rm", "-rf", logs], check=True)

for failure in failures:
    print("FAIL:", failure)
print("%d passed, %d failed" % (0 if failures else 1, len(failures)))
sys.exit(1 if failures else 0)
