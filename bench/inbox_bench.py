#!/usr/bin/env python3
"""Messages per second handled by `tdx880 inbox --once`: one robot, then two robots on one Maildir,
each run over MESSAGES messages of a package of one 10 KB declaration, signed by the abonent and
encrypted for the robot (the keys of `tdx880 demo --keep`), in Maildirs written by Python's mailbox.
Every message is answered with a signed notice of receipt into the outbox.

Usage: bench/inbox_bench.py [BUILD_DIR] [MESSAGES]   (default: build, 300)
"""

import os
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build"))
count = int(sys.argv[2]) if len(sys.argv) > 2 else 300
os.environ["TDX880_TOOL"] = os.path.join(build, "tools", "tdx880", "tdx880")
sys.path.insert(0, os.path.join(SOURCE, "tests", "tool"))
import maildir_world as mw  # noqa: E402


def run(world, robots, folder):
    os.makedirs(folder)
    mw.fill(os.path.join(folder, "inbox"), [world.message_10k] * count)
    command = world.robot_command(os.path.join(folder, "inbox"), os.path.join(folder, "outbox"),
                                  "--once")
    start = time.monotonic()
    running = [subprocess.Popen(command, env=world.robot_env(), stdout=subprocess.DEVNULL)
               for _ in range(robots)]
    if any(robot.wait() != 0 for robot in running):
        sys.exit("inbox_bench.py: a robot failed")
    seconds = time.monotonic() - start
    answered = len(os.listdir(os.path.join(folder, "outbox", "new")))
    if answered != count:
        sys.exit(f"inbox_bench.py: {answered} answers for {count} messages")
    print(f"{robots} robot(s): {count} messages in {seconds:.2f} s, {count / seconds:.1f} messages/s")


with tempfile.TemporaryDirectory(prefix="tdx880-inbox-bench-") as scratch:
    world = mw.World(scratch)
    world.message_10k = world.message(world.package("bench", size=10 * 1024))
    print(f"message of a 10 KB package: {len(world.message_10k)} bytes; {os.cpu_count()} CPU(s)")
    for robots in (1, 2):
        run(world, robots, os.path.join(scratch, f"run{robots}"))
