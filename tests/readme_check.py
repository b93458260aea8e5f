#!/usr/bin/python3
"""Runs the commands the README shows, so that it cannot go stale.

Every line of a ```sh block is one of: an `./run` command (its subcommand
must exist in the run script; .ci/run runs `./run test` and the demo test
plays the demo), a command of the build's tools, the installing command, the
compiler line of the first program, or running that program. Anything
else fails the check: a new kind of command needs a way to be run here.

usage: readme_check.py SOURCE_DIR BUILD_DIR WORK_DIR PICTURES_DIR
"""
import os
import re
import shlex
import shutil
import subprocess
import sys


def blocks(text, language):
    return re.findall(r"```" + language + r"\n(.*?)```", text, flags=re.S)


def main():
    source, build, work, pictures = sys.argv[1:5]
    readme = open(os.path.join(source, "README.md"), encoding="utf-8").read()
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    prefix = os.path.join(work, "prefix")
    env = dict(os.environ)
    env.pop("LD_LIBRARY_PATH", None)
    # The tools as installed: they find the installed library themselves.
    env["PATH"] = os.path.join(prefix, "bin") + os.pathsep + env["PATH"]
    env["ZORVA_DISPLAY"] = "virtual"
    env.pop("ZORVA_CONTACTS_DB", None)
    # The files the README's examples name.
    shutil.copy(os.path.join(pictures, "contact.png"), os.path.join(work, "ada.png"))
    shutil.copy(os.path.join(pictures, "photo.jpg"), os.path.join(work, "photo.jpg"))

    programs = [b for b in blocks(readme, "cpp") if "int main" in b]
    if len(programs) != 1:
        sys.exit("README: expected one complete program, found %d" % len(programs))
    name = re.match(r"// (\S+\.cpp)", programs[0])
    if not name:
        sys.exit("README: the program's first line must name its file")
    with open(os.path.join(work, name.group(1)), "w", encoding="utf-8") as f:
        f.write(programs[0])

    # The README installs before it builds the program, a few sections later:
    # install first, as a reader who follows it would have.
    installed = subprocess.run(["cmake", "--install", build, "--prefix", prefix],
                               capture_output=True, text=True)
    if installed.returncode != 0:
        sys.exit("cmake --install failed:\n" + installed.stdout + installed.stderr)

    run_script = open(os.path.join(source, "run")).read()
    subcommands = re.findall(r"^(\w+)\)$", run_script, flags=re.M)
    # The folder `./run demo` builds, which the install line must name.
    demo = re.search(r"^demo\)$(.*?)^\s*;;$", run_script, flags=re.M | re.S).group(1)
    demo_folder = "build/release" if "configure_release" in demo else None
    ran = 0
    for block in blocks(readme, "sh"):
        for line in block.splitlines():
            line = line.split(" #")[0].strip()
            if not line:
                continue
            words = shlex.split(line)
            assigned = {}
            while words and re.match(r"^[A-Z_]+=", words[0]):
                key, value = words.pop(0).split("=", 1)
                assigned[key] = value
            command = words[0]
            if command == "./run":
                if words[1] not in subcommands:
                    sys.exit(f"README: ./run has no '{words[1]}' ({line})")
                continue
            if command == "cmake" and words[1:2] == ["--install"] and "--prefix" in words:
                if words[2] != demo_folder:
                    sys.exit(f"README: installs from {words[2]}, but ./run demo builds "
                             f"{demo_folder} ({line})")
                continue  # done above, from this build into a scratch prefix
            if command not in ("zorva_contacts", "zorva_convert", "g++", "./hello"):
                sys.exit(f"README: no way to check this command: {line}")
            run_env = dict(env, **assigned)
            pc = [os.path.join(prefix, d, "pkgconfig") for d in ("lib", "lib64")]
            run_env["PKG_CONFIG_PATH"] = os.pathsep.join(pc)
            # A program built against a prefix outside the loader's paths
            # finds the library through LD_LIBRARY_PATH (the README says so).
            if command in ("g++", "./hello"):
                run_env["LD_LIBRARY_PATH"] = os.pathsep.join(os.path.dirname(p) for p in pc)
            # $(...) in the compiler line is the shell's; the rest is literal.
            shell = "$(" in line
            done = subprocess.run(line if shell else words, shell=shell, cwd=work, env=run_env,
                                  capture_output=True, text=True, timeout=300)
            if done.returncode != 0:
                sys.exit(f"README: '{line}' failed ({done.returncode}):\n{done.stdout}{done.stderr}")
            ran += 1
    print(f"readme_check: ran {ran} commands and checked every ./run subcommand")


if __name__ == "__main__":
    main()
