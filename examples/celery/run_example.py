#!/usr/bin/env python3
"""Runs the Celery example end to end on one machine: a loopback redis-server of its own (on
127.0.0.1 and a free port), two workers, and 200 packages built, signed and encrypted by the
abonent through the Python package and mailed into a Maildir written by Python's mailbox; checks
that every message is answered exactly once with a notice of receipt and that both workers
answered, then stops the workers and the server and removes everything it made.

Usage: run_example.py [BUILD_DIR]   (default: build; the tool, liblyrcom and the server in it)
"""

import glob
import mailbox
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
MESSAGES = 200
sys.path[:0] = [HERE, os.path.join(SOURCE, "python")]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(what, test, seconds=300):
    deadline = time.monotonic() + seconds
    while not test():
        if time.monotonic() > deadline:
            raise SystemExit(f"run_example.py: {what} did not happen within {seconds} s")
        time.sleep(0.1)


def sandbox(scratch, build):
    """The environment of a private registry, stores and TMP, with the server registered and the
    keys of `tdx880 demo --keep`; the tool's path."""
    tool = os.path.join(build, "tools", "tdx880", "tdx880")
    os.makedirs(os.path.join(scratch, "tmp"))
    os.environ.update({
        "LYRCOM_REGISTRY": os.path.join(scratch, "registry"),
        "LYRCOM_MACHINE_REGISTRY": os.path.join(scratch, "machine-registry"),
        "LYRCOM_LIBRARY": os.path.join(build, "src", "com", "liblyrcom.so.1"),
        "LYR_TDX_MACHINE_HOME": os.path.join(scratch, "machine"),
        "TMP": os.path.join(scratch, "tmp"),
        "PYTHONPATH": os.pathsep.join([HERE, os.path.join(SOURCE, "python")]),
        "PYTHONDONTWRITEBYTECODE": "1",
    })
    subprocess.run([tool, "register"], check=True, capture_output=True)
    subprocess.run([tool, "demo", "--keep", os.path.join(scratch, "demo")], check=True,
                   capture_output=True)


def mail_packages(scratch, inbox):
    """MESSAGES packages from the abonent, each a message in the Maildir inbox."""
    import tdx880
    os.environ["LYR_TDX_HOME"] = os.path.join(scratch, "demo", "abonent")
    crypt = tdx880.Dispatch("LyrTdxPackage880.Tdx880Crypt")
    crypt.Init()
    signer, recipient = crypt.GetPrivateKey(0), crypt.GetOpponentKey(0)
    manager = tdx880.Dispatch("LyrTdxPackage880.Tdx880Manager")
    box = mailbox.Maildir(inbox, create=True)
    saved = os.path.join(scratch, "packages")
    os.makedirs(saved)
    for number in range(MESSAGES):
        file_id = f"NO_NDS_7701_7701_7701234560770101001_20261206_{number:04d}"
        document = (f'<?xml version="1.0" encoding="windows-1251"?>\r\n<Файл ИдФайл="{file_id}">'
                    '<Документ КНД="1151001"/></Файл>\r\n').encode("cp1251")
        package = tdx880.Dispatch("LyrTdxPackage880.Tdx880Package")
        package.New("01", "01")
        package.SenderIdentifier, package.ReceiverIdentifier = "7701234560", "7701"
        package.AddFile("01", "xml", file_id + ".xml", document)
        package.SignFile(file_id + ".xml", signer)
        package.Encrypt(recipient)
        package.Save(saved)
        text = manager.CreateEmailByPackage(package, "abonent@example.ru", "robot@example.ru")
        box.add(tdx880.text_to_bytes(text))
    del os.environ["LYR_TDX_HOME"]


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(SOURCE, "build"))
    scratch = tempfile.mkdtemp(prefix="tdx880-celery-")
    processes = []
    try:
        sandbox(scratch, build)
        port = free_port()
        redis = subprocess.Popen(["redis-server", "--bind", "127.0.0.1", "--port", str(port),
                                  "--save", "", "--appendonly", "no", "--dir", scratch],
                                 stdout=subprocess.DEVNULL)
        processes.append(redis)
        os.environ["TDX880_BROKER"] = f"redis://127.0.0.1:{port}/0"
        import redis as client
        wait_for("redis-server start", lambda: _pings(client, port), 30)

        inbox, outbox = os.path.join(scratch, "inbox"), os.path.join(scratch, "outbox")
        mail_packages(scratch, inbox)
        mailbox.Maildir(outbox, create=True)
        worker_env = dict(os.environ, LYR_TDX_HOME=os.path.join(scratch, "demo", "tax-authority"))
        logs = [os.path.join(scratch, f"worker{n}.log") for n in (1, 2)]
        for n, log in enumerate(logs, 1):
            with open(log + ".out", "w") as out:
                processes.append(subprocess.Popen(
                    [sys.executable, "-m", "celery", "-A", "inbox_tasks", "worker", "--pool",
                     "solo", "-n", f"worker{n}@%h", "--loglevel", "INFO", "--logfile", log],
                    env=worker_env, cwd=scratch, stdout=out, stderr=subprocess.STDOUT))

        import inbox_tasks
        queued = inbox_tasks.dispatch(inbox, outbox)
        wait_for(f"{MESSAGES} answers", lambda: len(os.listdir(os.path.join(outbox, "new")))
                 >= MESSAGES and not _unfinished(inbox))
        check(inbox, outbox, logs, queued)
        print(f"run_example.py: {MESSAGES} packages, two workers, each package answered once")
        return 0
    finally:
        for process in reversed(processes):
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        shutil.rmtree(scratch, ignore_errors=True)


def _pings(client, port):
    try:
        return client.Redis(host="127.0.0.1", port=port).ping()
    except client.exceptions.ConnectionError:
        return False


def _unfinished(inbox):
    return [name for name in os.listdir(os.path.join(inbox, "cur")) if "R" not in name[-4:]]


def check(inbox, outbox, logs, queued):
    import email
    import email.policy
    box = mailbox.Maildir(inbox, create=False)
    expected = sorted(key.replace(":", "%3A") + ".answer" for key in box.keys())
    answers = mailbox.Maildir(outbox, create=False)
    problems = []
    if queued != MESSAGES or sorted(answers.keys()) != expected:
        problems.append(f"{queued} queued, {len(answers.keys())} answers for {len(expected)}")
    for key in answers.keys():
        message = email.message_from_bytes(answers.get_bytes(key), policy=email.policy.default)
        [part] = list(message.iter_attachments())
        if message["To"] != "abonent@example.ru" or not part.get_filename():
            problems.append(f"{key}: not a notice to the abonent")
    done = [len(open(log).read().split("succeeded in")) - 1 for log in logs]
    if min(done) == 0 or sum(done) != MESSAGES:
        problems.append(f"tasks done per worker: {done}")
    leftovers = glob.glob(os.path.join(outbox, "tmp", "*")) + glob.glob(os.path.join(inbox, "tmp", "*"))
    if leftovers:
        problems.append(f"left in tmp/: {leftovers}")
    if problems:
        for log in logs:
            for name in (log, log + ".out"):
                print(f"--- {name}\n{open(name).read()[-4000:]}", file=sys.stderr)
        sys.exit("run_example.py: " + "; ".join(problems))


if __name__ == "__main__":
    sys.exit(main())
