#!/usr/bin/env python3
"""Many packages at once: one tdx880 process over all of them against a loop of processes.

Makes COUNT (1,000) packages of one 10 KB declaration-like document, each signed and encrypted
(tdx880 pack, a self-signed GOST R 34.10-2001 key trusted in ROOT), and measures, the four
alternating within each round so that load on a shared machine falls on all of them:

  (a) loop:   a shell loop of one "tdx880 verify P --no-download --no-crl" per package;
  (b) batch:  one "tdx880 verify --jobs JOBS --no-download --no-crl -" over all of them;
  (c) peer:   the loop a user would script: per package unzip, openssl cms -decrypt of the
              document's envelope, unzip of the compressed document, openssl cms -verify of its
              signature (the entries' names given to the script for free);
  (d) floor:  the library's own read of the same packages on one thread (bench/batch_floor: Open,
              Decrypt, CheckSignEx without downloads and revocation), as CPU time per package;
              divided by the cores it is the wall time (b) would take with nothing but the
              library's work, perfectly spread.

Each step runs under /usr/bin/time (wall and user+system CPU seconds); the best of the rounds is
reported with the machine's load. (d') is the floor's own wall time divided by the cores: on a
machine busy with other work it shows what the same load does to the library alone. Targets: (a)/(b) >= 20, (c)/(b) >= 20, (b) <= 1.5 (d) COUNT /
cores.

Usage: bench/batch_vs_loop.py --tool build/tools/tdx880/tdx880 --floor build/bench/batch_floor
           [--count 1000] [--rounds 3] [--jobs 2] [--keep DIR]
"""

import argparse
import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from package_vs_peer import document  # noqa: E402  the same document text as the other benches

OPENSSL_CNF = """openssl_conf = d
[d]
engines = e
[e]
gost = g
[g]
engine_id = gost
dynamic_path = {engine}
default_algorithms = ALL
[req]
distinguished_name = n
[n]
"""

PEER_STEP = (
    "rm -rf r && mkdir r && unzip -q '{package}' -d r && "
    "openssl cms -decrypt -binary -inform DER -in 'r/{envelope}' -recip cert.pem -inkey key.pem "
    "-out r/inner.zip && unzip -q r/inner.zip -d r && "
    "openssl cms -verify -binary -inform DER -in 'r/{signature}' -content r/file "
    "-CAfile cert.pem -out /dev/null 2>/dev/null\n")


class Bench:
    def __init__(self, folder, tool, floor, count):
        self.folder = folder
        self.tool = os.path.abspath(tool)
        self.floor = os.path.abspath(floor)
        self.env = dict(os.environ)
        self.env["LYR_TDX_HOME"] = os.path.join(folder, "home")
        self.env["TMP"] = os.path.join(folder, "tmp")
        self.env["OPENSSL_CONF"] = os.path.join(folder, "openssl.cnf")
        for sub in ("home", "tmp", "packages"):
            os.makedirs(os.path.join(folder, sub), exist_ok=True)
        engine = subprocess.run(["openssl", "version", "-e"], capture_output=True, text=True,
                                check=True).stdout.split('"')[1] + "/gost.so"
        with open(self.env["OPENSSL_CONF"], "w") as cnf:
            cnf.write(OPENSSL_CNF.format(engine=engine))
        # One key for both sides: made by openssl (PEM for the peer), imported into a container
        # of the tool, its certificate in MY (bound), addressbook (to encrypt for) and ROOT.
        self.run(["openssl", "req", "-x509", "-newkey", "gost2001", "-pkeyopt", "paramset:XA",
                  "-nodes", "-keyout", "key.pem", "-subj", "/CN=Bench", "-days", "2",
                  "-out", "cert.pem"])
        self.run([self.tool, "container", "import", "bench", "--key", "key.pem", "--cert",
                  "cert.pem"])
        self.run([self.tool, "cert", "import", "cert.pem"])
        self.run([self.tool, "cert", "import-chain", "cert.pem"])
        fingerprint = self.run(["openssl", "x509", "-noout", "-fingerprint", "-sha1", "-in",
                                "cert.pem"])
        thumbprint = fingerprint.split("=")[1].strip().replace(":", "")
        with open(os.path.join(folder, "doc.xml"), "wb") as f:
            f.write(document(10240))
        self.packages = [os.path.join("packages", "p%04d.zip" % i) for i in range(count)]
        with concurrent.futures.ThreadPoolExecutor(2) as pool:
            list(pool.map(lambda target: self.run(
                [self.tool, "pack", "--flow", "01", "--transaction", "01", "--sender",
                 "7701000001", "--receiver", "7702", "--doc", "01:xml:doc.xml", "--sign",
                 thumbprint, "--encrypt-for", thumbprint, "-o", target]), self.packages))
        with open(os.path.join(folder, "list"), "w") as f:
            f.write("".join(p + "\n" for p in self.packages))
        with open(os.path.join(folder, "loop.sh"), "w") as f:
            f.write("".join("'%s' verify '%s' --no-download --no-crl >/dev/null\n" %
                            (self.tool, p) for p in self.packages))
        with open(os.path.join(folder, "peer.sh"), "w") as f:
            f.write("set -e\n" + "".join(PEER_STEP.format(package=p, **self.entries(p))
                                         for p in self.packages))

    def entries(self, package):
        """The names of the document's envelope and of its signature inside a package."""
        with zipfile.ZipFile(os.path.join(self.folder, package)) as z:
            description = z.read("packageDescription.xml").decode("cp1251")
        names = re.findall(r'имяФайла="([^"]+)"', description)
        return {"envelope": names[-2], "signature": names[-1]}

    def run(self, argv):
        return subprocess.run(argv, cwd=self.folder, env=self.env, check=True,
                              capture_output=True, text=True).stdout

    def timed(self, shell):
        """Runs a shell text under /usr/bin/time: (wall s, CPU s)."""
        times = os.path.join(self.folder, "time.txt")
        result = subprocess.run(["/usr/bin/time", "-f", "%e %U %S", "-o", times, "sh", "-c",
                                 shell], cwd=self.folder, env=self.env, capture_output=True)
        if result.returncode != 0:
            sys.exit("failed: %s\n%s%s" % (shell[:200], result.stdout.decode(errors="replace"),
                                            result.stderr.decode(errors="replace")[-2000:]))
        with open(times) as f:
            wall, user, system = f.read().split()[-3:]
        return float(wall), float(user) + float(system)

    def loop(self):
        return self.timed("sh loop.sh")

    def batch(self, jobs):
        return self.timed("'%s' verify --jobs %d --no-download --no-crl - <list >/dev/null" %
                          (self.tool, jobs))

    def peer(self):
        return self.timed("sh peer.sh")

    def floor_ms(self):
        out = self.run([self.floor] + self.packages)
        figures = json.loads(out)
        if figures["failed"] != 0:
            sys.exit("the floor failed to read %d package(s)" % figures["failed"])
        return figures["cpu_ms_per_package"], figures["wall_ms_per_package"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--count", type=int, default=1000)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--keep")
    args = parser.parse_args()

    folder = args.keep or tempfile.mkdtemp(prefix="lyr-batch-vs-loop-")
    os.makedirs(folder, exist_ok=True)
    try:
        bench = Bench(folder, args.tool, args.floor, args.count)
        cores = len(os.sched_getaffinity(0))
        print("%d packages of 10 KB, signed and encrypted; %d cores; --jobs %d" %
              (args.count, cores, args.jobs))
        print("load average at start: %.2f %.2f %.2f" % os.getloadavg())
        samples = {k: [] for k in ("loop", "batch", "peer")}
        floors = []
        for _ in range(args.rounds):
            samples["loop"].append(bench.loop())
            samples["batch"].append(bench.batch(args.jobs))
            samples["peer"].append(bench.peer())
            floors.append(bench.floor_ms())
            sys.stdout.flush()
        print("load average at end: %.2f %.2f %.2f" % os.getloadavg())
        best = {k: (min(s[0] for s in v), min(s[1] for s in v)) for k, v in samples.items()}
        floor = min(f[0] for f in floors)
        floor_wall = floor * args.count / 1000.0 / cores
        # What the floor's one thread took of the clock under the same load, spread on the cores.
        floor_measured = min(f[1] for f in floors) * args.count / 1000.0 / cores
        print("| run | wall | CPU | ms per package (wall) |")
        print("|---|---|---|---|")
        for name, label in (("loop", "(a) loop of tdx880 verify"),
                            ("batch", "(b) tdx880 verify --jobs %d" % args.jobs),
                            ("peer", "(c) loop of unzip + openssl cms")):
            wall, cpu = best[name]
            print("| %s | %.2f s | %.2f s | %.2f |" % (label, wall, cpu,
                                                       wall * 1000.0 / args.count))
        print("| (d) library floor, CPU / %d core(s) | %.2f s | %.2f s | %.2f |" %
              (cores, floor_wall, floor * args.count / 1000.0, floor_wall * 1000.0 / args.count))
        print("| (d') library floor, its wall / %d core(s) | %.2f s | | %.2f |" %
              (cores, floor_measured, floor_measured * 1000.0 / args.count))
        batch = best["batch"][0]
        print("(a)/(b) = %.1f (target >= 20); (c)/(b) = %.1f (target >= 20); "
              "(b)/((d)/cores) = %.2f (target <= 1.5)" %
              (best["loop"][0] / batch, best["peer"][0] / batch, batch / floor_wall))
        print("(b)/(d') = %.2f" % (batch / floor_measured))
        # On a loaded machine the wall times include waiting for a core; the CPU times do not.
        print("CPU: (a)/(b) = %.1f; (c)/(b) = %.1f; (b)/(d) = %.2f" %
              (best["loop"][1] / best["batch"][1], best["peer"][1] / best["batch"][1],
               best["batch"][1] / (floor * args.count / 1000.0)))
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
