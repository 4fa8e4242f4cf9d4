# Reads the JSON report of korvat estimate on standard input and prints what one test compares:
#   numbers   the minutes and millimetres rounded, the tools and the violations
#   sane      "ok" for sensible totals (some time, no feed faster than 10 m/min), else the report
#   extremes  the lowest and highest Z and the number of blocks
#   estimate_json.py numbers|sane|extremes <report.json
import json
import sys

d = json.load(sys.stdin)
m = d["minutes"]
if sys.argv[1] == "numbers":
    print(" ".join("%.6f" % m[k] for k in ("xy_rapid", "z_feed", "z_rapid", "xy_feed", "total")))
    print(" ".join("%.3f" % d["mm"][k] for k in ("xy_rapid", "z_feed", "z_rapid", "feed")))
    print([(t["tool"], round(t["mm"], 3), t["worn"]) for t in d["tools"]])
    print([(v["line"], v["axis"], v["limit"]) for v in d["violations"]])
elif sys.argv[1] == "sane":
    ok = m["total"] > 0 and m["xy_feed"] >= d["mm"]["feed"] / 10000
    print("ok" if ok and m["total"] < 600 else d)
elif sys.argv[1] == "extremes":
    e = d["extremes"]
    print("%.3f %.3f %d" % (e["min_z"], e["max_z"], d["blocks"]))
