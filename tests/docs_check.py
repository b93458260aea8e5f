#!/usr/bin/python3
"""Builds and runs the programs the docs show, so that none can go stale.

Every page of docs/ holds at least one complete program: a ```cpp block whose
first line names its file (`// name.cpp: ...`). A program with a main is
built against the build's library and run headless (ZORVA_DISPLAY=virtual)
in a folder holding the demo's pictures; it must exit with 0. One without a
main is code for inside the library: it is compiled against the library's
own headers.

docs/tutorial.md grows one program, game.cpp, step by step. Its first block
is the whole program of step 1; every later block of a step adds lines to
it: when the block's last line is a line of the program, the block's other
lines go before it, else its first line must be one and the others go after
it (after what earlier blocks put there). After each step
the program is built and run, and the screen it shows (at its last frame,
or at "frame N" when the step's picture says so) must be the step's picture,
docs/images/tutorial-NN-*.png, pixel for pixel. A block that starts with
`// game.cpp` after step 1 is the whole program again: it must be what the
steps made. With --update the pictures and that block are written instead.

usage: docs_check.py SOURCE_DIR BUILD_DIR WORK_DIR ASSETS_DIR [--update]
"""
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys

from PIL import Image

# The screen the program shows, caught at its Flip number $DOCS_SHOT_FRAME or
# at CloseWindow, written to $DOCS_SHOT as 8-bit RGB (the linker sends the
# program's own calls here: -Wl,--wrap).
SHOT_SOURCE = r"""
#include <CCEGraphics.h>
#include <ZorvaPlatform.h>
#include <cstdio>
#include <cstdlib>
#include <vector>
extern "C" long __real__ZN11CCEGraphics4FlipEv(CCEGraphics*);
extern "C" void __real__ZN5zorva11CloseWindowEP6HWND__(HWND);
static long flips = 0;
static void Save(HWND w) {
    int width = 0, height = 0;
    const char* path = std::getenv("DOCS_SHOT");
    if (!path || !zorva::GetScreenSize(w, &width, &height)) return;
    std::vector<uint16_t> p(size_t(width) * height);
    zorva::ReadScreen(w, p.data());
    FILE* f = std::fopen(path, "wb");
    std::fprintf(f, "P6\n%d %d\n255\n", width, height);
    for (uint16_t v : p) {
        const unsigned char rgb[3] = {(unsigned char)((v >> 11) << 3),
                                      (unsigned char)(((v >> 5) & 63) << 2),
                                      (unsigned char)((v & 31) << 3)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
}
extern "C" long __wrap__ZN11CCEGraphics4FlipEv(CCEGraphics* g) {
    const long result = __real__ZN11CCEGraphics4FlipEv(g);
    const char* at = std::getenv("DOCS_SHOT_FRAME");
    if (at && ++flips == std::atol(at)) Save(g->m_hWnd);
    return result;
}
extern "C" void __wrap__ZN5zorva11CloseWindowEP6HWND__(HWND w) {
    if (!std::getenv("DOCS_SHOT_FRAME")) Save(w);
    __real__ZN5zorva11CloseWindowEP6HWND__(w);
}
"""


class Checker:
    def __init__(self, source, build, work, assets):
        self.source, self.build, self.work, self.assets = source, build, work, assets
        self.cxx = os.environ.get("CXX", "g++")
        self.library = os.path.join(build, "libzorva.so")
        self.ran = 0
        self.used = set()

    def fail(self, message):
        sys.exit("docs_check: " + message)

    def build_program(self, name, code, where, shot=False):
        """The program's executable (reused while code and library stay)."""
        digest = hashlib.sha1((code + str(shot) + self.build).encode()).hexdigest()[:12]
        exe = os.path.join(self.work, "bin", f"{name}-{digest}")
        self.used.add(exe)
        if os.path.exists(exe) and os.path.getmtime(exe) > os.path.getmtime(self.library):
            return exe
        os.makedirs(os.path.dirname(exe), exist_ok=True)
        path = os.path.join(self.work, "bin", name + ".cpp")
        with open(path, "w", encoding="utf-8") as f:
            f.write(code)
        command = [self.cxx, "-std=c++17", "-Wall", "-Wextra", "-Werror",
                   "-I", os.path.join(self.source, "include"), path]
        if "int main" not in code:
            command += ["-I", os.path.join(self.source, "src"), "-fsyntax-only"]
        else:
            if shot:
                shot_path = os.path.join(self.work, "bin", "shot.cpp")
                with open(shot_path, "w") as f:
                    f.write(SHOT_SOURCE)
                command += [shot_path, "-Wl,--wrap=_ZN11CCEGraphics4FlipEv",
                            "-Wl,--wrap=_ZN5zorva11CloseWindowEP6HWND__"]
            command += [self.library, "-Wl,-rpath," + self.build, "-o", exe]
        done = subprocess.run(command, capture_output=True, text=True)
        if done.returncode != 0:
            self.fail(f"{where}: {name} does not build:\n{done.stderr}")
        return exe if "int main" in code else None

    def run(self, exe, where, env_extra=None):
        folder = os.path.join(self.work, "run")
        shutil.rmtree(folder, ignore_errors=True)
        shutil.copytree(self.assets, folder)
        env = dict(os.environ, ZORVA_DISPLAY="virtual", ZORVA_QUIET="1",
                   ZORVA_CONTACTS_DB=os.path.join(folder, "contacts.db"), **(env_extra or {}))
        done = subprocess.run([exe], cwd=folder, env=env, capture_output=True, text=True,
                              timeout=120)
        if done.returncode != 0:
            self.fail(f"{where} exits with {done.returncode}:\n{done.stdout}{done.stderr}")
        self.ran += 1
        return folder

    def pages(self):
        for page in sorted(glob.glob(os.path.join(self.source, "docs", "*.md"))):
            if os.path.basename(page) == "tutorial.md":
                continue
            text = open(page, encoding="utf-8").read()
            programs = [b for b in re.findall(r"```cpp\n(.*?)```", text, flags=re.S)
                        if re.match(r"// \S+\.cpp", b)]
            where = os.path.relpath(page, self.source)
            if not programs:
                self.fail(f"{where} shows no program of its calls")
            for code in programs:
                name = re.match(r"// (\S+)\.cpp", code).group(1)
                exe = self.build_program(name, code, where)
                if exe:
                    self.run(exe, f"{where}: {name}")

    def tutorial(self, update):
        page = os.path.join(self.source, "docs", "tutorial.md")
        text = open(page, encoding="utf-8").read()
        steps = re.split(r"^## Step ", text, flags=re.M)[1:]
        if not steps:
            self.fail("docs/tutorial.md has no steps")
        program, after = [], {}
        for number, step in enumerate(steps, 1):
            blocks = re.findall(r"```cpp\n(.*?)```", step, flags=re.S)
            for block in blocks:
                lines = block.rstrip("\n").split("\n")
                if lines[0].startswith("// game.cpp"):
                    if number == 1:
                        program = lines
                    elif lines != program and update:
                        text = text.replace(block, "\n".join(program) + "\n")
                        with open(page, "w", encoding="utf-8") as f:
                            f.write(text)
                    elif lines != program:
                        self.fail(f"tutorial: the whole program after step {number} is not "
                                  "what the steps made")
                    continue
                self.insert(program, after, lines, number)
            pictures = re.findall(r"!\[([^\]]*)\]\((images/tutorial-[^)]+\.png)\)", step)
            if len(pictures) != 1:
                self.fail(f"tutorial step {number}: one picture expected, found {len(pictures)}")
            self.picture(number, "\n".join(program) + "\n", *pictures[0], update)

    def insert(self, program, after, lines, number):
        stripped = [p.strip() for p in program]

        def only(line):
            found = [i for i, p in enumerate(stripped) if p == line.strip()]
            return found[0] if len(found) == 1 else None

        at = only(lines[-1])
        if at is not None:
            program[at:at] = lines[:-1]
            return
        at = only(lines[0])
        if at is None:
            self.fail(f"tutorial step {number}: a block whose last and first lines are no "
                      f"single line of the program:\n" + "\n".join(lines))
        key = lines[0].strip()
        place = at + 1 + after.get(key, 0)
        program[place:place] = lines[1:]
        after[key] = after.get(key, 0) + len(lines) - 1

    def picture(self, number, code, alt, picture, update):
        exe = self.build_program(f"game-step{number}", code, "tutorial", shot=True)
        frame = re.search(r"frame (\d+)", alt)
        shot = os.path.join(self.work, f"step{number}.ppm")
        env = {"DOCS_SHOT": shot}
        if frame:
            env["DOCS_SHOT_FRAME"] = frame.group(1)
        folder = self.run(exe, f"tutorial step {number}", env)
        made = Image.open(shot).convert("RGB")
        saved = os.path.join(folder, "screenshot.bmp")
        if not frame and os.path.exists(saved):
            # The game's own screenshot is the screen it left.
            saved = Image.open(saved).convert("RGB")
            if saved.tobytes() != made.tobytes():
                self.fail("tutorial: screenshot.bmp is not the last frame shown")
        target = os.path.join(self.source, "docs", picture)
        if update:
            made.save(target, optimize=True)
            return
        if not os.path.exists(target):
            self.fail(f"tutorial step {number}: {picture} is missing (run with --update)")
        if Image.open(target).convert("RGB").tobytes() != made.tobytes():
            made.save(os.path.join(self.work, os.path.basename(picture)))
            self.fail(f"tutorial step {number}: the screen differs from {picture} (what it "
                      f"showed: {os.path.join(self.work, os.path.basename(picture))})")


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    source, build, work, assets = (os.path.abspath(a) for a in sys.argv[1:5])
    os.makedirs(work, exist_ok=True)
    checker = Checker(source, build, work, assets)
    checker.pages()
    checker.tutorial("--update" in sys.argv[5:])
    for old in glob.glob(os.path.join(work, "bin", "*-" + "[0-9a-f]" * 12)):
        if old not in checker.used:
            os.remove(old)
    print(f"docs_check: built and ran {checker.ran} programs of docs/")


if __name__ == "__main__":
    main()
