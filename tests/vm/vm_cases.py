"""The VM rig's boots and cases; tests/vm/README.md tells how to add one.

A case runs on a boot after the cases listed before it there. Its `needs`
lines set the machine up (idempotent: cases that share a setup name it each),
its `run` lines are shell lines on the guest's screen terminal (vm_guest's
steps: vm_guest.cpp), and `check` judges the Run they gave (vm_rig.Run). A
case whose `xfail` gives a reason is known to fail today: it is reported as
an expected failure, and fails once it passes until the mark goes.
"""
from dataclasses import dataclass, field


@dataclass
class Boot:
    qemu: list  # qemu's arguments: the screen and anything else
    append: str = ""  # the kernel's command line


@dataclass
class Case:
    name: str
    boot: str
    run: list
    check: object
    needs: list = field(default_factory=list)
    xfail: str = ""


BOOTS = {
    # The standard VGA: vesafb at 640 x 480 x 16 from the boot mode (0x311)
    # until the bochs DRM driver takes the card over, with /dev/dri/card0
    # and a 32-bpp frame buffer of its own.
    "std": Boot(["-vga", "std"], "vga=0x311"),
    # Cirrus: the cirrus DRM driver's frame buffer.
    "cirrus": Boot(["-vga", "cirrus"]),
}

# qemu's key names and the key codes PollEvent gives for them (ZorvaPlatform.h).
KEY_CODES = {"a": 0x41, "b": 0x42, "1": 0x31, "ret": 0x0D, "esc": 0x1B, "spc": 0x20,
             "up": 0x26, "left": 0x25, "tab": 0x09, "backspace": 0x08}
KEYS = "a,b,1,ret,esc,spc,up,left"

# The test frame drawn and shown; text typed on the terminal meanwhile (in
# text mode it would show over the frame, as would the cursor, which blinks
# in time for one of the two dumps); keys; the console back in text mode
# and the frame gone from the screen after Release. DRM's emulated frame
# buffers show what was written after the kernel's deferred flush (about
# 50 ms; longer under TCG): hence the pause before the first dump.
SESSION = (f"fbinfo; vm_guest open mode frame type sleep 1000 dump shown sleep 700 dump later"
           f" keys {KEYS} release mode dump released close")


def session(bits):
    def check(r):
        r.expect(r.exits == [0], f"exit statuses {r.exits}")
        fb = r.fact("fb") or ""
        r.expect(fb.endswith(f"x{bits}"), f"/dev/fb0 is {fb}, not {bits} bpp")
        r.expect(r.fact("create") == "1", f"Create gave {r.fact('create')}, error {r.fact('error')}")
        r.expect(r.fact("flip") == "1", f"Flip gave {r.fact('flip')}")
        r.expect(r.fact("mode") == ["graphics", "text"],
                 f"console modes {r.fact('mode')}, not graphics while drawing, text after")
        r.frame_shown("shown")
        r.frame_shown("later")
        r.keys_arrived(KEYS, KEY_CODES)
        r.frame_gone("released")
    return check


def ended_by(signal, status):
    """The canvas holds the screen when the program dies of `signal`: a
    second program finds the console back in text mode, the frame gone."""
    def check(r):
        r.expect(r.exits == [status, 0], f"exit statuses {r.exits}, not [{status}, 0]")
        r.expect(r.fact("mode") == ["graphics", "text"],
                 f"console modes {r.fact('mode')}, not graphics before {signal}, text after")
        r.frame_shown("shown")
        r.frame_gone("after")
    return (f"vm_guest open frame dump shown mode {signal}", "vm_guest mode dump after"), check


def exits_zero(r):
    r.expect(r.exits == [0] * len(r.exits), f"exit statuses {r.exits}")


SIGTERM_RUN, SIGTERM_CHECK = ended_by("sigterm", 143)
SIGSEGV_RUN, SIGSEGV_CHECK = ended_by("sigsegv", 139)
VESAFB = ["load evdev", "waitfor /dev/fb0"]
BOCHS = ["load evdev", "load bochs", "waitfor /dev/dri/card0"]

CASES = [
    Case("fbdev16_session", "std", [SESSION], session(16), VESAFB),
    Case("fbdev16_sigterm", "std", SIGTERM_RUN, SIGTERM_CHECK, VESAFB),
    Case("fbdev16_sigsegv", "std", SIGSEGV_RUN, SIGSEGV_CHECK, VESAFB),
    # bochs replaces vesafb for good: the cases on it come last.
    Case("drm_card0", "std", ["test -c /dev/dri/card0"], exits_zero, BOCHS),
    Case("fbdev32_session", "std", [SESSION], session(32), BOCHS,
         xfail="no 32-bpp frame buffer device yet: Create fails with 100"),
    Case("cirrus_session", "cirrus", [SESSION], session(16), ["load evdev", "load cirrus",
                                                               "waitfor /dev/fb0"]),
]
