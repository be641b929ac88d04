"""Reads the json callback's output of a playbook run and checks which hosts
changed, failed or were not reached. Usage: check_results.py FILE
changed=h2,h3 [failed=h4] [unreached=h5] [diff=TEXT]"""
import json
import sys

play = json.load(open(sys.argv[1]))
want = dict(arg.split("=", 1) for arg in sys.argv[2:])
stats = play["stats"]
results = {}
for p in play["plays"]:
    for task in p["tasks"]:
        results.update(task["hosts"])


def hosts(key):
    return sorted(h for h in want.get(key, "").split(",") if h)


changed = sorted(h for h, s in stats.items() if s["changed"])
failed = sorted(h for h, s in stats.items() if s["failures"])
ran = set(results)
errors = []
if changed != hosts("changed"):
    errors.append("changed %s, expected %s" % (changed, hosts("changed")))
if failed != hosts("failed"):
    errors.append("failed %s, expected %s" % (failed, hosts("failed")))
for host in hosts("unreached"):
    if host in ran:
        errors.append("%s ran, though its batch should not have started" % host)
if "diff" in want:
    for host in hosts("changed"):
        shown = json.dumps(results[host].get("diff", []))
        if want["diff"] not in shown:
            errors.append("%s: diff lacks %r: %s" % (host, want["diff"], shown[:300]))
if errors:
    sys.exit("; ".join(errors))
