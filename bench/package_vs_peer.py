#!/usr/bin/env python3
"""Building and reading a package through the tool, as a user runs it, against the pipeline a
user would script instead, on a declaration-like XML document.

Tool:  tdx880 pack --sign --encrypt-for, and tdx880 verify (decrypts and checks).
Peer:  openssl cms -sign -binary -nosmimecap -md md_gost94 of the document, zip -6 of the
       document, openssl cms -encrypt -binary -gost89 of that zip, zip -6 of signature and
       envelope; and back: unzip, openssl cms -decrypt, unzip, openssl cms -verify.

Every step is one process (or one shell pipeline) under /usr/bin/time: wall seconds, user+system
CPU seconds and peak resident memory (of the largest process of a pipeline). The two sides
alternate within one run (tool, peer, tool, peer, ...) so that load on a shared machine falls on
both; the best of the rounds is reported. With --package-bench the in-process benchmark's 10 KB
figures are added: packaging (build and read) against the crypto work alone, alternating in at
least five rounds, the lowest CPU time of each.

Usage: bench/package_vs_peer.py --tool build/tools/tdx880/tdx880 [--sizes 100,1] [--rounds 3]
           [--package-bench build/bench/package_bench] [--keep DIR]
Sizes are in MB (1 MB = 1048576 bytes).
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

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

PEER_BUILD = (
    "openssl cms -sign -binary -nosmimecap -md md_gost94 -outform DER -in doc.xml "
    "-signer peer_cert.pem -inkey peer_key.pem -out sig.bin && "
    "rm -f inner.zip && zip -q -6 inner.zip doc.xml && "
    "openssl cms -encrypt -binary -gost89 -outform DER -in inner.zip -out env.bin "
    "peer_cert.pem && rm -f peer.zip && zip -q -6 peer.zip env.bin sig.bin")
PEER_READ = (
    "rm -rf r && mkdir r && cd r && unzip -q ../peer.zip && "
    "openssl cms -decrypt -binary -inform DER -in env.bin -recip ../peer_cert.pem "
    "-inkey ../peer_key.pem -out inner.zip && unzip -q inner.zip && "
    "openssl cms -verify -binary -inform DER -in sig.bin -content doc.xml "
    "-CAfile ../peer_cert.pem -out /dev/null 2>/dev/null")


def document(size):
    """The declaration-like text of package_bench.cpp: lines of one form differing in their
    numbers (deflates about 5 to 1)."""
    parts = ['<?xml version="1.0" encoding="windows-1251"?>\n<Файл>\n'.encode()]
    length = len(parts[0])
    line = 0
    while length < size:
        text = ('<Строка Номер="%d" КодСтроки="%d" Сумма="%d.00"/>\n' %
                (line, (line * 7919) % 100000, (line * 104729) % 10000000)).encode()
        parts.append(text)
        length += len(text)
        line += 1
    return b"".join(parts)[:size]


class Bench:
    def __init__(self, folder, tool):
        self.folder = folder
        self.tool = os.path.abspath(tool)
        self.env = dict(os.environ)
        self.env["LYR_TDX_HOME"] = os.path.join(folder, "home")
        self.env["TMP"] = os.path.join(folder, "tmp")
        self.env["OPENSSL_CONF"] = os.path.join(folder, "openssl.cnf")
        os.makedirs(self.env["LYR_TDX_HOME"])
        os.makedirs(self.env["TMP"])
        os.makedirs(os.path.join(folder, "out"))
        engine = subprocess.run(["openssl", "version", "-e"], capture_output=True, text=True,
                                check=True).stdout.split('"')[1] + "/gost.so"
        with open(self.env["OPENSSL_CONF"], "w") as cnf:
            cnf.write(OPENSSL_CNF.format(engine=engine))
        # The tool's key: a container with a self-signed certificate in MY, the same certificate
        # in addressbook (to encrypt for) and in ROOT (to trust). The peer's: the same kind of
        # key (GOST R 34.10-2001, parameter set XA) in PEM files.
        self.run([self.tool, "container", "new", "bench", "--subject", "CN=Bench",
                  "--self-signed", "--paramset", "XA", "-o", "tool_cert.pem"])
        self.run([self.tool, "cert", "import", "tool_cert.pem"])
        self.run([self.tool, "cert", "import-chain", "tool_cert.pem"])
        fingerprint = self.run(["openssl", "x509", "-noout", "-fingerprint", "-sha1", "-in",
                                "tool_cert.pem"])
        self.thumbprint = fingerprint.split("=")[1].strip().replace(":", "")
        self.run(["openssl", "req", "-x509", "-newkey", "gost2001", "-pkeyopt", "paramset:XA",
                  "-nodes", "-keyout", "peer_key.pem", "-subj", "/CN=Peer", "-days", "2",
                  "-out", "peer_cert.pem"])

    def run(self, argv):
        return subprocess.run(argv, cwd=self.folder, env=self.env, check=True,
                              capture_output=True, text=True).stdout

    def timed(self, shell):
        """Runs a shell text under /usr/bin/time: (wall s, CPU s, peak RSS MB)."""
        times = os.path.join(self.folder, "time.txt")
        result = subprocess.run(["/usr/bin/time", "-f", "%e %U %S %M", "-o", times, "sh", "-c",
                                 shell], cwd=self.folder, env=self.env, capture_output=True)
        if result.returncode != 0:
            sys.exit("failed: %s\n%s%s" % (shell, result.stdout.decode(errors="replace"),
                                            result.stderr.decode(errors="replace")))
        with open(times) as f:
            wall, user, system, peak_kb = f.read().split()[-4:]
        return float(wall), float(user) + float(system), int(peak_kb) / 1024.0

    def tool_build(self):
        return self.timed(
            "'%s' pack --flow 01 --transaction 01 --sender 7701000001 --receiver 7702 "
            "--doc 01:xml:doc.xml --sign %s --encrypt-for %s -o out/package.zip >/dev/null" %
            (self.tool, self.thumbprint, self.thumbprint))

    def tool_read(self):
        return self.timed("'%s' verify out/package.zip --no-download --no-crl >/dev/null" %
                          self.tool)

    def peer_build(self):
        return self.timed(PEER_BUILD)

    def peer_read(self):
        return self.timed(PEER_READ)


def best(samples):
    """The lowest wall and CPU times of the rounds, and the highest peak."""
    wall = min(s[0] for s in samples)
    return {"wall": wall, "cpu": min(s[1] for s in samples),
            "peak": max(s[2] for s in samples)}


def measure_size(bench, megabytes, rounds):
    size = int(megabytes * 1048576)
    with open(os.path.join(bench.folder, "doc.xml"), "wb") as f:
        f.write(document(size))
    results = {k: [] for k in ("tool_build", "peer_build", "tool_read", "peer_read")}
    for _ in range(rounds):
        results["tool_build"].append(bench.tool_build())
        results["peer_build"].append(bench.peer_build())
        results["tool_read"].append(bench.tool_read())
        results["peer_read"].append(bench.peer_read())
    return size, {k: best(v) for k, v in results.items()}


def in_process(package_bench, rounds):
    """The 10 KB figures of package_bench: build, read and the crypto work alone (CPU ms), each
    the lowest of the rounds, the three alternating within a round."""
    figures = {}
    for _ in range(rounds):
        for name in ("BM_PackageBuild/10240", "BM_PackageRead/10240", "BM_CryptoAlone/10240"):
            out = subprocess.run([package_bench, "--benchmark_filter=^%s/" % name,
                                  "--benchmark_format=json"],
                                 capture_output=True, text=True, check=True).stdout
            run = json.loads(out)["benchmarks"][0]
            key = name.split("/")[0]
            figures[key] = min(figures.get(key, run["cpu_ms/package"]), run["cpu_ms/package"])
    return figures


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--tool", required=True)
    parser.add_argument("--sizes", default="100,1")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--package-bench")
    parser.add_argument("--keep")
    args = parser.parse_args()

    folder = args.keep or tempfile.mkdtemp(prefix="lyr-package-vs-peer-")
    os.makedirs(folder, exist_ok=True)
    try:
        bench = Bench(folder, args.tool)
        print("load average at start: %.2f %.2f %.2f" % os.getloadavg())
        print("| document | step | tool wall | peer wall | ratio | tool CPU | peer CPU "
              "| tool peak | peer peak |")
        print("|---|---|---|---|---|---|---|---|---|")
        for megabytes in (float(s) for s in args.sizes.split(",")):
            size, r = measure_size(bench, megabytes, args.rounds)
            for step in ("build", "read"):
                tool, peer = r["tool_" + step], r["peer_" + step]
                print("| %g MB | %s | %.2f s | %.2f s | %.2f | %.2f s | %.2f s "
                      "| %.0f MB (%.2fx) | %.0f MB |" %
                      (megabytes, step, tool["wall"], peer["wall"], tool["wall"] / peer["wall"],
                       tool["cpu"], peer["cpu"], tool["peak"], tool["peak"] * 1048576 / size,
                       peer["peak"]))
            sys.stdout.flush()
        print("load average at end: %.2f %.2f %.2f" % os.getloadavg())
        if args.package_bench:
            f = in_process(os.path.abspath(args.package_bench), max(args.rounds, 5))
            packaging = f["BM_PackageBuild"] + f["BM_PackageRead"]
            print("10 KB in process: build %.2f ms CPU, read %.2f ms CPU, crypto alone %.2f ms "
                  "CPU: packaging adds %.0f %%" %
                  (f["BM_PackageBuild"], f["BM_PackageRead"], f["BM_CryptoAlone"],
                   (packaging / f["BM_CryptoAlone"] - 1) * 100))
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)


if __name__ == "__main__":
    main()
