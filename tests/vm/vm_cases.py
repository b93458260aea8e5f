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
    demo: bool = False  # the demo, its assets and a font go into the image


BOOTS = {
    # The standard VGA: vesafb at 640 x 480 x 16 from the boot mode (0x311)
    # until the bochs DRM driver takes the card over, with /dev/dri/card0
    # and a 32-bpp frame buffer of its own, both at the screen's preferred
    # size, which qemu's EDID makes 320 x 240 (640 x 480 is offered too).
    "std": Boot(["-vga", "std", "-global", "VGA.xres=320", "-global", "VGA.yres=240"],
                "vga=0x311"),
    # Cirrus: vesafb at 640 x 480 x 24 (mode 0x312) until the cirrus DRM
    # driver takes over, whose frame buffer is 640 x 480 x 16 and whose DRM
    # screen takes RGB565 (preferred size 1024 x 768).
    "cirrus": Boot(["-vga", "cirrus"], "vga=0x312 video=VGA-1:640x480"),
}

# qemu's key names and the key codes PollEvent gives for them (ZorvaPlatform.h).
KEY_CODES = {"a": 0x41, "b": 0x42, "1": 0x31, "ret": 0x0D, "esc": 0x1B, "spc": 0x20,
             "up": 0x26, "left": 0x25, "tab": 0x09, "backspace": 0x08}
KEYS = "a,b,1,ret,esc,spc,up,left"

# Pauses before a dump (ms): DRM's emulated frame buffers show what was
# written after the kernel's deferred flush (about 50 ms; longer under TCG).
PAUSE = {"vesafb": 300, "drm": 300, "emulated": 1000}


# Runs flip once more after the frame: when pages are flipped (Create
# presented once) the frame is then on the page the console did not show.


def session(display, pause, kind, fb_bits=None, method=None):
    """The test frame drawn and shown; text typed on the terminal meanwhile
    (in text mode it would show over the frame, as would the cursor, which
    blinks in time for one of the two dumps); keys; the console back in text
    mode and the frame gone from the screen after Release."""
    def check(r):
        r.expect(r.exits == [0], f"exit statuses {r.exits}")
        fb = r.fact("fb") or ""
        r.expect(not fb_bits or fb.endswith(f"x{fb_bits}"), f"/dev/fb0 is {fb}, not {fb_bits} bpp")
        r.expect(r.fact("create") == "1", f"Create gave {r.fact('create')}, error {r.fact('error')}")
        r.expect_info(kind=kind, tearfree=method)
        r.expect(r.fact("flip") == "1", f"Flip gave {r.fact('flip')}")
        r.expect(r.fact("mode") == ["graphics", "text"],
                 f"console modes {r.fact('mode')}, not graphics while drawing, text after")
        r.frame_shown("shown")
        r.frame_shown("later")
        r.keys_arrived(KEYS, KEY_CODES)
        r.frame_gone("released")
    return [f"fbinfo; ZORVA_DISPLAY={display} vm_guest open info mode frame flips 1 type"
            f" sleep {pause}"
            f" dump shown sleep 700 dump later keys {KEYS} release mode dump released close"], check


def ended_by(signal, status, display, pause):
    """The canvas holds the screen when the program dies of `signal`: a
    second program finds the console back in text mode, the frame gone (on
    DRM: the console's CRTC configuration back; flipping by panning: the
    console's page), and shows the frame as well."""
    def check(r):
        r.expect(r.exits == [status, 0], f"exit statuses {r.exits}, not [{status}, 0]")
        r.expect(r.fact("mode") == ["graphics", "text"],
                 f"console modes {r.fact('mode')}, not graphics before {signal}, text after")
        r.frame_shown("shown")
        r.frame_gone("after")
        r.frame_shown("again")
    frame = f"frame flips 1 sleep {pause}"
    return [f"ZORVA_DISPLAY={display} vm_guest open {frame} dump shown mode {signal}",
            f"ZORVA_DISPLAY={display} vm_guest mode dump after open {frame} dump again release"
            " close"], check


def turned(display, rotation, pause):
    """The canvas turned onto the screen: its size is the screen's turned
    (the frame is drawn to the canvas's size), and the dump shows the test
    frame turned."""
    def check(r):
        r.expect(r.exits == [0], f"exit statuses {r.exits}")
        r.expect_info(rotation=rotation)
        r.frame_shown("turned", rotation)
    return [f"ZORVA_DISPLAY={display}:rotate={rotation} vm_guest open info frame sleep {pause}"
            " dump turned release close"], check


def switched(display, pause):
    """Ctrl+Alt+F2 while the canvas draws: the other terminal shows, the
    canvas flips on unseen, and keys typed there are not its; Ctrl+Alt+F1
    and the frame shows again; the window heard FocusLost then FocusGained."""
    def check(r):
        r.expect(r.exits == [0], f"exit statuses {r.exits}")
        r.frame_shown("shown")
        r.frame_gone("away")
        r.frame_shown("back")
        events = r.facts.get("events", [])
        r.expect(events[-1:] == ["l00 g00"], f"events {events}, not the focus lost and gained")
    wait = pause + 400
    return [f"ZORVA_DISPLAY={display} vm_guest open frame flips 1 sleep {pause} dump shown"
            f" send ctrl-alt-f2 events sleep {wait} dump away flips 5 send a,b"
            f" send ctrl-alt-f1 sleep {wait} dump back events release close"], check


def flips_counted(display, method, paced):
    """Ten Flips: presents grow by ten, and so do flips when the device's
    method flips pages (none otherwise); then the Flip's cost as it is."""
    def check(r):
        r.expect(r.exits == [0], f"exit statuses {r.exits}")
        infos = r.info()
        if not r.expect(len(infos) == 2, f"display facts {infos}"):
            return
        r.expect_info(tearfree=method, paced=int(paced))
        presents = infos[1]["presents"] - infos[0]["presents"]
        flips = infos[1]["flips"] - infos[0]["flips"]
        flipping = method in ("pan flip", "page flip")
        r.expect(presents == 10 and flips == (10 if flipping else 0),
                 f"ten Flips gave {presents} presents, {flips} flips ({method})")
        r.expect(len(r.facts.get("cost", [])) == 1, "no cost reported")
    return [f"ZORVA_DISPLAY={display} vm_guest open info flips 10 info cost release close"], check


def costs(display, sizes=("",)):
    """The Flip's cost without waiting for the vertical blank, at each size
    asked of a DRM screen (ZVM_SIZE), against memcpy (facts for the
    summary)."""
    def check(r):
        r.expect(r.exits == [0] * len(sizes), f"exit statuses {r.exits}")
        got = r.facts.get("cost", [])
        r.expect(len(got) == len(sizes) and all(s in c for s, c in zip(sizes, got)),
                 f"costs {got} for sizes {sizes}")
    return [f"ZVM_SIZE={size} ZORVA_DISPLAY={display}:vsync=off vm_guest open cost release close"
            for size in sizes], check


def automatic(kind):
    """ZORVA_DISPLAY unset: the device the automatic order lands on, with no
    /dev/dri (fbdev) or with one (drm)."""
    def check(r):
        r.expect(r.exits == [0, 0], f"exit statuses {r.exits}")
        r.expect_info(kind=kind)
    dri = "test ! -e /dev/dri" if kind == "fbdev" else "test -c /dev/dri/card0"
    return [dri, "unset ZORVA_DISPLAY; vm_guest open info close"], check


def detached():
    """A program with no terminal of its own (a new session, no controlling
    terminal, as from a service): tty1, on screen, still goes to graphics
    mode while it draws and back to text after."""
    def check(r):
        r.expect(r.exits == [0], f"exit statuses {r.exits}")
        r.expect(r.fact("mode") == ["graphics", "text"],
                 f"tty1's modes {r.fact('mode')}, not graphics while drawing, text after")
        r.frame_shown("shown")
        r.frame_gone("released")
    return ["setsid vm_guest open frame mode sleep 300 dump shown release mode dump released"
            " close </dev/null >/dev/null 2>&1 & wait $!"], check


def shown(display, kind, format):
    """The frame on a screen of the format, gone after Release."""
    def check(r):
        r.expect(r.exits == [0], f"exit statuses {r.exits}")
        r.expect_info(kind=kind, format=format)
        r.frame_shown("shown")
        r.frame_gone("released")
    return [f"ZORVA_DISPLAY={display} vm_guest open info frame sleep 300 dump shown release"
            " dump released close"], check


def demo(display, frames=10):
    """The demo plays a few frames on the device (it names it) and exits 0."""
    name = {"fbdev": "the frame buffer", "drm": "the DRM/KMS screen"}[display]
    def check(r):
        r.expect(r.exits == [0], f"exit status {r.exits}")
        r.expect(any(f"played {frames} frames" in line and name in line for line in r.log),
                 f"the demo did not say it played {frames} frames on {name}")
    return [f"zorva_demo --frames {frames} --display {display} --assets /demo-assets >&2"], check


def case(name, boot, made, needs, **more):
    run, check = made
    return Case(name, boot, run, check, needs, **more)


VESAFB = ["load evdev", "waitfor /dev/fb0"]
# bochs's emulated frame buffer in two pages, which the driver pans between.
# (cirrus's driver takes the pans too but goes on showing the first page.)
BOCHS = ["load evdev", "load drm_kms_helper drm_fbdev_overalloc=200", "load bochs",
         "waitfor /dev/dri/card0"]
CIRRUS = ["load evdev", "load cirrus", "waitfor /dev/dri/card0"]
V, E, D = PAUSE["vesafb"], PAUSE["emulated"], PAUSE["drm"]

CASES = [
    # vesafb, 640 x 480 RGB565: the raw frame buffer, no tear-free method.
    case("fbdev16_session", "std", session("fbdev", V, "fbdev", 16, "none"), VESAFB),
    case("fbdev16_sigterm", "std", ended_by("sigterm", 143, "fbdev", V), VESAFB),
    case("fbdev16_sigsegv", "std", ended_by("sigsegv", 139, "fbdev", V), VESAFB),
    case("fbdev16_rotate90", "std", turned("fbdev", 90, V), VESAFB),
    case("fbdev16_switch", "std", switched("fbdev", V), VESAFB),
    case("fbdev16_detached", "std", detached(), VESAFB),
    case("fbdev16_flips", "std", flips_counted("fbdev", "none", False), VESAFB),
    case("auto_fbdev", "std", automatic("fbdev"), VESAFB),
    case("demo_fbdev16", "std", demo("fbdev"), VESAFB, demo=True),
    # bochs replaces vesafb for good: the cases on it come last. Its
    # emulated frame buffer, 320 x 240 XRGB8888 in two pages: the windowed
    # back-end flipping by panning. Its DRM screen flips pages.
    case("auto_drm", "std", automatic("drm"), BOCHS),
    case("fbdev32_session", "std", session("fbdev", E, "fbdev", 32, "pan flip"), BOCHS),
    case("fbdev32_sigterm", "std", ended_by("sigterm", 143, "fbdev", E), BOCHS),
    case("fbdev32_rotate90", "std", turned("fbdev", 90, E), BOCHS),
    case("fbdev32_switch", "std", switched("fbdev", E), BOCHS),
    case("fbdev32_flips", "std", flips_counted("fbdev", "pan flip", True), BOCHS),
    case("fbdev32_cost", "std", costs("fbdev"), BOCHS),
    case("drm_session", "std", session("drm", D, "drm", None, "page flip"), BOCHS),
    case("drm_sigterm", "std", ended_by("sigterm", 143, "drm", D), BOCHS),
    case("drm_sigsegv", "std", ended_by("sigsegv", 139, "drm", D), BOCHS),
    case("drm_rotate90", "std", turned("drm", 90, D), BOCHS),
    case("drm_switch", "std", switched("drm", D), BOCHS),
    case("drm_flips", "std", flips_counted("drm", "page flip", True), BOCHS),
    case("drm_cost", "std", costs("drm", ("320x240", "640x480")), BOCHS),
    case("demo_fbdev32", "std", demo("fbdev"), BOCHS, demo=True),
    case("demo_drm", "std", demo("drm"), BOCHS, demo=True),
    # vesafb on cirrus, 640 x 480 RGB888: the windowed back-end, converted.
    case("fbdev24_session", "cirrus", session("fbdev", V, "fbdev", 24, "none"), VESAFB),
    case("fbdev24_rotate270", "cirrus", turned("fbdev", 270, V), VESAFB),
    case("fbdev24_flips", "cirrus", flips_counted("fbdev", "none", False), VESAFB),
    # cirrus's emulated frame buffer, RGB565 in one page, answers
    # FBIO_WAITFORVSYNC: the raw frame buffer, waiting before each copy. Its
    # DRM screen takes RGB565.
    case("cirrus_session", "cirrus", session("fbdev", E, "fbdev", 16, "vsync wait"), CIRRUS),
    case("cirrus_switch", "cirrus", switched("fbdev", E), CIRRUS),
    case("cirrus_flips", "cirrus", flips_counted("fbdev", "vsync wait", True), CIRRUS),
    case("cirrus_cost", "cirrus", costs("fbdev"), CIRRUS),
    case("drm565_shown", "cirrus", shown("drm", "drm", "RGB565"), CIRRUS),
    case("drm565_flips", "cirrus", flips_counted("drm", "page flip", True), CIRRUS),
    case("drm565_cost", "cirrus", costs("drm", ("640x480",)), CIRRUS),
]
