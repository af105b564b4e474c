"""The receiving robot's handling as tasks of a Celery queue with a Redis broker, so that the
messages of one Maildir are answered by workers on many machines.

A dispatcher (`dispatch`) claims each message of MAILDIR/new by the Maildir rename new/ -> cur/
with the flag "S" (of several dispatchers exactly one wins each message) and queues one task per
message. A worker (`answer`) reads the package from the message through the automation objects
of the Python package `tdx880`, decrypts and verifies it, and answers into the outbox Maildir
with a signed notice of receipt or an error package, addressed back to the sender; a message
without a readable package goes to MAILDIR/.Quarantine with its reason. The answer is written
into the outbox's tmp/ and linked into new/ under a name made from the message's, which never
replaces an answer there: a task that runs twice (a worker lost while it worked, the broker
handing the task out again) finds its answer delivered and answers no second time. The message
then gets the flag "R", as `tdx880 inbox` gives it.

Settings from the environment: TDX880_BROKER (the Redis URL), LYR_TDX_HOME (the keys: the
robot's own key in "MY", the chain's root and CRL in "ROOT" and "CA"), TDX880_INBOX_ARGS: the
confirming tax authority's code and the tax payer's INN and KPP, "7701:7701234560:770101001".
The automation server must be registered (`tdx880 register`).
"""

import email.parser
import email.policy
import email.utils
import os
import socket

from celery import Celery

import tdx880

app = Celery("tdx880_inbox", broker=os.environ.get("TDX880_BROKER", "redis://127.0.0.1:6379/0"))
# A task is acknowledged once it has run, so the broker hands out again the task of a worker
# that was lost while it worked; the answer's name makes the second run harmless.
app.conf.update(task_acks_late=True, task_reject_on_worker_lost=True,
                worker_prefetch_multiplier=1, task_ignore_result=True)

MANAGER = "LyrTdxPackage880.Tdx880Manager"


def answer_name(unique):
    """The answer's name in the outbox, as `tdx880 inbox` makes it (for plain ASCII names)."""
    return unique.replace("%", "%25").replace(":", "%3A") + ".answer"


def dispatch(maildir, outbox):
    """Claims every message of maildir/new and queues its task; the number queued."""
    queued = 0
    for name in sorted(os.listdir(os.path.join(maildir, "new"))):
        unique = name.split(":2,")[0]
        claimed = unique + ":2,S"
        try:
            os.rename(os.path.join(maildir, "new", name), os.path.join(maildir, "cur", claimed))
        except FileNotFoundError:
            continue  # another dispatcher took it
        answer.delay(maildir, outbox, claimed)
        queued += 1
    return queued


def _write_new(folder, name, data):
    """Writes data into folder/tmp and links it into folder/new as name; False when new/ holds
    that name already."""
    scratch = os.path.join(folder, "tmp", f"{name}.{socket.gethostname()}.{os.getpid()}")
    with open(scratch, "wb") as out:
        out.write(data)
        out.flush()
        os.fsync(out.fileno())
    try:
        os.link(scratch, os.path.join(folder, "new", name))
        return True
    except FileExistsError:
        return False
    finally:
        os.unlink(scratch)


def _finish(path, done):
    """Gives the message the flag "R"; a run of the same task that finished first did already."""
    try:
        os.rename(path, done)
    except FileNotFoundError:
        pass


def _verified(package):
    """The reasons the package is not valid (none: every document decrypted, signed, valid)."""
    reasons = []
    if not package.Decrypt():
        reasons.append(package.LastError.Message)
    for index in range(package.GetFileCount()):
        document = package.GetFile(index)
        if package.GetFileSignatureCount(index) == 0:
            reasons.append(f"{document.OriginalFilename}: NOT SIGNED")
        elif not document.CheckSignEx(True, True):
            reasons.append(f"{document.OriginalFilename}: NOT VALID: {document.LastError.Message}")
    return reasons


def _notice(manager, package):
    code, inn, kpp = os.environ.get("TDX880_INBOX_ARGS", "7701:7701234560:770101001").split(":")
    corroborant = manager.CreateSubjectNO()
    corroborant.Indentifier = code
    sender = manager.CreateSubjectUL()
    sender.Indentifier, sender.Inn, sender.Kpp, sender.Name = (
        package.SenderIdentifier, inn, kpp, package.SenderIdentifier)
    receiver = manager.CreateSubjectNO()
    notice = manager.CreateIPPackage(package, corroborant, sender, receiver)
    crypt = tdx880.Dispatch("LyrTdxPackage880.Tdx880Crypt")
    crypt.Init()
    notice.SignFile(notice.GetFile(0).OriginalFilename, crypt.GetPrivateKey(0))
    return notice


def _error_document(reasons):
    lines = "".join(f"<Ошибка>{r.replace('&', '&amp;').replace('<', '&lt;')}</Ошибка>\r\n"
                    for r in reasons)
    return f'<?xml version="1.0" encoding="windows-1251"?>\r\n<Ошибки>\r\n{lines}</Ошибки>\r\n'


@app.task(name="tdx880.inbox.answer")
def answer(maildir, outbox, claimed):
    """Answers the claimed message maildir/cur/claimed; "notice", "error", "quarantined" or
    "answered" (found answered by an earlier run)."""
    unique = claimed.split(":2,")[0]
    path = os.path.join(maildir, "cur", claimed)
    done = os.path.join(maildir, "cur", unique + ":2,RS")
    if not os.path.exists(path):
        return "answered"  # an earlier run finished it
    name = answer_name(unique)
    if os.path.exists(os.path.join(outbox, "new", name)):
        _finish(path, done)
        return "answered"
    with open(path, "rb") as message:
        raw = message.read()
    manager = tdx880.Dispatch(MANAGER)
    manager.SafeMode = True
    package = manager.CreatePackageByEmail(tdx880.bytes_to_text(raw))
    if package is None:
        quarantine = os.path.join(maildir, ".Quarantine")
        for folder in ("tmp", "new", "cur"):
            os.makedirs(os.path.join(quarantine, folder), exist_ok=True)
        with open(os.path.join(quarantine, name[:-len(".answer")] + ".reason"), "w") as text:
            text.write(manager.LastError.Message + "\n")
        os.rename(path, os.path.join(quarantine, "cur", unique + ":2,S"))
        return "quarantined"
    package.SafeMode = True
    reasons = _verified(package)
    header = email.parser.BytesHeaderParser(policy=email.policy.compat32).parsebytes(raw)
    sender = email.utils.parseaddr(header["Reply-To"] or header["From"] or "")[1]
    recipient = email.utils.parseaddr(header["To"] or "")[1]
    reply = manager.CreateEmailByPackage(
        _notice(manager, package) if not reasons else
        manager.CreateErrorPackage(package, _error_document(reasons)),
        recipient, sender)
    if not reply:
        raise RuntimeError(manager.LastError.Message)
    written = _write_new(outbox, name, tdx880.text_to_bytes(reply))
    _finish(path, done)
    if not written:
        return "answered"
    return "error" if reasons else "notice"
