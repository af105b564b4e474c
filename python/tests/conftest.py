"""The session's sandbox: registry, stores and temporary folder of its own, the server registered
with the tool, and two participants' homes with keys made by `tdx880 demo --keep`.

The environment names the built pieces: TDX880_TOOL (the tool), LYRCOM_LIBRARY (liblyrcom) and
LYR_AUTOMATION_SERVER (the server library)."""

import os
import subprocess

import pytest


@pytest.fixture(scope="session", autouse=True)
def sandbox(tmp_path_factory):
    root = tmp_path_factory.mktemp("tdx880")
    os.environ.update({
        "LYRCOM_REGISTRY": str(root / "registry"),
        "LYRCOM_MACHINE_REGISTRY": str(root / "etc" / "lyrcom" / "registry"),
        "LYR_TDX_HOME": str(root / "user"),
        "LYR_TDX_MACHINE_HOME": str(root / "machine"),
        "TMP": str(root / "tmp"),
    })
    (root / "tmp").mkdir()
    subprocess.run([os.environ["TDX880_TOOL"], "register"], check=True, capture_output=True)
    return root


@pytest.fixture(scope="session")
def homes(sandbox):
    """{'abonent': home, 'tax-authority': home}: each with its key in MY, the other's certificate
    in addressbook (the abonent's) and the root and CRL (the tax authority's)."""
    demo = sandbox / "demo"
    subprocess.run([os.environ["TDX880_TOOL"], "demo", "--keep", str(demo)], check=True,
                   capture_output=True)
    return {name: str(demo / name) for name in ("abonent", "tax-authority")}
