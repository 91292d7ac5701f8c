"""Checks a release as those who rebuild it, Windows users and administrators meet it; the README
says what, under "Packaging a release".

Usage: check_package.py BUILD VERSION   (the release in BUILD; BUILD/check is emptied and used)
"""

import hashlib
import os
import re
import secrets
import shutil
import struct
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
# Summary fields that wixl writes anew for every build: the package code and two times.
REVISION_NUMBER, CREATED, LAST_SAVED = 9, 12, 13


def fail(reason):
    sys.exit(f"check_package: FAILED: {reason}")


def say(text):
    print(f"check_package: {text}", flush=True)


def run(*command, cwd=None, **env):
    """Exit code and output of a command run as an outsider would, with no key and no release
    time, but with `env`."""
    env = dict({k: v for k, v in os.environ.items() if k not in KEYS}, **env)
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
    return os.path.join(folder, found[0]) if len(found) == 1 else fail(f"no {suffix} in {folder}")


def read(path, mode="r"):
    with open(path, mode) as f:
        return f.read()


def write(path, data, mode=0o644):
    with open(os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode),
              "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)


def digest(path):
    return hashlib.sha256(read(path, "rb")).hexdigest()


def check_release(build):
    """SHA256SUMS over exactly the published files; BUILDINFO names the commit; no link time in
    corvelle.scr; the MSI's UpgradeCode is the guide's, and it removes an installed Corvelle
    before it installs its files, so that a file of the same version is replaced too."""
    code, output = run("sha256sum", "-c", "SHA256SUMS", cwd=build)
    listed = sorted(line.split(":")[0] for line in output.splitlines())
    msi = released(build, ".msi")
    published = sorted(["corvelle.scr", "BUILDINFO", os.path.basename(msi),
                        os.path.basename(released(build, ".zip"))])
    if code != 0 or listed != published:
        fail(f"SHA256SUMS lists {listed}, expected {published} to check:\n{output}")
    if f"commit: {run('git', 'rev-parse', 'HEAD', cwd=ROOT)[1]}" not in read(
            os.path.join(build, "BUILDINFO")) + "\n":
        fail("BUILDINFO does not name the commit packaged")
    pe = read(os.path.join(build, "corvelle.scr"), "rb")   # the COFF header's TimeDateStamp
    stamp = struct.unpack_from("<I", pe, struct.unpack_from("<I", pe, 0x3C)[0] + 8)[0]
    upgrade_code = re.search(r"UpgradeCode,\s+(\{[0-9A-F-]+\})",
                             read(os.path.join(ROOT, "docs", "guide.txt"))).group(1)
    sequence = dict(re.findall(r"^(\w+)\t\S*\t(\d+)$", run("msiinfo", "export", msi,
                                                           "InstallExecuteSequence")[1], re.M))
    if (stamp != 0 or f"UpgradeCode\t{upgrade_code}" not in run("msiinfo", "export", msi,
                                                                  "Property")[1]
            or int(sequence["RemoveExistingProducts"]) >= int(sequence["InstallFiles"])):
        fail(f"a link time of {stamp}, an UpgradeCode other than the guide's {upgrade_code}, or "
             f"RemoveExistingProducts not before InstallFiles: {sequence}")
    say(f"SHA256SUMS checks {', '.join(listed)}; BUILDINFO names the commit; no link time; the "
        f"guide's UpgradeCode; RemoveExistingProducts before InstallFiles")


def msi_fields(msi, work):
    """The MSI's tables, streams and summary as msidump writes them, by file, without the product
    code and the summary fields that differ between any two builds."""
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    run("msidump", "-s", "-t", msi, cwd=work)
    anew = re.compile(rb"ProductCode\t|(%d|%d|%d)\t" % (REVISION_NUMBER, CREATED, LAST_SAVED))
    # The raw summary stream aside: _SummaryInformation.idt holds it as text.
    kept = ("Property.idt", "_SummaryInformation.idt")
    return {name: [line for line in read(os.path.join(folder, name), "rb").split(b"\n")
                   if name not in kept or not anew.match(line)]
            for folder, _, names in os.walk(work) for name in names
            if not name.endswith("SummaryInformation")}


def check_reproducible(work, clones):
    """The two clones' unsigned packages are the same but for the MSI's named fields, and hold no
    build folder."""
    built = []
    for clone in clones:
        code, output, folder = package(clone)
        if code != 0:
            fail(f"packaging {clone} failed:\n{output}")
        built.append(folder)
    for file in ["corvelle.scr", os.path.basename(released(built[0], ".zip"))]:
        if digest(os.path.join(built[0], file)) != digest(os.path.join(built[1], file)):
            fail(f"two builds of one commit differ: {file}")
    msi_a = msi_fields(released(built[0], ".msi"), f"{work}/dump-a")
    if msi_a != msi_fields(released(built[1], ".msi"), f"{work}/dump-b"):
        fail("the MSIs differ beyond the product and package codes and times")
    with zipfile.ZipFile(released(built[0], ".zip")) as archive:
        contents = [archive.read(name) for name in archive.namelist()]
    contents += [read(os.path.join(built[0], "corvelle.scr"), "rb")]
    contents += [b"\n".join(lines) for lines in msi_a.values()]
    if any(os.path.basename(clones[0]).encode() in data for data in contents):
        fail(f"a file of {built[0]} holds the folder it was built in")
    shutil.copy(os.path.join(built[0], "corvelle.scr"), f"{work}/unsigned.scr")
    shutil.copy(os.path.join(built[0], "BUILDINFO"), f"{work}/BUILDINFO")
    say("two clones packaged alike: corvelle.scr and the zip byte for byte, the MSI but for its "
        "codes and times, no build folder in any")


def throwaway_keys(work):
    """A throwaway certificate with its key as a PKCS#12 file, in old encryption too, and on a
    SoftHSM2 token; returns the certificate, the secret (password and PIN) and the two keys."""
    secret, pin = os.path.join(work, "secret"), secrets.token_hex(8)
    write(secret, pin + "\n", 0o600)
    cert, key = os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")
    os.makedirs(f"{work}/tokens")
    write(f"{work}/softhsm2.conf",
          f"directories.tokendir = {work}/tokens\nobjectstore.backend = file\n")
    os.environ["SOFTHSM2_CONF"] = f"{work}/softhsm2.conf"   # the packages read the token there
    for command in (
            ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
             "/CN=Corvelle throwaway", "-addext", "extendedKeyUsage=codeSigning", "-keyout", key,
             "-out", cert],
            ["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out",
             f"{work}/key.p12", "-passout", f"file:{secret}"],
            ["openssl", "pkcs12", "-export", "-legacy", "-inkey", key, "-in", cert, "-out",
             f"{work}/old.p12", "-passout", f"file:{secret}"],
            ["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", key, "-out", f"{work}/key.p8"],
            # A token made for this check alone: its PIN may go on the command line.
            ["softhsm2-util", "--init-token", "--free", "--label", "corvelle", "--pin", pin,
             "--so-pin", pin],
            ["softhsm2-util", "--import", f"{work}/key.p8", "--token", "corvelle", "--label",
             "corvelle", "--id", "01", "--pin", pin]):
        if run(*command, SOFTHSM2_CONF=f"{work}/softhsm2.conf")[0] != 0:
            fail(f"could not make the throwaway key: {' '.join(command[:2])}")
    module = next(p for p in ("/usr/lib/softhsm/libsofthsm2.so",
                              "/usr/lib/x86_64-linux-gnu/softhsm/libsofthsm2.so")
                  if os.path.exists(p))
    with_file = {"CORVELLE_SIGNING_CERT": f"{work}/key.p12",
                 "CORVELLE_SIGNING_PASSWORD_FILE": secret}
    on_token = {"CORVELLE_PKCS11_MODULE": module, "CORVELLE_PKCS11_CERT": cert,
                "CORVELLE_PKCS11_KEY": "pkcs11:token=corvelle;object=corvelle;type=private",
                "CORVELLE_SIGNING_PASSWORD_FILE": secret}
    return cert, pin, with_file, on_token


def check_refusals(work, clone, pin, with_file, on_token):
    """Each bad key, and a time-stamp server that cannot be reached, stops the package before
    anything is built, with its message and no secret; a failure after the zip is written
    leaves no output behind."""
    wrong, failing = os.path.join(work, "wrong"), os.path.join(work, "failing")
    write(wrong, "not the password\n")
    os.makedirs(failing)
    write(f"{failing}/wixl", "#!/bin/sh\necho 'wixl: made to fail by the check' >&2\nexit 1\n",
          0o755)
    refused = [
        ("a half-given key", {"CORVELLE_SIGNING_CERT": with_file["CORVELLE_SIGNING_CERT"]},
         "needs CORVELLE_SIGNING_PASSWORD_FILE"),
        ("a wrong password", dict(with_file, CORVELLE_SIGNING_PASSWORD_FILE=wrong),
         "wrong password"),
        ("old encryption", dict(with_file, CORVELLE_SIGNING_CERT=f"{work}/old.p12"),
         "old encryption"),
        ("a wrong PIN", dict(on_token, CORVELLE_SIGNING_PASSWORD_FILE=wrong), "refuses the PIN"),
        ("an unreachable time-stamp server",
         dict(with_file, CORVELLE_TIMESTAMP_URL="http://127.0.0.1:1"), "cannot be reached"),
        ("a failing MSI build", {"PATH": f"{failing}:{os.environ['PATH']}"}, "")]
    for case, key, message in refused:
        build = "build/package" if message == "" else f"build/{case.split()[-1]}"
        start = time.monotonic()
        code, output, folder = package(clone, build, **key)
        left = [f for f in os.listdir(folder) if f.startswith("corvelle-")
                or f in ("SHA256SUMS", "BUILDINFO")] if os.path.isdir(folder) else []
        if code == 0 or message not in output or left or pin in output or (
                message and os.path.exists(f"{folder}/corvelle.scr")):
            fail(f"{case}: exit code {code}, left {left}, expected the message '{message}', no "
                 f"build and no secret in:\n{output}")
        say(f"{case} stops the package in {time.monotonic() - start:.0f} s: "
            f"{output.strip().splitlines()[-1]}")


def check_signing(work, clones):
    """Signed with the PKCS#12 file and with the token: the .scr in the zip and the MSI verify,
    and the MSI carries the very .scr that was signed."""
    cert, pin, with_file, on_token = throwaway_keys(work)
    check_refusals(work, clones[0], pin, with_file, on_token)
    for kind, key in ("PKCS#12 file", with_file), ("SoftHSM2 token", on_token):
        code, output, folder = package(clones[0], **key)
        if code != 0 or pin in output or "warning: no time stamp" not in output:
            fail(f"signing with the {kind} failed, showed its secret or did not warn of no time "
                 f"stamp:\n{output}")
        shutil.rmtree(f"{work}/unpacked", ignore_errors=True)
        with zipfile.ZipFile(released(folder, ".zip")) as archive:
            archive.extractall(f"{work}/unpacked")
        run("msiextract", "-C", f"{work}/unpacked", released(folder, ".msi"))
        scrs = [os.path.join(d, "corvelle.scr") for d, _, names in os.walk(f"{work}/unpacked")
                if "corvelle.scr" in names]
        for path in scrs + [released(folder, ".msi")]:
            code, output = run("osslsigncode", "verify", "-CAfile", cert, "-in", path)
            if code != 0 or "Signature verification: ok" not in output:
                fail(f"{path} does not verify against the throwaway certificate:\n{output}")
        if len(scrs) != 2 or {digest(path) for path in scrs} != {
                digest(os.path.join(folder, "corvelle.scr"))}:
            fail(f"the zip and the MSI signed with the {kind} do not carry the signed .scr")
        say(f"signed with the {kind}, warned of no time stamp: the zip's and the MSI's .scr, the "
            f"very one signed, and the MSI verify")
    check_verify_release(work, clones[1], os.path.join(folder, "corvelle.scr"))


def check_verify_release(work, clone, signed):
    """verify-release as an outsider runs it, in another clone: the published .scr, signed or
    not, is its rebuild and a changed copy is not; a changed tree and another commit are refused;
    a toolchain that differs is named before the verdict."""
    info = os.path.join(work, "BUILDINFO")
    text = read(info)
    for name, changed in (("toolchain", re.sub(r"^cmake: .*$", "cmake: 0", text, flags=re.M)),
                          ("commit", re.sub(r"^commit: .*$", "commit: " + "0" * 40, text,
                                            flags=re.M))):
        write(f"{work}/{name}.BUILDINFO", changed)
    for path in signed, f"{work}/unsigned.scr":
        data = bytearray(read(path, "rb"))
        data[0x1000] ^= 1   # one byte of the code
        write(f"{path}.changed", bytes(data))
    cases = [("the signed .scr", signed, info, 0, "the same"),
             ("a changed copy of it", f"{signed}.changed", info, 1, "DIFFERENT"),
             ("the unsigned .scr", f"{work}/unsigned.scr", info, 0, "the same"),
             ("a changed copy, another toolchain", f"{work}/unsigned.scr.changed",
              f"{work}/toolchain.BUILDINFO", 1, "toolchain differs[^\n]* cmake\n.*DIFFERENT"),
             ("another commit", signed, f"{work}/commit.BUILDINFO", 2, "not the commit"),
             ("local changes", signed, info, 2, "local changes")]
    for case, scr, buildinfo, expected, said in cases:
        if expected == 2 and said == "local changes":
            open(os.path.join(clone, "local change"), "w").close()
        code, output = run(os.path.join(clone, "scripts", "verify-release"), scr, buildinfo,
                           cwd=clone)
        if code != expected or not re.search(said, output, re.S):
            fail(f"verify-release of {case}: exit code {code}, expected {expected} and "
                 f"'{said}':\n{output}")
    os.remove(os.path.join(clone, "local change"))
    say("verify-release in another clone, without the release's time: the signed and the "
        "unsigned .scr are their rebuild, changed copies are not, and a toolchain that differs "
        "is named first; a changed tree and another commit are refused")


def signatures(paths):
    """Per picture, the colours that it alone of them all has, black aside."""
    colours = [set(numpy.unique(packed_colours(Image.open(path))).tolist()) - {0}
               for path in paths]
    return [numpy.array(sorted(own - set().union(*(colours[:k] + colours[k + 1:]))))
            for k, own in enumerate(colours)]


def show_and_end(wine, scr, samples):
    """scr /s must show every sample moving (50 pixels of its own colours in some screen, and no
    two screens alike) and end with exit code 0 on a mouse move."""
    wine.move_pointer(*PARK)
    program = wine.start(scr, "/s")
    try:
        if not winedrive.wait_until(lambda: not program.running() or wine.saver_window(), 60):
            fail(f"{scr} /s showed no display within 60 s")
        wanted, seen, screens = signatures(samples), set(), []
        deadline = time.monotonic() + 20
        while ((len(seen) < len(wanted) or len(screens) < 3) and time.monotonic() < deadline
               and program.running()):
            screens.append(packed_colours(wine.screenshot()))
            seen |= {k for k, own in enumerate(wanted) if numpy.isin(screens[-1], own).sum() >= 50}
        if len(seen) < len(samples):
            fail(f"samples never seen on the screen: {sorted(k + 1 for k in set(range(10)) - seen)}"
                 f"; exit code {program.wait(0)}")
        if all(numpy.array_equal(screens[0], s) for s in screens[1:]):
            fail("the pictures do not move")
        wine.move_pointer(PARK[0] + 30, PARK[1])
        code = program.wait(30)
        if code != 0:
            fail(f"a mouse move did not end the display with 0 (exit code {code})")
        say(f"{scr}: all ten samples seen moving in {len(screens)} screens; a mouse move ended it "
            "with exit code 0")
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
    unpacked = os.path.join(wine.prefix, "drive_c", top)
    pictures = os.path.join(wine.prefix, "drive_c", "pictures")
    os.makedirs(pictures)
    samples = [os.path.join(unpacked, "pictures", f"{k}.bmp") for k in range(1, 11)]
    for sample in samples:
        shutil.copy(sample, pictures)
    say(f"unpacked to C:\\{top}, the samples copied to c:\\pictures")
    show_and_end(wine, f"C:\\{top}\\corvelle.scr", samples)


def installed_entries(wine):
    """(name, version, publisher) of every installed program named Corvelle."""
    query = wine.start("reg", "query", UNINSTALL, "/s")
    if query.wait(60) != 0:   # an empty answer would read as nothing installed
        query.kill()
        fail(f"reg query {UNINSTALL} failed: {query.output()}")
    keys = [dict(re.findall(r"^[ \t]+(\w+)[ \t]+REG_\w+[ \t]*(.*?)\s*$", key, re.M))
            for key in query.output().split("HKEY_")]
    return [(k["DisplayName"], k.get("DisplayVersion"), k.get("Publisher"))
            for k in keys if k.get("DisplayName") == "Corvelle"]


def check_msi(build, version, other_commit, wine):
    drive_c = os.path.join(wine.prefix, "drive_c")
    folder = os.path.join(drive_c, "Program Files", "Corvelle")
    scr = os.path.join(drive_c, "windows", "system32", "corvelle.scr")
    installed = [scr, os.path.join(folder, "README.txt"), os.path.join(folder, "LICENSE")]
    installed += [os.path.join(folder, "pictures", f"{k}.bmp") for k in range(1, 11)]

    def msiexec(action, package, entries, refused=False):
        """Runs msiexec /qn /norestart with a verbose log; a refused install must fail, with the
        newer version detected (Windows ends it with 1603, Wine with 67)."""
        log = os.path.join(wine.dir, "msiexec.log")
        got = wine.run("msiexec", action, windows_path(package), "/qn", "/norestart", "/l*v",
                       windows_path(log), timeout=180)
        said = read(log, "rb")
        said = said.decode("utf-16" if said[1:2] == b"\0" else "utf-8", errors="replace")
        if (got != 0) != refused or (refused and "WIX_DOWNGRADE_DETECTED = {" not in said):
            fail(f"msiexec {action} {package} /qn ended with {got}" + (
                ", expected a refusal with a newer version detected" if refused else ""))
        if installed_entries(wine) != entries:
            fail(f"after msiexec {action} {package} the installed programs list "
                 f"{installed_entries(wine)}, expected {entries}")
        say(f"msiexec {action} {os.path.relpath(package, build)}: exit code {got}, installed "
            f"programs {entries}")

    def installs(folder):
        if not os.path.isfile(scr) or digest(scr) != digest(os.path.join(folder, "corvelle.scr")):
            fail(f"the installed corvelle.scr is not the one of {folder}")

    msiexec("/i", released(build, ".msi"), [("Corvelle", version, "Tessarel")])
    missing = [path for path in installed if not os.path.isfile(path)]
    if missing:
        fail(f"not installed: {missing}")
    installs(build)
    if os.path.exists(os.path.join(drive_c, "pictures")) or wine.run(
            "reg", "query", winedrive.PICTURE_KEY) == 0:
        fail("the installer made c:\\pictures or a picture list")
    msiexec("/i", released(build, ".msi"), [("Corvelle", version, "Tessarel")])
    msiexec("/i", released(other_commit, ".msi"), [("Corvelle", version, "Tessarel")])
    installs(other_commit)
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


def clone(work, name):
    path = os.path.join(work, name)
    if run("git", "clone", "-q", ROOT, path)[0] != 0:
        fail(f"cannot clone {ROOT}")
    return path


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    build, version = os.path.abspath(sys.argv[1]), sys.argv[2]
    work = os.path.join(build, "check")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    if run("git", "status", "--porcelain", cwd=ROOT)[1].strip():
        say("warning: the working tree has changes; the clones are of its last commit")
    check_release(build)
    clones = [clone(work, "clone-a"), clone(work, "clone-b")]
    check_reproducible(work, clones)
    check_signing(work, clones)
    # The same version from a later commit whose program differs, in its version resource only.
    rc = os.path.join(clones[1], "res", "corvelle.rc")
    write(rc, read(rc).replace('"FileDescription", "Corvelle"', '"FileDescription", "Corvelle."'))
    run("git", "-c", "user.name=check", "-c", "user.email=check@localhost", "commit", "-qam",
        "The same version, another program", cwd=clones[1])
    code, output, other_commit = package(clones[1])
    if code != 0 or digest(f"{other_commit}/corvelle.scr") == digest(f"{build}/corvelle.scr"):
        fail(f"packaging another commit failed, or gave the same corvelle.scr:\n{output}")
    prefix = os.path.join(work, "windows")   # a fresh one: no picture list, nothing installed
    if subprocess.run([f"{winedrive.SCRIPTS}/wine-env-start", prefix]).returncode != 0:
        fail("no Wine environment")
    try:
        wine = winedrive.Session(prefix)
        check_msi(build, version, other_commit, wine)   # first: it must find no c:\pictures
        check_zip(released(build, ".zip"), wine)
    finally:
        subprocess.run([f"{winedrive.SCRIPTS}/wine-env-stop", prefix])


if __name__ == "__main__":
    main()
