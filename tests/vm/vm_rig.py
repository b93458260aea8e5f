#!/usr/bin/env python3
"""The VM rig: boots the installed Debian kernel under qemu (TCG) with an
initramfs made from the build, runs the cases of vm_cases.py on it and judges
them (tests/vm/README.md).

  vm_rig.py --work DIR list                    one "boot case [xfail]" line per case
  vm_rig.py --work DIR boot NAME --guest EXE   boots NAME, runs its cases in order,
                                               writes DIR/NAME/results.json
  vm_rig.py --work DIR report CASE             prints the case's result and exits 0 when
                                               it passed (or failed as its xfail says),
                                               1 when not, 77 when skipped
  vm_rig.py --work DIR summary                 each boot's times and its cases' results
A boot exits 77 when qemu, the kernel or busybox is missing, 1 when the VM
did not boot or stopped answering.
"""
import argparse
import ctypes
import glob
import json
import lzma
import os
import queue
import re
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import threading
import time

import vm_cases

SKIP = 77


class RigError(Exception):
    pass


# ---- The image -------------------------------------------------------------


def find_kernel():
    """The newest /boot/vmlinuz-VERSION whose module tree is installed, or
    ZORVA_VM_KERNEL (a vmlinuz path); (kernel, module tree) or None."""
    wanted = os.environ.get("ZORVA_VM_KERNEL")
    candidates = [wanted] if wanted else glob.glob("/boot/vmlinuz-*")

    def version_key(path):
        return [int(p) if p.isdigit() else p for p in re.split(r"(\d+)", path)]

    for kernel in sorted(candidates, key=version_key, reverse=True):
        tree = "/lib/modules/" + os.path.basename(kernel)[len("vmlinuz-"):]
        if os.access(kernel, os.R_OK) and os.path.exists(tree + "/modules.dep"):
            return kernel, tree
    return None


def module_name(path):
    return os.path.basename(path).split(".ko")[0].replace("-", "_")


def module_closure(tree, names):
    """{name: (path, [dependencies in load order])} for the modules named and
    those they need, from the tree's modules.dep."""
    deps = {}
    with open(tree + "/modules.dep") as f:
        for line in f:
            path, _, rest = line.partition(":")
            deps[module_name(path)] = (path, [module_name(p) for p in rest.split()])
    result = {}

    def visit(name):
        if name in result:
            return
        if name not in deps:
            raise RigError(f"kernel module {name} is not in {tree} (built in, or absent?)")
        path, needs = deps[name]
        # modules.dep lists the direct and indirect dependencies, the ones
        # loaded last first.
        result[name] = (path, list(reversed(needs)))
        for need in needs:
            visit(need)

    for name in names:
        visit(name)
    return result


def shared_libraries(exe):
    """The libraries ldd names for exe (the loader included); [] when static."""
    out = subprocess.run(["ldd", exe], capture_output=True, text=True)
    if out.returncode != 0:
        return []
    missing = [line.split()[0] for line in out.stdout.splitlines() if "not found" in line]
    if missing:
        raise RigError(f"{exe} needs libraries that are missing: {' '.join(missing)}")
    return re.findall(r"(/\S+) \(0x", out.stdout)


class Cpio:
    """A newc archive, the initramfs format: directories made before what
    they hold, files copied with their content."""

    def __init__(self, path):
        self.out = open(path, "wb")
        self.inode = 1
        self.dirs = {""}

    def entry(self, name, mode, data=b"", rdev=(0, 0)):
        self.parents(name)
        raw = name.encode() + b"\0"
        fields = (self.inode, mode, 0, 0, 1, 0, len(data), 0, 0, rdev[0], rdev[1], len(raw), 0)
        self.inode += 1
        self.out.write(b"070701" + "".join(f"{v:08X}" for v in fields).encode() + raw)
        self.out.write(b"\0" * (-(110 + len(raw)) % 4) + data + b"\0" * (-len(data) % 4))

    def parents(self, name):
        parent = os.path.dirname(name)
        if parent not in self.dirs:
            self.directory(parent)

    def directory(self, name):
        if name not in self.dirs:
            self.parents(name)
            self.dirs.add(name)
            self.entry(name, stat.S_IFDIR | 0o755)

    def file(self, name, source, mode=0o755):
        with open(source, "rb") as f:
            data = f.read()
        # busybox's insmod takes plain modules: newer kernels' come xz-packed.
        if source.endswith(".ko.xz"):
            data = lzma.decompress(data)
        elif ".ko." in source:
            raise RigError(f"{source}: only plain and xz-packed modules are unpacked")
        self.entry(name.lstrip("/"), stat.S_IFREG | mode, data)

    def close(self):
        self.entry("TRAILER!!!", 0)
        self.out.close()


def make_image(path, guest, tree, modules, demo=None):
    """The guest's initramfs: busybox, the init script, the guest program with
    its libraries, and the kernel modules with what they depend on; with
    `demo` (its program) also the demo, its assets (/demo-assets) and a
    font with fontconfig's configuration."""
    here = os.path.dirname(os.path.abspath(__file__))
    image = Cpio(path)
    for name in ("dev", "proc", "sys", "tmp", "mod"):
        image.directory(name)
    image.entry("dev/console", stat.S_IFCHR | 0o600, rdev=(5, 1))
    image.file("init", os.path.join(here, "init"))
    image.file("lib/zvm.sh", os.path.join(here, "zvm.sh"), 0o644)
    image.file("bin/busybox", "/bin/busybox")
    image.file("bin/vm_guest", guest)
    libraries = set(shared_libraries("/bin/busybox") + shared_libraries(guest))
    if demo:
        image.file("bin/zorva_demo", demo)
        libraries |= set(shared_libraries(demo))
        assets = os.path.join(os.path.dirname(demo), "demo-assets")
        for name in sorted(os.listdir(assets)):
            image.file("demo-assets/" + name, os.path.join(assets, name), 0o644)
        image.file("usr/share/fonts/DejaVuSans.ttf", DEMO_FONT, 0o644)
        image.entry("etc/fonts/fonts.conf", stat.S_IFREG | 0o644,
                    b"<fontconfig><dir>/usr/share/fonts</dir>"
                    b"<cachedir>/tmp/fontconfig</cachedir></fontconfig>\n")
    for lib in sorted(libraries):
        image.file(lib, lib)
    for name, (rel, needs) in module_closure(tree, modules).items():
        image.file(f"mod/{name}.ko", os.path.join(tree, rel), 0o644)
        image.entry(f"mod/{name}.deps", stat.S_IFREG | 0o644, " ".join(needs).encode())
    image.close()


DEMO_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"


# ---- The machine -------------------------------------------------------------


class Vm:
    """qemu-system-x86_64 with the guest's serial port on pipes and its human
    monitor on a socket."""

    def __init__(self, work, kernel, image, boot):
        self.log = open(os.path.join(work, "serial.log"), "w")
        # A short path: a socket's must fit 108 bytes.
        self.monitor_dir = tempfile.mkdtemp(prefix="zorva-vm-")
        self.monitor_path = os.path.join(self.monitor_dir, "monitor")
        command = ["qemu-system-x86_64", "-machine", "pc,accel=tcg", "-m", "512", "-nodefaults",
                   "-no-reboot", "-display", "none", "-serial", "stdio",
                   "-monitor", f"unix:{self.monitor_path},server=on,wait=off",
                   "-kernel", kernel, "-initrd", image,
                   "-append", "console=ttyS0 quiet panic=-1 " + boot.append] + boot.qemu
        self.proc = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT, preexec_fn=die_with_parent)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()
        self.monitor = None

    def _read(self):
        for raw in self.proc.stdout:
            line = raw.decode(errors="replace").rstrip("\r\n")
            self.log.write(line + "\n")
            self.log.flush()
            self.lines.put(line)
        self.lines.put(None)

    def line(self, timeout):
        """The next serial line; RigError at the timeout or when qemu ends."""
        try:
            line = self.lines.get(timeout=timeout)
        except queue.Empty:
            raise RigError(f"the guest said nothing for {timeout} s") from None
        if line is None:
            raise RigError(f"qemu ended (status {self.proc.wait()})")
        return line

    def send(self, line):
        self.proc.stdin.write(line.encode() + b"\n")
        self.proc.stdin.flush()

    def command(self, text):
        """Runs a monitor command; what it printed after its own echo."""
        if self.monitor is None:
            self.monitor = socket.socket(socket.AF_UNIX)
            self.monitor.settimeout(30)
            self.monitor.connect(self.monitor_path)
            self._prompt()
        self.monitor.sendall(text.encode() + b"\n")
        return self._prompt().partition("\r\n")[2].removesuffix("(qemu) ").strip()

    def _prompt(self):
        data = b""
        while not data.endswith(b"(qemu) "):
            chunk = self.monitor.recv(4096)
            if not chunk:
                raise RigError("the monitor closed")
            data += chunk
        return data.decode(errors="replace")

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
        self.proc.wait()
        self.log.close()
        shutil.rmtree(self.monitor_dir, ignore_errors=True)


def die_with_parent():
    """qemu is killed when the rig is (a ctest timeout kills only the rig)."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


# ---- Screens -------------------------------------------------------------


class Screen:
    """A screen dump: width, height and each pixel narrowed to RGB565 (the top
    bits of each channel, whatever way qemu widened a 16-bit screen)."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        match = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        if not match:
            raise RigError(f"{path} is no PPM screen dump")
        self.width, self.height = int(match.group(1)), int(match.group(2))
        rgb = data[match.end():]
        self.pixels = [(rgb[i] >> 3) << 11 | (rgb[i + 1] >> 2) << 5 | rgb[i + 2] >> 3
                       for i in range(0, 3 * self.width * self.height, 3)]


def frame_pixel(x, y, w, h):
    """The guest's test frame, worked out here on its own: a white border,
    red, green and blue quadrants and a gradient in the fourth."""
    if x == 0 or y == 0 or x == w - 1 or y == h - 1:
        return 0xFFFF
    if y < h // 2:
        return 0xF800 if x < w // 2 else 0x07E0
    if x < w // 2:
        return 0x001F
    return (x & 31) << 11 | (y & 63) << 5 | ((x + y) >> 2 & 31)


def canvas_position(sx, sy, sw, sh, rotation):
    """The canvas pixel that a screen of sw x sh shows at (sx, sy) when the
    canvas is turned `rotation` degrees clockwise onto it; the canvas's size."""
    if rotation == 90:  # the canvas's top-left corner at the top right
        return (sy, sw - 1 - sx), (sh, sw)
    if rotation == 180:
        return (sw - 1 - sx, sh - 1 - sy), (sw, sh)
    if rotation == 270:
        return (sh - 1 - sy, sx), (sh, sw)
    return (sx, sy), (sw, sh)


def expected_pixel(sx, sy, screen, rotation):
    (x, y), (w, h) = canvas_position(sx, sy, screen.width, screen.height, rotation)
    return frame_pixel(x, y, w, h)


def frame_differences(screen, rotation=0):
    """Positions where the screen is not the test frame of its size, drawn
    on a canvas turned by `rotation`."""
    w, h = screen.width, screen.height
    return [(i % w, i // w) for i, value in enumerate(screen.pixels)
            if value != expected_pixel(i % w, i // w, screen, rotation)]


# ---- Running cases -----------------------------------------------------------

# zorva::DisplayKind's values; the fields of vm_guest's `info` fact.
KINDS = {"0": "automatic", "1": "virtual", "2": "fbdev", "3": "window", "4": "drm"}
INFO = ("kind", "screen", "rotation", "bits", "format", "tearfree", "paced", "presents", "flips")


class Run:
    """What one case's commands gave: exit statuses, facts (name -> values in
    order), screen dumps by name, the serial lines; and the problems its
    check found."""

    def __init__(self, case):
        self.case = case
        self.exits, self.facts, self.dumps, self.log, self.problems = [], {}, {}, [], []

    def fact(self, name):
        values = self.facts.get(name, [])
        return values[0] if len(values) == 1 else values or None

    def expect(self, ok, problem):
        if not ok:
            self.problems.append(problem)
        return ok

    def dump(self, name):
        return self.dumps.get(name) or self.expect(False, f"no screen dump {name}")

    def info(self):
        """The display's facts each `info` step reported (GetDisplayInfo), as
        dicts of INFO's fields, the kind by its name."""
        infos = [dict(zip(INFO, v.split(","))) for v in self.facts.get("info", [])]
        for i in infos:
            i["kind"] = KINDS.get(i["kind"], i["kind"])
            for number in ("rotation", "bits", "paced", "presents", "flips"):
                i[number] = int(i.get(number, -1))
        return infos

    def expect_info(self, **wanted):
        """Each display fact has the values given (None: any)."""
        infos = self.info()
        self.expect(infos, "no display facts (info)")
        for key, value in wanted.items():
            seen = {str(i.get(key)) for i in infos}
            self.expect(value is None or seen == {str(value)}, f"display {key}: {seen}, not {value}")

    def frame_shown(self, name, rotation=0):
        """The dump is the test frame, every pixel, turned by `rotation`."""
        screen = self.dump(name)
        if screen:
            wrong = frame_differences(screen, rotation)
            if wrong:
                x, y = wrong[0]
                got = screen.pixels[y * screen.width + x]
                want = expected_pixel(x, y, screen, rotation)
                self.expect(False, f"dump {name} ({screen.width}x{screen.height}): {len(wrong)}"
                            f" pixels are not the test frame's, first ({x}, {y}): {got:04x}"
                            f" for {want:04x}")

    def frame_gone(self, name):
        """The console has redrawn the screen: at most a tenth of it is still
        the test frame's."""
        screen = self.dump(name)
        if screen:
            same = len(screen.pixels) - len(frame_differences(screen))
            self.expect(same * 10 <= len(screen.pixels),
                        f"dump {name}: {same} of {len(screen.pixels)} pixels still the frame's")

    def keys_arrived(self, keys, codes):
        """Each of the keys sent went down and up, in order, and nothing else."""
        want = " ".join(f"{e}{codes[k]:02x}" for k in keys.split(",") for e in "du")
        self.expect(self.fact("keys") == want, f"keys read: {self.fact('keys')}; sent: {want}")


def run_command(vm, work, run, line):
    vm.send(line)
    run.log.append("$ " + line)
    while True:
        text = vm.line(timeout=120)
        run.log.append(text)
        if not text.startswith("ZVM "):
            continue
        word, _, rest = text[4:].partition(" ")
        if word == "EXIT":
            return int(rest)
        if word == "FACT":
            name, _, value = rest.partition("=")
            run.facts.setdefault(name, []).append(value)
        elif word == "SCREENDUMP":
            path = os.path.join(work, f"{run.case.name}-{rest}.ppm")
            monitor(vm, run, f"screendump {path}")
            if os.path.exists(path):
                run.dumps[rest] = Screen(path)
            vm.send("ZVM GO")
        elif word == "SENDKEYS":
            for key in rest.split(","):
                monitor(vm, run, f"sendkey {key}")
                time.sleep(0.2)  # each key down and up before the next
            vm.send("ZVM GO")


def monitor(vm, run, command):
    """A monitor command for the case; what qemu refuses is a problem."""
    reply = vm.command(command)
    if reply:
        run.problems.append(f"qemu refused {command}: {reply}")


def run_boot(name, guest, work, demo):
    boot = vm_cases.BOOTS[name]
    cases = [c for c in vm_cases.CASES if c.boot == name]
    found = find_kernel()
    missing = [t for t in ("qemu-system-x86_64", "ldd") if not shutil.which(t)]
    missing += [] if found else ["a kernel (linux-image-amd64)"]
    missing += [] if os.path.exists("/bin/busybox") else ["busybox (busybox-static)"]
    if missing:
        write_results(work, {"skipped": "missing: " + ", ".join(missing)})
        print("skipped, missing:", ", ".join(missing))
        return SKIP
    kernel, tree = found
    started = time.monotonic()
    image = os.path.join(work, "initramfs.cpio")
    modules = sorted({w.split()[1] for c in cases for w in c.needs if w.startswith("load ")})
    results, status = {"cases": {}}, 0
    if not (demo and os.path.exists(DEMO_FONT)):  # the demo's cases are skipped
        for case in (c for c in cases if c.demo):
            results["cases"][case.name] = {"skipped": f"no demo built or no {DEMO_FONT}"}
        cases = [c for c in cases if not c.demo]
    make_image(image, guest, tree, modules, demo if any(c.demo for c in cases) else None)
    results["image_seconds"] = round(time.monotonic() - started, 1)
    started = time.monotonic()
    vm = Vm(work, kernel, image, boot)
    try:
        while vm.line(timeout=180) != "ZVM READY":
            pass
        results["boot_seconds"] = round(time.monotonic() - started, 1)
        print(f"{name}: booted {kernel} in {results['boot_seconds']} s")
        for case in cases:
            case_started = time.monotonic()
            run = Run(case)
            try:
                for line in case.needs:
                    run.expect(run_command(vm, work, run, line) == 0, f"setup failed: {line}")
                if not run.problems:
                    for line in case.run:
                        run.exits.append(run_command(vm, work, run, line))
                    case.check(run)
            except RigError as e:
                run.problems.append(str(e))
                raise
            except Exception as e:  # a fault of the check: the case fails, the boot goes on
                run.problems.append(f"the check failed: {e!r}")
            finally:
                seconds = round(time.monotonic() - case_started, 1)
                results["cases"][case.name] = {"problems": run.problems, "log": run.log,
                                               "seconds": seconds, "facts": run.facts}
                outcome = "failed" if run.problems else "passed"
                print(f"{name}: {case.name} {outcome} in {seconds} s")
    except RigError as e:
        results["error"] = str(e)
        status = 1
    finally:
        vm.stop()
    if status:
        with open(vm.log.name) as f:
            tail = f.readlines()[-20:]
        print(f"{name}: {results['error']}; the serial port's last lines ({vm.log.name}):")
        print("".join(tail), end="")
    results["total_seconds"] = round(time.monotonic() - started, 1)
    write_results(work, results)
    print(f"{name}: {results['total_seconds']} s in all")
    return status


def write_results(work, results):
    with open(os.path.join(work, "results.json"), "w") as f:
        json.dump(results, f, indent=1)


def report(name, work):
    case = next(c for c in vm_cases.CASES if c.name == name)
    path = os.path.join(work, case.boot, "results.json")
    if not os.path.exists(path):
        print(f"no results in {path}: boot {case.boot} did not run")
        return 1
    with open(path) as f:
        results = json.load(f)
    if "skipped" in results:
        print("skipped:", results["skipped"])
        return SKIP
    if name not in results["cases"]:
        print(f"not run: boot {case.boot} stopped before it: {results.get('error')}")
        return 1
    result = results["cases"][name]
    if "skipped" in result:
        print("skipped:", result["skipped"])
        return SKIP
    print("\n".join(result["log"]))
    for problem in result["problems"]:
        print("problem:", problem)
    failed = bool(result["problems"])
    if case.xfail:
        print(f"XFAIL: failed as expected ({case.xfail})" if failed else
              "XPASS: passes now: take its xfail out of vm_cases.py")
        return 0 if failed else 1
    return 1 if failed else 0


def summary(work):
    for path in sorted(glob.glob(os.path.join(work, "*", "results.json"))):
        with open(path) as f:
            results = json.load(f)
        boot = os.path.basename(os.path.dirname(path))
        if "skipped" in results:
            print(f"vm {boot}: skipped ({results['skipped']})")
            continue
        print(f"vm {boot}: image made in {results.get('image_seconds')} s, booted in"
              f" {results.get('boot_seconds')} s, {results.get('total_seconds')} s from the"
              f" start of qemu to its end {results.get('error', '')}")
        for name, case in results.get("cases", {}).items():
            if "skipped" in case:
                print(f"  {name}: skipped ({case['skipped']})")
                continue
            xfail = next(c.xfail for c in vm_cases.CASES if c.name == name)
            outcome = "failed" if case["problems"] else "passed"
            outcome += f" (expected to fail: {xfail})" if xfail else ""
            print(f"  {name}: {outcome} in {case['seconds']} s")
            for problem in case["problems"]:
                print(f"    {problem}")
            for fact in case.get("facts", {}).get("cost", []):
                size, flip, copy = fact.split()
                print(f"    present cost at {size}: {flip} us a Flip, {copy} us a memcpy of the"
                      f" frame: {int(flip) / max(1, int(copy)):.1f}x")
    return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--work", required=True)
    parser.add_argument("action", choices=("list", "boot", "report", "summary"))
    parser.add_argument("name", nargs="?")
    parser.add_argument("--guest")
    parser.add_argument("--demo")
    args = parser.parse_args()
    if args.action == "list":
        for case in vm_cases.CASES:
            print(case.boot, case.name, *(["xfail"] if case.xfail else []))
        return 0
    if args.action == "report":
        return report(args.name, args.work)
    if args.action == "summary":
        return summary(args.work)
    work = os.path.join(args.work, args.name)
    os.makedirs(work, exist_ok=True)
    for old in glob.glob(os.path.join(work, "*.ppm")) + [os.path.join(work, "results.json")]:
        if os.path.exists(old):
            os.unlink(old)
    try:
        demo = args.demo and os.path.abspath(args.demo)
        return run_boot(args.name, os.path.abspath(args.guest), work, demo)
    except RigError as e:
        write_results(work, {"cases": {}, "error": str(e)})
        print(e)
        return 1


if __name__ == "__main__":
    sys.exit(main())
