"""The release as those who rebuild it, Windows users and administrators meet it; scripts/package
runs it with the release's folder and version in CORVELLE_RELEASE and CORVELLE_VERSION, and the
harness in PYTHONPATH."""

import hashlib
import os
import re
import secrets
import shutil
import subprocess
import zipfile

import pytest

import winedrive

ROOT = os.path.dirname(winedrive.HARNESS)
RELEASE, VERSION = os.environ.get("CORVELLE_RELEASE", ""), os.environ.get("CORVELLE_VERSION", "")
WORK = os.path.join(RELEASE, "check")
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"


def run(*command, cwd=None, **env):
    """Exit code and output of a command run as an outsider would: no key, no release time."""
    env = dict({k: v for k, v in os.environ.items()
                if not k.startswith("CORVELLE_") and k != "SOURCE_DATE_EPOCH"}, **env)
    done = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return done.returncode, done.stdout


def package(clone, build="build/package", **env):
    """Exit code, output and folder of scripts/package of a clone, without its own check."""
    code, output = run(os.path.join(clone, "scripts", "package"), cwd=clone, **env,
                       CORVELLE_PACKAGE_CHECK="no", CORVELLE_PACKAGE_BUILD=build)
    return code, output, os.path.join(clone, build)


def released(folder, suffix):
    found = [f for f in os.listdir(folder) if f.endswith(suffix) and f.startswith("corvelle-")]
    assert len(found) == 1, f"{suffix} in {folder}"
    return os.path.join(folder, found[0])


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def write(path, data, mode=0o644):
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode),
              "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)


def digest(path):
    return hashlib.sha256(read(path, "rb")).hexdigest()


@pytest.fixture(scope="module")
def clones():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    for name in "ab":
        assert run("git", "clone", "-q", ROOT, f"{WORK}/clone-{name}")[0] == 0
    return [f"{WORK}/clone-a", f"{WORK}/clone-b"]


@pytest.fixture(scope="module")
def unsigned(clones):
    """The clones' unsigned packages; the first one's corvelle.scr and BUILDINFO kept aside."""
    built = []
    for clone in clones:
        code, output, folder = package(clone)
        assert code == 0, output
        built.append(folder)
    for name in "corvelle.scr", "BUILDINFO":
        shutil.copy(os.path.join(built[0], name), WORK)
    return built


@pytest.fixture(scope="module")
def keys():
    """A throwaway certificate, its key as a PKCS#12 file and on a SoftHSM2 token: the
    certificate, the secret (password and PIN) and the two keys."""
    secret, pin, cert, key = f"{WORK}/secret", secrets.token_hex(8), f"{WORK}/cert.pem", \
        f"{WORK}/key.pem"
    write(secret, pin + "\n", 0o600)
    os.makedirs(f"{WORK}/tokens")
    write(f"{WORK}/softhsm2.conf",
          f"directories.tokendir = {WORK}/tokens\nobjectstore.backend = file\n")
    os.environ["SOFTHSM2_CONF"] = f"{WORK}/softhsm2.conf"   # the packages read the token there
    for command in (
            ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
             "/CN=Corvelle throwaway", "-addext", "extendedKeyUsage=codeSigning", "-keyout", key,
             "-out", cert],
            ["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out",
             f"{WORK}/key.p12", "-passout", f"file:{secret}"],
            ["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", key, "-out", f"{WORK}/key.p8"],
            # A token made for this check alone: its PIN may go on the command line.
            ["softhsm2-util", "--init-token", "--free", "--label", "corvelle", "--pin", pin,
             "--so-pin", pin],
            ["softhsm2-util", "--import", f"{WORK}/key.p8", "--token", "corvelle", "--label",
             "corvelle", "--id", "01", "--pin", pin]):
        assert run(*command, SOFTHSM2_CONF=f"{WORK}/softhsm2.conf")[0] == 0, command
    with_file = {"CORVELLE_SIGNING_CERT": f"{WORK}/key.p12",
                 "CORVELLE_SIGNING_PASSWORD_FILE": secret}
    on_token = {"CORVELLE_PKCS11_MODULE": "/usr/lib/softhsm/libsofthsm2.so",   # Debian 12's
                "CORVELLE_PKCS11_KEY": "pkcs11:token=corvelle;object=corvelle;type=private",
                "CORVELLE_PKCS11_CERT": cert, "CORVELLE_SIGNING_PASSWORD_FILE": secret}
    return cert, pin, with_file, on_token


def test_the_sums_the_zip_the_upgrade_code_and_an_installed_corvelle_removed_first():
    code, output = run("sha256sum", "-c", "SHA256SUMS", cwd=RELEASE)
    msi = released(RELEASE, ".msi")
    assert code == 0, output
    assert sorted(line.split(":")[0] for line in output.splitlines()) == sorted(
        ["corvelle.scr", "BUILDINFO", os.path.basename(msi),
         os.path.basename(released(RELEASE, ".zip"))])
    guide = re.search(r"UpgradeCode,\s+(\{[0-9A-F-]+\})", read(f"{ROOT}/docs/guide.txt"))
    assert f"UpgradeCode\t{guide.group(1)}" in run("msiinfo", "export", msi, "Property")[1]
    # Removed later, an installed Corvelle of the same version would keep its files on Windows,
    # which Wine's installer does not show.
    sequence = dict(re.findall(r"^(\w+)\t\S*\t(\d+)$", run("msiinfo", "export", msi,
                                                           "InstallExecuteSequence")[1], re.M))
    assert int(sequence["RemoveExistingProducts"]) < int(sequence["InstallFiles"]), sequence
    with zipfile.ZipFile(released(RELEASE, ".zip")) as archive:
        files = [name.split("/", 1)[1] for name in archive.namelist() if not name.endswith("/")]
    assert sorted(files) == sorted(["LICENSE", "README.txt", "corvelle.scr"]
                                   + [f"pictures/{k}.bmp" for k in range(1, 11)])


def test_two_clones_package_alike(unsigned):
    for name in "corvelle.scr", os.path.basename(released(unsigned[0], ".zip")):
        assert digest(f"{unsigned[0]}/{name}") == digest(f"{unsigned[1]}/{name}"), name
    # wixl makes the product code and the summary's package code (9) and times (12, 13) anew.
    differing = run("msidiff", "-t", *(released(folder, ".msi") for folder in unsigned))[1]
    changed = re.findall(r"^(?:[-+](?![-+]{2} )|Binary files )(.*)$", differing, re.M)
    assert all(re.match(r"(ProductCode|9|12|13)\t", line) for line in changed), differing


def test_refused_before_anything_is_built_with_no_secret_shown_and_no_package_left(clones, keys,
                                                                                   unsigned):
    clone, (_, pin, with_file, on_token) = clones[0], keys
    write(f"{WORK}/wrong", "not the password\n")
    os.makedirs(f"{WORK}/failing")
    write(f"{WORK}/failing/wixl", "#!/bin/sh\necho 'wixl: made to fail' >&2\nexit 1\n", 0o755)
    for case, key, said, changed in [   # what each must say; a file each changes in the clone
            ("a wrong password", dict(with_file, CORVELLE_SIGNING_PASSWORD_FILE=f"{WORK}/wrong"),
             "wrong password", None),
            ("an unreachable time-stamp server",
             dict(with_file, CORVELLE_TIMESTAMP_URL="http://127.0.0.1:1"), "cannot be reached",
             None),
            ("a changed tracked file", {}, "local changes in LICENSE: commit them first",
             "LICENSE"),
            ("a stray untracked file", {}, "local changes in stray: commit them first", "stray"),
            # Late, over a whole earlier package: none of it may stay.
            ("a failing MSI build", {"PATH": f"{WORK}/failing:{os.environ['PATH']}"}, "", None)]:
        if changed:
            write(f"{clone}/{changed}", "changed\n")
        build = f"build/{case.split()[-1]}" if said else "build/package"
        code, output, folder = package(clone, build, **key)
        run("sh", "-c", "git checkout -q . && git clean -qf", cwd=clone)
        left = [f for f in os.listdir(folder) if f.startswith("corvelle")
                or f in ("SHA256SUMS", "BUILDINFO")] if os.path.isdir(folder) else []
        assert code != 0 and said in output and pin not in output, f"{case}: {output}"
        assert left == ([] if said else ["corvelle.scr"]), case


@pytest.fixture(scope="module")
def signed(clones, keys, unsigned):
    """Packages signed with the PKCS#12 file and with the key on the token, each kept aside."""
    built = {}
    for kind, key in ("PKCS#12 file", keys[2]), ("SoftHSM2 token", keys[3]):
        code, output, folder = package(clones[0], **key)
        assert code == 0 and "warning: no time stamp" in output and keys[1] not in output, output
        built[kind] = f"{WORK}/signed with the {kind.split()[-1]}"
        os.makedirs(built[kind])
        for path in f"{folder}/corvelle.scr", released(folder, ".zip"), released(folder, ".msi"):
            shutil.copy(path, built[kind])
    return built


@pytest.mark.parametrize("kind", ["PKCS#12 file", "SoftHSM2 token"])
def test_signed_the_zip_and_the_msi_carry_the_very_saver_signed_and_all_verify(signed, keys,
                                                                               kind):
    folder, unpacked = signed[kind], f"{WORK}/unpacked"
    shutil.rmtree(unpacked, ignore_errors=True)
    with zipfile.ZipFile(released(folder, ".zip")) as archive:
        archive.extractall(unpacked)
    run("msiextract", "-C", unpacked, released(folder, ".msi"))
    scrs = [os.path.join(d, "corvelle.scr") for d, _, names in os.walk(unpacked)
            if "corvelle.scr" in names]
    assert [digest(path) for path in scrs] == 2 * [digest(f"{folder}/corvelle.scr")]
    for path in scrs + [released(folder, ".msi")]:
        code, output = run("osslsigncode", "verify", "-CAfile", keys[0], "-in", path)
        assert code == 0 and "Signature verification: ok" in output, output


@pytest.fixture(scope="module")
def handed(unsigned, signed):
    """What an outsider is handed besides the release: changed copies and altered BUILDINFOs."""
    shutil.copy(f"{signed['SoftHSM2 token']}/corvelle.scr", f"{WORK}/signed")
    text = read(f"{WORK}/BUILDINFO")
    write(f"{WORK}/compiler.BUILDINFO",
          re.sub(r"^(g\+\+-mingw-w64-x86-64-posix: ).*$", r"\g<1>0", text, flags=re.M))
    write(f"{WORK}/commit.BUILDINFO", re.sub(r"^commit: .*$", "commit: " + "0" * 40, text,
                                             flags=re.M))
    for name in "signed", "corvelle.scr":
        data = bytearray(read(f"{WORK}/{name}", "rb"))
        data[0x1000] ^= 1   # one byte of the code
        write(f"{WORK}/{name}.changed", bytes(data))


@pytest.mark.parametrize("case, scr, buildinfo, expected, said", [
    ("the signed .scr", "signed", "BUILDINFO", 0, "the same"),
    ("a changed copy of it", "signed.changed", "BUILDINFO", 1, "DIFFERENT"),
    ("the unsigned .scr", "corvelle.scr", "BUILDINFO", 0, "the same"),
    ("a changed copy, another compiler", "corvelle.scr.changed", "compiler.BUILDINFO", 1,
     r"toolchain differs[^\n]* g\+\+-mingw-w64-x86-64-posix\n.*DIFFERENT"),
    ("another commit", "signed", "commit.BUILDINFO", 2, "not the commit"),
    ("local changes", "signed", "BUILDINFO", 2, "local changes")])
def test_verify_release_as_an_outsider_in_another_clone(clones, handed, case, scr, buildinfo,
                                                         expected, said):
    if case == "local changes":
        write(f"{clones[1]}/local change", "")
    code, output = run(f"{clones[1]}/scripts/verify-release", f"{WORK}/{scr}",
                       f"{WORK}/{buildinfo}", cwd=clones[1])
    run("git", "clean", "-qf", cwd=clones[1])
    assert code == expected and re.search(said, output, re.S), output


@pytest.fixture(scope="module")
def other_commit(clones):
    """The package of a later commit of the same version whose version resource differs."""
    rc = f"{clones[1]}/res/corvelle.rc"
    write(rc, read(rc).replace('"FileDescription", "Corvelle"', '"FileDescription", "Corvelle."'))
    run("git", "-c", "user.name=check", "-c", "user.email=check@localhost", "commit", "-qam",
        "The same version, another program", cwd=clones[1])
    code, output, folder = package(clones[1])
    assert code == 0 and digest(f"{folder}/corvelle.scr") != digest(f"{RELEASE}/corvelle.scr"), \
        output
    return folder


@pytest.fixture(scope="module")
def wine():
    """A fresh Wine prefix: no picture list, nothing installed."""
    prefix = f"{WORK}/windows"
    assert subprocess.run([f"{winedrive.HARNESS}/wine-env-start", prefix]).returncode == 0
    yield winedrive.Session(prefix)
    subprocess.run([f"{winedrive.HARNESS}/wine-env-stop", prefix])


def installed_entries(wine):
    """(name, version, publisher) of every installed program named Corvelle."""
    query = wine.start("reg", "query", UNINSTALL, "/s")
    code = query.wait(60)   # an empty answer would read as nothing installed
    query.kill()
    assert code == 0, query.output()
    keys = [dict(re.findall(r"^[ \t]+(\w+)[ \t]+REG_\w+[ \t]*(.*?)\s*$", key, re.M))
            for key in query.output().split("HKEY_")]
    return [(k["DisplayName"], k.get("DisplayVersion"), k.get("Publisher"))
            for k in keys if k.get("DisplayName") == "Corvelle"]


def test_the_msi_installs_replaces_upgrades_refuses_a_downgrade_and_uninstalls(wine,
                                                                              other_commit):
    drive_c = os.path.join(wine.prefix, "drive_c")
    folder = os.path.join(drive_c, "Program Files", "Corvelle")
    scr = os.path.join(drive_c, "windows", "system32", "corvelle.scr")
    files = [scr, f"{folder}/README.txt", f"{folder}/LICENSE"]
    files += [f"{folder}/pictures/{k}.bmp" for k in range(1, 11)]
    newer = re.sub(r"\d+$", lambda patch: str(int(patch.group()) + 1), VERSION)

    def msiexec(action, msi, version, refused=False):
        # A refused install fails with the newer version detected (Windows ends it with 1603,
        # Wine with 67).
        log = os.path.join(wine.dir, "msiexec.log")
        got = wine.run("msiexec", action, winedrive.windows_path(msi), "/qn", "/norestart",
                       "/l*v", winedrive.windows_path(log), timeout=180)
        said = read(log, "rb")
        said = said.decode("utf-16" if said[1:2] == b"\0" else "utf-8", errors="replace")
        assert (got != 0) == refused, f"msiexec {action} {msi}: {got}"
        assert not refused or "WIX_DOWNGRADE_DETECTED = {" in said
        assert installed_entries(wine) == ([("Corvelle", version, "Tessarel")] if version else [])

    msiexec("/i", released(RELEASE, ".msi"), VERSION)
    assert [path for path in files if not os.path.isfile(path)] == []
    assert digest(scr) == digest(f"{RELEASE}/corvelle.scr")
    msiexec("/i", released(RELEASE, ".msi"), VERSION)
    msiexec("/i", released(other_commit, ".msi"), VERSION)
    assert digest(scr) == digest(f"{other_commit}/corvelle.scr")
    msiexec("/i", f"{RELEASE}/versions/newer.msi", newer)
    msiexec("/i", f"{RELEASE}/versions/older.msi", newer, refused=True)
    msiexec("/x", f"{RELEASE}/versions/newer.msi", None)
    assert [path for path in files + [folder] if os.path.exists(path)] == []
