"""Checks a release as those who rebuild it, Windows users and administrators meet it.

Reproducible: two clones of HEAD in different folders, packaged one after the other without a key,
give the same corvelle.scr and zip byte for byte, MSIs that differ only in the fields named in the
README, and no build folder in any of them.
Signed: a throwaway certificate made with openssl signs packages of the first clone, once as a
PKCS#12 file and once as a key on a SoftHSM2 token: the .scr in the zip, the MSI and the .scr that
the MSI installs verify against it, the installed signed .scr runs the display and ends on the
pointer, and scripts/verify-release, run in the second clone, finds the signed .scr's digest equal
to its rebuild's and a changed copy's not. A half-given key, a wrong password, a PKCS#12 file with
old encryption and a wrong PIN stop the package with a clear message, no package and no secret
in the output.
The release itself (SHA256SUMS checks), each in a fresh Wine prefix: the zip unpacked, the
samples copied to c:\\pictures as the guide says, the unpacked corvelle.scr /s shows them moving
and ends with exit code 0 on a mouse move. The MSI installed silently puts the files in place
and no picture list; with the list set to the installed samples through reg.exe, as a policy
would, corvelle.scr /s from System32 does the same; installed again, then the same version built
from another commit (a scratch clone with one more commit), one entry stays, with the later files;
a newer version replaces it, an older one is refused (a launch condition with its message, which
Wine's msiexec does not log); uninstalled, nothing is left.

Usage: check_package.py BUILD VERSION   (the release in BUILD; BUILD/check is emptied and used)
"""

import os
import pty
import re
import secrets
import shutil
import subprocess
import sys
import time
import zipfile

import numpy
from PIL import Image

import winedrive
from winedrive import packed_colours, windows_path

ROOT = os.path.dirname(winedrive.SCRIPTS)
CONTENTS = sorted(["LICENSE", "README.txt", "corvelle.scr"]
                  + [f"pictures/{k}.bmp" for k in range(1, 11)])
PARK = (400, 300)
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
KEYS = ("CORVELLE_SIGNING_CERT", "CORVELLE_SIGNING_PASSWORD_FILE", "CORVELLE_PKCS11_MODULE",
        "CORVELLE_PKCS11_KEY", "CORVELLE_PKCS11_CERT", "CORVELLE_TIMESTAMP_URL",
        "SOURCE_DATE_EPOCH")


def fail(reason):
    sys.exit(f"check_package: FAILED: {reason}")


def say(text):
    print(f"check_package: {text}", flush=True)


def run(*command, cwd=None, env=None):
    """Runs a command and returns its exit code and what it printed."""
    done = subprocess.run(command, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return done.returncode, done.stdout


def package(clone, build="build/package", **key):
    """scripts/package of a clone, without its own check, with only the given key; returns its
    exit code, its output, and the folder it packaged into."""
    env = {k: v for k, v in os.environ.items() if k not in KEYS}
    env.update(key, CORVELLE_PACKAGE_CHECK="no", CORVELLE_PACKAGE_BUILD=build)
    code, output = run(os.path.join(clone, "scripts", "package"), cwd=clone, env=env)
    return code, output, os.path.join(clone, build)


def released(folder, suffix):
    found = [f for f in os.listdir(folder) if f.endswith(suffix) and f.startswith("corvelle-")]
    return os.path.join(folder, found[0]) if len(found) == 1 else fail(f"no {suffix} in {folder}")


def msi_fields(msi, work):
    """The MSI's tables, streams and summary as msidump writes them, by file, with the fields
    that differ between any two builds (product code, package code, the two times) left out."""
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    run("msidump", "-s", "-t", msi, cwd=work)
    fields = {}
    for folder, _, names in os.walk(work):
        for name in names:
            path = os.path.join(folder, name)
            if name.endswith("SummaryInformation"):   # the raw form of _SummaryInformation.idt
                continue
            with open(path, "rb") as f:
                lines = f.read().split(b"\n")
            if name in ("Property.idt", "_SummaryInformation.idt"):
                lines = [line for line in lines
                         if not re.match(rb"ProductCode\t|(9|12|13)\t", line)]
            fields[os.path.relpath(path, work)] = lines
    return fields


def check_reproducible(work, clones):
    """The two clones' unsigned packages are the same but for the MSI's named fields."""
    built = []
    for clone in clones:
        code, output, folder = package(clone)
        if code != 0:
            fail(f"packaging {clone} failed:\n{output}")
        built.append(folder)
    for name in ("corvelle.scr", ".zip"):
        first, second = (released(f, name) if name[0] == "." else os.path.join(f, name)
                         for f in built)
        with open(first, "rb") as a, open(second, "rb") as b:
            if a.read() != b.read():
                fail(f"two builds of one commit differ: {first} and {second}")
    msis = [released(f, ".msi") for f in built]
    msi_a = msi_fields(msis[0], f"{work}/dump-a")
    if msi_a != msi_fields(msis[1], f"{work}/dump-b"):
        fail(f"the MSIs differ beyond the product and package codes and times: {msis}")
    # No build folder in the .scr, in any file of the zip or in the MSI's tables and cabinet.
    with zipfile.ZipFile(released(built[0], ".zip")) as archive:
        contents = [archive.read(name) for name in archive.namelist()]
    contents += [b"\n".join(lines) for lines in msi_a.values()]
    with open(os.path.join(built[0], "corvelle.scr"), "rb") as f:
        contents.append(f.read())
    if any(os.path.basename(clones[0]).encode() in data for data in contents):
        fail(f"a file of {built[0]} holds the folder it was built in")
    say("two clones packaged alike: corvelle.scr and the zip byte for byte, the MSI but for its "
        "codes and times, no build folder in any")


def typed(command, answers, env):
    """Runs a command on a terminal and types each answer after a prompt ends with a colon,
    as softhsm2-util asks for its PINs: they go on no command line."""
    pid, terminal = pty.fork()
    if pid == 0:
        os.execvpe(command[0], command, env)
    seen = b""
    for answer in answers:
        while not seen.rstrip().endswith(b":"):
            seen += os.read(terminal, 1024)
        seen = b""
        os.write(terminal, answer.encode() + b"\n")
    try:
        while os.read(terminal, 1024):
            pass
    except OSError:
        pass
    return os.waitpid(pid, 0)[1] == 0


def throwaway_keys(work):
    """A throwaway certificate with its key as a PKCS#12 file, in old encryption too, and on a
    SoftHSM2 token; returns the certificate, the password and PIN file and the keys."""
    secret = os.path.join(work, "secret")
    with open(os.open(secret, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
        f.write(secrets.token_hex(8) + "\n")
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    for command in (
            ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
             "/CN=Corvelle throwaway", "-addext", "extendedKeyUsage=codeSigning", "-keyout", key,
             "-out", cert],
            ["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out",
             f"{work}/key.p12", "-passout", f"file:{secret}"],
            ["openssl", "pkcs12", "-export", "-legacy", "-inkey", key, "-in", cert, "-out",
             f"{work}/old.p12", "-passout", f"file:{secret}"],
            ["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", key, "-out", f"{work}/key.p8"]):
        if run(*command)[0] != 0:
            fail(f"could not make the throwaway key: {' '.join(command[:2])}")
    tokens = os.path.join(work, "tokens")
    os.makedirs(tokens)
    with open(f"{work}/softhsm2.conf", "w") as f:
        f.write(f"directories.tokendir = {tokens}\nobjectstore.backend = file\n")
    env = dict(os.environ, SOFTHSM2_CONF=f"{work}/softhsm2.conf")
    with open(secret) as f:
        pin = f.read().strip()
    if not (typed(["softhsm2-util", "--init-token", "--free", "--label", "corvelle"], [pin] * 4,
                  env)
            and typed(["softhsm2-util", "--import", f"{work}/key.p8", "--token", "corvelle",
                       "--label", "corvelle", "--id", "01"], [pin] * 2, env)):
        fail("could not put the throwaway key on a SoftHSM2 token")
    os.environ["SOFTHSM2_CONF"] = env["SOFTHSM2_CONF"]   # the packages read the token there
    module = next(p for p in ("/usr/lib/softhsm/libsofthsm2.so",
                              "/usr/lib/x86_64-linux-gnu/softhsm/libsofthsm2.so")
                  if os.path.exists(p))
    with_file = {"CORVELLE_SIGNING_CERT": f"{work}/key.p12",
                 "CORVELLE_SIGNING_PASSWORD_FILE": secret}
    on_token = {"CORVELLE_PKCS11_MODULE": module, "CORVELLE_PKCS11_CERT": cert,
                "CORVELLE_PKCS11_KEY": "pkcs11:token=corvelle;object=corvelle;type=private",
                "CORVELLE_SIGNING_PASSWORD_FILE": secret}
    return cert, secret, pin, with_file, on_token


def verifies(path, cert):
    code, output = run("osslsigncode", "verify", "-CAfile", cert, "-in", path)
    if code != 0 or "Signature verification: ok" not in output:
        fail(f"{path} does not verify against the throwaway certificate:\n{output}")


def check_signing(work, clones, wine):
    cert, secret, pin, with_file, on_token = throwaway_keys(work)
    wrong = os.path.join(work, "wrong")
    with open(wrong, "w") as f:
        f.write("not the password\n")
    refused = [
        ("a half-given key", {"CORVELLE_SIGNING_CERT": with_file["CORVELLE_SIGNING_CERT"]},
         "needs CORVELLE_SIGNING_PASSWORD_FILE"),
        ("a wrong password", dict(with_file, CORVELLE_SIGNING_PASSWORD_FILE=wrong),
         "wrong password"),
        ("old encryption", dict(with_file, CORVELLE_SIGNING_CERT=f"{work}/old.p12"),
         "old encryption"),
        ("a wrong PIN", dict(on_token, CORVELLE_SIGNING_PASSWORD_FILE=wrong), "refuses the PIN")]
    for case, key, message in refused:
        code, output, folder = package(clones[0], build=f"build/{case.split()[-1]}", **key)
        left = [f for f in os.listdir(folder) if f.startswith("corvelle-")
                or f == "SHA256SUMS"] if os.path.isdir(folder) else []
        if code == 0 or message not in output or left or pin in output:
            fail(f"{case}: exit code {code}, left {left}, expected the message '{message}' and "
                 f"no secret in:\n{output}")
        say(f"{case} stops the package: {output.strip().splitlines()[-1]}")

    samples = None
    for kind, key in ("PKCS#12 file", with_file), ("SoftHSM2 token", on_token):
        code, output, folder = package(clones[0], **key)
        if code != 0 or pin in output:
            fail(f"signing with the {kind} failed or showed its secret:\n{output}")
        zip_path, msi = released(folder, ".zip"), released(folder, ".msi")
        with zipfile.ZipFile(zip_path) as archive:
            scr = next(n for n in archive.namelist() if n.endswith("corvelle.scr"))
            archive.extract(scr, f"{work}/unzipped")
        for path in os.path.join(f"{work}/unzipped", scr), msi:
            verifies(path, cert)
        if wine.run("msiexec", "/i", windows_path(msi), "/qn", "/norestart", timeout=180) != 0:
            fail(f"the MSI signed with the {kind} did not install")
        installed = os.path.join(wine.prefix, "drive_c", "windows", "system32", "corvelle.scr")
        verifies(installed, cert)
        if samples is None:   # one signed .scr that runs is enough
            samples = [os.path.join(wine.prefix, "drive_c", "Program Files", "Corvelle",
                                    "pictures", f"{k}.bmp") for k in range(1, 11)]
            wine.store_pictures({k: rf"C:\Program Files\Corvelle\pictures\{k}.bmp"
                                 for k in range(1, 11)})
            show_and_end(wine, r"C:\windows\system32\corvelle.scr", samples)
            shutil.copy(os.path.join(folder, "corvelle.scr"), f"{work}/published.scr")
        wine.run("msiexec", "/x", windows_path(msi), "/qn", "/norestart", timeout=180)
        say(f"signed with the {kind}: the .scr in the zip, the MSI and the installed .scr verify")

    verify = os.path.join(clones[1], "scripts", "verify-release")
    code, output = run(verify, f"{work}/published.scr", cwd=clones[1])
    if code != 0:
        fail(f"verify-release does not recognise the signed .scr:\n{output}")
    with open(f"{work}/published.scr", "r+b") as f:   # one byte of the code changed
        f.seek(0x1000)
        byte = f.read(1)
        f.seek(0x1000)
        f.write(bytes([byte[0] ^ 1]))
    if run(verify, f"{work}/published.scr", cwd=clones[1])[0] == 0:
        fail("verify-release takes a changed .scr for the rebuild")
    say("verify-release in another clone: the signed .scr's digest equals its rebuild's, a changed "
        "copy's does not")


def signatures(paths):
    """Per picture, the colours that it alone of them all has, black aside."""
    colours = [set(numpy.unique(packed_colours(Image.open(path))).tolist()) - {0}
               for path in paths]
    return [numpy.array(sorted(own - set().union(*(colours[:k] + colours[k + 1:]))))
            for k, own in enumerate(colours)]


def watch(wine, program, wanted, timeout=20):
    """Screens of the running display, at least three, until each picture has shown 50 pixels of
    its own colours in one of them; returns the pictures seen and the screens."""
    seen, screens = set(), []
    deadline = time.monotonic() + timeout
    while ((len(seen) < len(wanted) or len(screens) < 3) and time.monotonic() < deadline
           and program.running()):
        screens.append(packed_colours(wine.screenshot()))
        seen |= {k for k, colours in enumerate(wanted)
                 if numpy.isin(screens[-1], colours).sum() >= 50}
    return seen, screens


def show_and_end(wine, scr, samples):
    """scr /s must show every sample moving and end with exit code 0 on a mouse move."""
    wine.move_pointer(*PARK)
    program = wine.start(scr, "/s")
    try:
        if not winedrive.wait_until(lambda: not program.running() or wine.saver_window(), 60):
            fail(f"{scr} /s showed no display within 60 s")
        if not program.running():
            fail(f"{scr} /s ended at once with {program.wait(0)}: {program.output()}")
        seen, screens = watch(wine, program, signatures(samples))
        if len(seen) < len(samples):
            missing = [f"{k + 1}.bmp" for k in range(len(samples)) if k not in seen]
            fail(f"samples never seen on the screen: {', '.join(missing)}")
        if len(screens) < 2 or all(numpy.array_equal(screens[0], s) for s in screens[1:]):
            fail("the pictures do not move")
        say(f"{scr}: all ten samples seen moving in {len(screens)} screens")
        wine.move_pointer(PARK[0] + 30, PARK[1])
        code = program.wait(30)
        if code != 0:
            fail(f"a mouse move did not end the display with 0 (exit code {code})")
        say("a mouse move ended it with exit code 0")
    finally:
        program.kill()


def check_zip(zip_path, wine):
    with zipfile.ZipFile(zip_path) as archive:
        names = archive.namelist()
        top = names[0].split("/")[0]
        files = sorted(name.split("/", 1)[1] for name in names if not name.endswith("/"))
        if files != CONTENTS:
            fail(f"the zip holds {files}, expected {CONTENTS}")
        archive.extractall(os.path.join(wine.prefix, "drive_c"))
    say(f"unpacked to C:\\{top}")
    unpacked = os.path.join(wine.prefix, "drive_c", top)
    pictures = os.path.join(wine.prefix, "drive_c", "pictures")
    os.makedirs(pictures)
    samples = [os.path.join(unpacked, "pictures", f"{k}.bmp") for k in range(1, 11)]
    for sample in samples:
        shutil.copy(sample, pictures)
    say("copied the samples to c:\\pictures")
    show_and_end(wine, f"C:\\{top}\\corvelle.scr", samples)


def installed_entries(wine):
    """(name, version, publisher) of every installed program named Corvelle."""
    query = wine.start("reg", "query", UNINSTALL, "/s")
    query.wait(60)
    entries, values = [], {}
    for line in query.output().splitlines() + ["HKEY_END"]:
        if line.startswith("HKEY_"):
            if values.get("DisplayName") == "Corvelle":
                entries.append(tuple(values.get(k) for k in ("DisplayName", "DisplayVersion",
                                                             "Publisher")))
            values = {}
        elif len(fields := line.split(None, 2)) == 3:
            values[fields[0]] = fields[2]
    return entries


def check_msi(build, version, other_commit, wine):
    msi = released(build, ".msi")
    drive_c = os.path.join(wine.prefix, "drive_c")
    folder = os.path.join(drive_c, "Program Files", "Corvelle")
    guide = os.path.join(folder, "README.txt")
    installed = [os.path.join(drive_c, "windows", "system32", "corvelle.scr"), guide,
                 os.path.join(folder, "LICENSE")]
    samples = [os.path.join(folder, "pictures", f"{k}.bmp") for k in range(1, 11)]

    def msiexec(action, package, entries, refused=False):
        """Runs msiexec /qn /norestart with a verbose log; a refused install must fail, with the
        newer version detected (Windows ends it with 1603, Wine with 67)."""
        log = os.path.join(wine.dir, "msiexec.log")
        got = wine.run("msiexec", action, windows_path(package), "/qn", "/norestart", "/l*v",
                       windows_path(log), timeout=180)
        with open(log, "rb") as f:
            said = f.read()
        said = said.decode("utf-16" if said[1:2] == b"\0" else "utf-8", errors="replace")
        if (got != 0) != refused or (refused and "WIX_DOWNGRADE_DETECTED = {" not in said):
            fail(f"msiexec {action} {package} /qn ended with {got}" + (
                ", expected a refusal with a newer version detected" if refused else ""))
        if installed_entries(wine) != entries:
            fail(f"after msiexec {action} {package} the installed programs list "
                 f"{installed_entries(wine)}, expected {entries}")
        say(f"msiexec {action} {os.path.relpath(package, build)}: exit code {got}, installed "
            f"programs {entries}")

    msiexec("/i", msi, [("Corvelle", version, "Tessarel")])
    missing = [path for path in installed + samples if not os.path.isfile(path)]
    if missing:
        fail(f"not installed: {missing}")
    if os.path.exists(os.path.join(drive_c, "pictures")) or wine.run(
            "reg", "query", winedrive.PICTURE_KEY) == 0:
        fail("the installer made c:\\pictures or a picture list")
    wine.store_pictures({k: rf"C:\Program Files\Corvelle\pictures\{k}.bmp" for k in range(1, 11)})
    show_and_end(wine, r"C:\windows\system32\corvelle.scr", samples)
    msiexec("/i", msi, [("Corvelle", version, "Tessarel")])
    msiexec("/i", released(other_commit, ".msi"), [("Corvelle", version, "Tessarel")])
    with open(guide, "rb") as ours, open(f"{other_commit}/stage/corvelle-{version}-win64/"
                                         "README.txt", "rb") as theirs:
        if ours.read() != theirs.read():
            fail("the same version from another commit left the earlier files in place")
    newer = version.rsplit(".", 1)[0] + "." + str(int(version.rsplit(".", 1)[1]) + 1)
    msiexec("/i", f"{build}/versions/newer.msi", [("Corvelle", newer, "Tessarel")])
    refusal = "NOT WIX_DOWNGRADE_DETECTED\tA newer version of Corvelle is already installed."
    if refusal not in run("msiinfo", "export", f"{build}/versions/older.msi",
                          "LaunchCondition")[1]:
        fail(f"the MSI's launch conditions lack the refusal of a downgrade: {refusal}")
    msiexec("/i", f"{build}/versions/older.msi", [("Corvelle", newer, "Tessarel")], refused=True)
    msiexec("/x", f"{build}/versions/newer.msi", [])
    left = [path for path in installed + [folder] if os.path.exists(path)]
    if left:
        fail(f"left after uninstalling: {left}")


def fresh_prefix(work, check, *arguments):
    """Runs check(*arguments, wine) in a new Wine environment in work."""
    start = os.path.join(winedrive.SCRIPTS, "wine-env-start")
    if subprocess.run([start, work], stdout=subprocess.DEVNULL).returncode != 0:
        fail("no Wine environment")
    try:
        check(*arguments, winedrive.Session(work))
    finally:
        subprocess.run([os.path.join(winedrive.SCRIPTS, "wine-env-stop"), work])


def clone(work, name, commit_change=None):
    path = os.path.join(work, name)
    if run("git", "clone", "-q", ROOT, path)[0] != 0:
        fail(f"cannot clone {ROOT}")
    if commit_change:
        with open(os.path.join(path, commit_change), "a") as f:
            f.write("\nThis line was added by another commit of the same version.\n")
        run("git", "-c", "user.name=check", "-c", "user.email=check@localhost", "commit", "-qam",
            "Another commit of the same version", cwd=path)
    return path


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build, version = os.path.abspath(sys.argv[1]), sys.argv[2]
    work = os.path.join(build, "check")
    shutil.rmtree(work, ignore_errors=True)   # fresh prefixes: no picture list, nothing installed
    os.makedirs(work)
    if run("git", "status", "--porcelain", cwd=ROOT)[1].strip():
        say("warning: the working tree has changes; the clones are of its last commit")
    code, output = run("sha256sum", "-c", "SHA256SUMS", cwd=build)
    if code != 0:
        fail(f"SHA256SUMS does not check:\n{output}")
    say("SHA256SUMS checks: " + ", ".join(line.split(":")[0] for line in output.splitlines()))
    clones = [clone(work, "clone-a"), clone(work, "clone-b")]
    check_reproducible(work, clones)
    fresh_prefix(os.path.join(work, "signed"), check_signing, work, clones)
    other = clone(work, "clone-c", commit_change="docs/guide.txt")
    code, output, other_commit = package(other)
    if code != 0:
        fail(f"packaging another commit failed:\n{output}")
    fresh_prefix(os.path.join(work, "zip"), check_zip, released(build, ".zip"))
    fresh_prefix(os.path.join(work, "msi"), check_msi, build, version, other_commit)


if __name__ == "__main__":
    main()
