"""`tdx880 inbox`, the receiving robot, on Maildirs written and read by Python's mailbox module:
the answers, the quarantine, the report and the counts; two robots on one Maildir, a robot killed
outright again and again, and a waiting robot stopped by SIGTERM."""

import json
import mailbox
import os
import random
import re
import signal
import subprocess
import time

import pytest

import maildir_world as mw


@pytest.fixture(scope="module")
def world(tmp_path_factory):
    world = mw.World(tmp_path_factory.mktemp("inbox"))
    world.good = world.message(world.package("good"))
    return world


def check_answered_once(world, inbox, outbox, keys):
    """Every message of keys answered by exactly one notice to the abonent, nothing left over."""
    got = mw.answers(outbox)
    assert sorted(got) == sorted(key.replace(":", "%3A") + ".answer" for key in keys)
    assert {mw.kind_of(message) for message in got.values()} == {"notice"}
    assert {message["To"] for message in got.values()} == {mw.ABONENT_ADDRESS}
    box = mailbox.Maildir(str(inbox), create=False)
    assert sorted(box.keys()) == sorted(keys)
    assert {box.get_message(key).get_flags() for key in keys} == {"RS"}
    assert world.run("inbox", str(inbox), "--stats").stdout == (
        f"notice {len(keys)}\nerror 0\nquarantined 0\nanswered 0\nwaiting 0\nunfinished 0\n")
    for folder in (os.path.join(inbox, "tmp"), os.path.join(outbox, "tmp"), world.tmp):
        assert mw.leftovers(folder) == []


def test_fifty_messages_give_47_notices_2_error_packages_and_1_quarantine(world, tmp_path):
    plain = world.package("plain", encrypt_for=None)
    texts = [world.good] * 46 + [world.message(plain)]
    texts += [world.message(mw.replaced_document(plain, str(tmp_path / "replaced.zip"))),
              world.message(world.package("foreign", encrypt_for="stranger")),
              mw.without_attachment()]
    keys = mw.fill(tmp_path / "inbox", texts)
    result = world.inbox(tmp_path / "inbox", tmp_path / "outbox", "--once")
    lines = result.stdout.splitlines()
    assert len(lines) == 50 and result.stderr == ""
    assert sorted(line.split()[0] for line in lines) == sorted(k.replace(":", "%3A") for k in keys)

    got = mw.answers(tmp_path / "outbox")
    kinds = [mw.kind_of(message) for message in got.values()]
    assert (kinds.count("notice"), kinds.count("error"), len(got)) == (47, 2, 49)
    for message in got.values():
        assert (message["From"], message["To"]) == (mw.ROBOT_ADDRESS, mw.ABONENT_ADDRESS)
        assert message.defects == [] and message["X-Tax-Version"] == "ТДХ:1.0"
    reasons = [mw.documents(message)["TR_SOSH.xml"].decode("cp1251")
               for message in got.values() if mw.kind_of(message) == "error"]
    assert sorted(re.findall(r"<Ошибка>(document 1 \(\w+\.xml\)[^:]*: NOT [A-Z]+)", text)[0]
                  for text in reasons) == [
        "document 1 (foreign.xml): NOT DECRYPTED",
        "document 1 (plain.xml), signature 1, signer ООО Ромашка (" + world.abonent_key +
        "): NOT VALID"], reasons
    assert sum(" error " in line for line in lines) == 2

    quarantine = mailbox.Maildir(str(tmp_path / "inbox"), create=False).get_folder("Quarantine")
    [held] = quarantine.keys()
    assert held == keys[-1] and quarantine.get_message(held).get_flags() == "S"
    with open(tmp_path / "inbox" / ".Quarantine" / (held + ".reason"), encoding="utf-8") as text:
        reason = text.read()
    assert reason == "Неверное количество вложений: [0]\n"
    [line] = [line for line in lines if " quarantined" in line]
    assert line == held + " quarantined: " + reason.strip()

    stats = world.run("inbox", str(tmp_path / "inbox"), "--stats").stdout
    assert stats == "notice 47\nerror 2\nquarantined 1\nanswered 0\nwaiting 0\nunfinished 0\n"
    stats = world.run("inbox", str(tmp_path / "inbox"), "--stats", "--json").stdout
    assert json.loads(stats) == {"notice": 47, "error": 2, "quarantined": 1, "answered": 0,
                                 "waiting": 0, "unfinished": 0}
    # Run again: nothing is left to answer.
    assert world.inbox(tmp_path / "inbox", tmp_path / "outbox", "--once").stdout == ""
    assert len(mw.answers(tmp_path / "outbox")) == 49


def test_two_robots_on_one_maildir_answer_each_message_once(world, tmp_path):
    keys = mw.fill(tmp_path / "inbox", [world.good] * 60)
    robots = [subprocess.Popen(world.robot_command(tmp_path / "inbox", tmp_path / "outbox",
                                                   "--once"),
                               env=world.robot_env(), stdout=subprocess.PIPE, text=True)
              for _ in range(2)]
    outputs = [robot.communicate()[0].splitlines() for robot in robots]
    assert [robot.returncode for robot in robots] == [0, 0]
    assert sorted(outputs[0] + outputs[1]) == sorted(
        f"{k.replace(':', '%3A')} notice {k.replace(':', '%3A')}.answer" for k in keys)
    check_answered_once(world, tmp_path / "inbox", tmp_path / "outbox", keys)


def test_a_robot_killed_outright_again_and_again_answers_each_message_once(world, tmp_path):
    keys = mw.fill(tmp_path / "inbox", [world.good] * 200)
    command = world.robot_command(tmp_path / "inbox", tmp_path / "outbox", "--once")
    delivered = lambda: len(os.listdir(tmp_path / "outbox" / "new"))
    random.seed(29)
    for kill in range(25):
        # Killed while it starts, or a few answers later at some moment of the next message: a
        # moment that does not depend on how fast the machine is.
        robot = subprocess.Popen(command, env=world.robot_env(), stdout=subprocess.DEVNULL)
        if kill % 3:
            target = (delivered() if os.path.exists(tmp_path / "outbox") else 0) + kill % 4 + 1
            while robot.poll() is None and (not os.path.exists(tmp_path / "outbox" / "new")
                                            or delivered() < target):
                time.sleep(0.002)
        time.sleep(random.uniform(0, 0.04))
        assert robot.poll() is None, f"the robot finished before kill {kill + 1}"
        robot.kill()
        robot.wait()
    world.inbox(tmp_path / "inbox", tmp_path / "outbox", "--once")
    check_answered_once(world, tmp_path / "inbox", tmp_path / "outbox", keys)


def test_a_waiting_robot_answers_new_mail_and_finishes_its_message_on_sigterm(world, tmp_path):
    mw.fill(tmp_path / "inbox", [])
    mw.fill(tmp_path / "outbox", [])
    robot = subprocess.Popen(world.robot_command(tmp_path / "inbox", tmp_path / "outbox",
                                                 "--json"),
                             env=world.robot_env(), stdout=subprocess.PIPE, text=True)
    keys = []
    for _ in range(5):
        keys += mw.fill(tmp_path / "inbox", [world.good])
        while len(mw.answers(tmp_path / "outbox")) < len(keys):
            assert robot.poll() is None
            time.sleep(0.05)
    keys += mw.fill(tmp_path / "inbox", [world.good] * 20)
    while not mw.answers(tmp_path / "outbox").keys() - {k + ".answer" for k in keys[:5]}:
        assert robot.poll() is None
        time.sleep(0.01)
    robot.send_signal(signal.SIGTERM)
    out = robot.communicate(timeout=60)[0]
    assert robot.returncode == 0
    done = len(out.splitlines())
    assert [json.loads(line) for line in out.splitlines()[:5]] == [
        {"message": key, "outcome": "notice", "answer": key + ".answer", "reason": ""}
        for key in keys[:5]]
    assert 5 < done <= 25 and len(mw.answers(tmp_path / "outbox")) == done
    stats = world.run("inbox", str(tmp_path / "inbox"), "--stats").stdout
    assert stats.endswith(f"waiting {25 - done}\nunfinished 0\n")


def test_odd_entries_are_quarantined_unread_and_reply_to_is_answered(world, tmp_path):
    inbox, outbox = tmp_path / "inbox", tmp_path / "outbox"
    [key] = mw.fill(inbox, [b"Reply-To: =?utf-8?b?0JDQsdC+0L3QtdC90YI=?= <reply@example.ru>\r\n" +
                            world.good])
    (inbox / "new" / "link").symlink_to(world.stranger_certificate())
    (inbox / "new" / "folder").mkdir()
    (inbox / "new" / "x\x1b:y").write_bytes(world.good)
    lines = world.inbox(inbox, outbox, "--once").stdout.splitlines()
    assert sorted(lines) == sorted([
        "folder quarantined: not a regular file", "link quarantined: not a regular file",
        f"{key} notice {key}.answer", "x%1b%3ay notice x%1b%3ay.answer"])
    assert [m["To"] for m in mw.answers(outbox).values()].count("reply@example.ru") == 1
    quarantine = inbox / ".Quarantine"
    assert sorted(os.listdir(quarantine / "cur")) == ["folder:2,S", "link:2,S"]
    assert os.readlink(quarantine / "cur" / "link:2,S") == world.stranger_certificate()
    assert (quarantine / "link.reason").read_text() == "not a regular file\n"
    # A valid package whose notice the robot cannot build (no tax payer's INN given) is no fault
    # of the sender's: no error package, the quarantine.
    mw.fill(tmp_path / "second", [world.good])
    lines = world.run("inbox", str(tmp_path / "second"), "--outbox", str(outbox), "--by", "no",
                      "--id", "7701", "--once", home=world.robot).stdout.splitlines()
    assert [line.split(" ", 1)[1] for line in lines] == [
        "quarantined: a valid package, but no notice of receipt: Передан пустой аргумент: Inn"]
