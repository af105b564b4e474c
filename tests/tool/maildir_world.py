"""A receiving robot's world for the inbox tests and the inbox benchmark: the keys of an abonent
and a tax authority (made by `tdx880 demo --keep`), packages built by `tdx880 pack`, messages made
by `tdx880 mail to-eml` and Maildirs written and read by Python's mailbox module.

The environment names the tool: TDX880_TOOL."""

import base64
import email
import email.policy
import io
import mailbox
import os
import re
import subprocess
import zipfile

TOOL = os.environ["TDX880_TOOL"]
ABONENT_ADDRESS = "abonent@example.ru"
ROBOT_ADDRESS = "robot@example.ru"
DECLARATION = ('<?xml version="1.0" encoding="windows-1251"?>\r\n<Файл ИдФайл="NO_NDS_7701_7701_'
               '7701234560770101001_20261206_1"><Документ КНД="1151001"/></Файл>\r\n')


class World:
    """A folder with TMP, the two homes and their certificates' thumbprints."""

    def __init__(self, root):
        self.root = str(root)
        self.tmp = os.path.join(self.root, "tmp")
        os.makedirs(self.tmp, exist_ok=True)
        self.env = dict(os.environ, TMP=self.tmp,
                        LYR_TDX_MACHINE_HOME=os.path.join(self.root, "machine"))
        demo = os.path.join(self.root, "demo")
        shown = self.run("demo", "--keep", demo).stdout
        # "certificate "CN" (THUMBPRINT)": the tax authority's first, then the abonent's.
        self.robot_key, self.abonent_key = re.findall(r'certificate ".*" \(([0-9A-F]{40})\)', shown)
        self.abonent = os.path.join(demo, "abonent")
        self.robot = os.path.join(demo, "tax-authority")

    def run(self, *arguments, home=None, check=True):
        env = dict(self.env, LYR_TDX_HOME=home) if home else self.env
        result = subprocess.run([TOOL, *arguments], env=env, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise AssertionError(f"tdx880 {' '.join(arguments)}: {result.returncode}\n"
                                 f"{result.stdout}{result.stderr}")
        return result

    def robot_command(self, inbox, outbox, *more):
        return [TOOL, "inbox", str(inbox), "--outbox", str(outbox), "--by", "no", "--id", "7701",
                "--sender-inn", "7701234560", "--sender-kpp", "770101001",
                "--sign", self.robot_key, *more]

    def robot_env(self):
        return dict(self.env, LYR_TDX_HOME=self.robot)

    def inbox(self, inbox, outbox, *more, check=True):
        return self.run(*self.robot_command(inbox, outbox, *more)[1:], home=self.robot,
                        check=check)

    def stranger_certificate(self):
        """The self-signed certificate of a key the robot does not have."""
        path = os.path.join(self.root, "stranger.cer")
        if not os.path.exists(path):
            self.run("container", "new", "stranger", "--subject", "CN=Stranger", "--self-signed",
                     "-o", path, home=os.path.join(self.root, "stranger"))
        return path

    def package(self, name, document=DECLARATION, encrypt_for="robot", size=0):
        """A package of one signed declaration (padded with a comment to size bytes), encrypted for
        the robot's key, for a stranger's or for no one (None)."""
        folder = os.path.join(self.root, "packages")
        os.makedirs(folder, exist_ok=True)
        text = document
        if size > len(document) + 7:  # random letters, which compress as little as a scan does
            letters = base64.b64encode(os.urandom(size)).decode()[:size - len(document) - 7]
            text += "<!--" + letters.replace("+", "a").replace("/", "b") + "-->"
        source = os.path.join(folder, name + ".xml")
        with open(source, "wb") as out:
            out.write(text.encode("cp1251"))
        arguments = ["pack", "--flow", "01", "--transaction", "01", "--sender", "7701234560",
                     "--receiver", "7701", "--doc", "01:xml:" + source, "--sign", self.abonent_key,
                     "-o", os.path.join(folder, name + ".zip")]
        if encrypt_for == "robot":
            arguments += ["--encrypt-for", self.robot_key]
        elif encrypt_for:
            arguments += ["--encrypt-cert", self.stranger_certificate()]
        self.run(*arguments, home=self.abonent)
        return os.path.join(folder, name + ".zip")

    def message(self, package):
        """The message text of the package from the abonent to the robot."""
        path = package + ".eml"
        self.run("mail", "to-eml", package, "--from", ABONENT_ADDRESS, "--to", ROBOT_ADDRESS,
                 "-o", path)
        with open(path, "rb") as text:
            return text.read()


def replaced_document(package, path):
    """A copy of the plain package at path with its declaration's bytes changed after signing (the
    compressed document is a ZIP archive of one entry inside the package)."""
    with zipfile.ZipFile(package) as source, zipfile.ZipFile(path, "w") as target:
        for item in source.infolist():
            data = source.read(item)
            if data.startswith(b"PK"):
                with zipfile.ZipFile(io.BytesIO(data)) as inner:
                    [entry] = inner.infolist()
                    document = inner.read(entry)
                if b"1151001" in document:
                    changed = io.BytesIO()
                    with zipfile.ZipFile(changed, "w", zipfile.ZIP_DEFLATED) as inner:
                        inner.writestr(entry, document.replace(b"1151001", b"1151002"))
                    data = changed.getvalue()
            target.writestr(item, data)
    return path


def without_attachment():
    message = email.message.EmailMessage()
    message["From"], message["To"] = ABONENT_ADDRESS, ROBOT_ADDRESS
    message["Subject"] = "declaration"
    message.set_content("The declaration is attached.")
    return message.as_bytes()


def fill(path, texts):
    """A Maildir at path (made by mailbox) holding the messages; their keys."""
    box = mailbox.Maildir(str(path), create=True)
    return [box.add(text) for text in texts]


def answers(outbox):
    """{key: email message} of the outbox, read by mailbox and email."""
    box = mailbox.Maildir(str(outbox), create=False)
    return {key: email.message_from_bytes(box.get_bytes(key), policy=email.policy.default)
            for key in box.keys()}


def documents(message):
    """{original name: content} of the package attached to an answer, read with zipfile from the
    package's description (a compressed document is a ZIP archive of one entry)."""
    parts = list(message.iter_attachments())
    assert len(parts) == 1, message
    with zipfile.ZipFile(io.BytesIO(parts[0].get_content())) as package:
        description = package.read("packageDescription.xml").decode("cp1251")
        found = {}
        for compressed, original, content in re.findall(
                r'сжат="(\w+)"[^>]*исходноеИмяФайла="([^"]+)">\s*<содержимое имяФайла="([^"]+)"',
                description):
            data = package.read(content)
            if compressed == "true":
                with zipfile.ZipFile(io.BytesIO(data)) as inner:
                    data = inner.read(inner.namelist()[0])
            found[original] = data
        return found


def kind_of(message):
    """"notice", "error" or what else the answer's package holds."""
    names = documents(message)
    if "TR_SOSH.xml" in names:
        return "error"
    if any(name.startswith("IP_") for name in names):
        return "notice"
    return "unknown: " + ", ".join(names)


def leftovers(folder):
    """Every entry under folder (for folders that must end empty)."""
    return sorted(os.path.relpath(os.path.join(base, name), folder)
                  for base, folders, files in os.walk(folder) for name in folders + files)
