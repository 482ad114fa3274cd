#!/usr/bin/env python3
"""Checks that every C++ file includes only what its layer may include.

The layers, lowest first (docs/ARCHITECTURE.md has the picture):

    platform  <-  graphics, audio  <-  game  <-  sim, settings  <-  app
                          ^                                |
                          +---- backends/sdl, backends/win32, backends/web

A portable folder includes its own headers and those of the layers below it,
never a backend, SDL, the Windows headers, or (outside the GL driver files) a
GL header. A backend includes the portable engine layers and its own system;
the browser page's backend (backends/web) stands on SDL's too, and only it
includes Emscripten's headers.
The composition roots in app/ may include anything. Test folders follow the
layer they test; only backend test folders and the shared test support reach
a backend.

usage: check-layers.py [--root DIR]    check a tree (default: this one)
       check-layers.py --self-test     plant violations in a copy and expect them caught
"""
import argparse
import os
import re
import shutil
import sys
import tempfile

PORTABLE = {
    "platform": {"platform"},
    "graphics": {"graphics", "platform"},
    "audio": {"audio", "platform"},
    "game": {"game", "graphics", "audio", "platform"},
    "sim": {"sim", "game", "graphics", "audio", "platform"},
    "settings": {"settings", "game", "audio", "platform"},
}
ENGINE = {"graphics", "audio", "platform"}
RULES = dict(PORTABLE)
RULES["backends/sdl"] = {"backends/sdl"} | ENGINE
RULES["backends/win32"] = {"backends/win32"} | ENGINE
# The browser page: its own window layer, clock and sound, over SDL's event
# and joypad layers.
RULES["backends/web"] = {"backends/web", "backends/sdl"} | ENGINE
RULES["app"] = None  # anything
# Tests: a folder of tests reaches what the layer it tests reaches, plus the
# test support; golden and soak tests drive the whole simulator.
TESTS = {
    "tests/platform": PORTABLE["platform"],
    "tests/graphics": PORTABLE["graphics"],
    "tests/audio": PORTABLE["audio"],
    "tests/game": PORTABLE["sim"],
    "tests/golden": PORTABLE["sim"],
    "tests/sim": PORTABLE["sim"],
    "tests/settings": PORTABLE["settings"],
    "tests/soak": PORTABLE["sim"],
    "tests/tools": set(),
    "tests/backends/sdl": RULES["backends/sdl"],
    "tests/backends/win32": RULES["backends/win32"],
    "tests/backends/web": RULES["backends/web"],
}
for folder, allowed in TESTS.items():
    RULES[folder] = set(allowed) | {"support", "assets"} | {os.path.basename(folder)}
RULES["tests/support"] = None

# Project folders an include may name; anything else is a third-party or
# sibling header and is judged by the system rules below.
PROJECT = ("platform", "graphics", "audio", "game", "sim", "settings", "backends", "app", "assets", "support")

# System headers that belong to one backend (or to the GL driver files).
SYSTEM_SDL = re.compile(r"^SDL2?/|^SDL[_.]")
SYSTEM_WIN = re.compile(r"^(windows|winuser|wingdi|mmsystem|mmreg|dsound|objbase|unknwn|timeapi|joystickapi)\.h$",
                        re.I)
SYSTEM_X11 = re.compile(r"^X11/")
SYSTEM_EMSCRIPTEN = re.compile(r"^emscripten[/.]")
SYSTEM_GL = re.compile(r"^(GL|GLES\d?|EGL|KHR)/")
# The settings file's and the command line's libraries.
SYSTEM_SETTINGS = re.compile(r"^(toml\+\+|CLI)/")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def layer_of(rel):
    """The rule folder a file belongs to, longest match first."""
    for folder in sorted(RULES, key=len, reverse=True):
        if rel.startswith(folder + "/"):
            return folder
    return None


def is_gl_driver_file(rel):
    return rel.startswith("graphics/gl")


def project_folder(path):
    """The layer folder an include names, or None for a non-project header."""
    parts = path.split("/")
    if parts[0] not in PROJECT or len(parts) < 2:
        return None
    if parts[0] == "backends" and len(parts) >= 3:
        return "backends/" + parts[1]
    return parts[0]


def check_file(root, rel):
    folder = layer_of(rel)
    allowed = RULES[folder]
    backend = folder.split("/")[-1] if "backends/" in folder else None
    portable = folder in PORTABLE
    problems = []
    with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            path = m.group(2)
            where = f"{rel}:{number}: #include {m.group(1)}{path}{'>' if m.group(1) == '<' else chr(34)}"
            target = project_folder(path)
            if target is not None:
                if allowed is not None and target not in allowed:
                    problems.append(f"{where}: {folder}/ may not include {target}/")
                continue
            if allowed is None:
                continue
            if SYSTEM_SDL.search(path) and backend not in ("sdl", "web"):
                problems.append(f"{where}: only backends/sdl and backends/web include SDL")
            elif SYSTEM_X11.search(path) and backend != "sdl":
                problems.append(f"{where}: only backends/sdl includes X11")
            elif SYSTEM_EMSCRIPTEN.search(path) and backend != "web":
                problems.append(f"{where}: only backends/web includes Emscripten's headers")
            elif SYSTEM_WIN.search(path) and backend != "win32":
                problems.append(f"{where}: only backends/win32 includes the Windows headers")
            elif SYSTEM_SETTINGS.search(path) and folder not in ("settings", "tests/settings"):
                problems.append(f"{where}: only settings/ includes toml++ and CLI11")
            elif SYSTEM_GL.search(path) and portable and not is_gl_driver_file(rel):
                problems.append(f"{where}: only the GL driver files (graphics/gl*) include GL headers")
    return problems


def check_tree(root):
    problems = []
    for folder in sorted(RULES):
        top = os.path.join(root, folder)
        if not os.path.isdir(top):
            continue
        for dirpath, _, files in os.walk(top):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                rel = os.path.relpath(os.path.join(dirpath, name), root).replace(os.sep, "/")
                if layer_of(rel) == folder:
                    problems += check_file(root, rel)
    return problems


def self_test():
    """Plants one violation of each kind in a copy of the tree."""
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    planted = {
        "platform/planted_climb.cpp": '#include "graphics/canvas.h"\n',
        "game/planted_backend.cpp": '#include "backends/sdl/sdl_display.h"\n',
        "audio/planted_sdl.cpp": "#include <SDL.h>\n",
        "game/planted_x11.cpp": "#include <X11/Xlib.h>\n",
        "sim/planted_windows.cpp": "#include <windows.h>\n",
        "graphics/planted_gl.cpp": "#include <GL/gl.h>\n",
        "backends/sdl/planted_game.cpp": '#include "game/round.h"\n',
        "tests/audio/planted_test.cpp": '#include "backends/sdl/sdl_audio.h"\n',
        "game/planted_toml.cpp": "#include <toml++/toml.h>\n",
        "settings/planted_sim.cpp": '#include "sim/trace.h"\n',
        "graphics/planted_emscripten.cpp": "#include <emscripten/emscripten.h>\n",
        "backends/sdl/planted_emscripten.cpp": "#include <emscripten/html5.h>\n",
        "backends/web/planted_game.cpp": '#include "game/frame.h"\n',
        "backends/sdl/planted_web.cpp": '#include "backends/web/web_audio.h"\n',
    }
    allowed = {
        "graphics/glplanted.cpp": "#include <GL/gl.h>\n",
        "app/planted_main.cpp": '#include "backends/sdl/sdl_display.h"\n#include <SDL.h>\n',
        "backends/sdl/planted_ok.cpp": '#include "graphics/glgraphics.h"\n#include <SDL.h>\n',
        "settings/planted_ok.cpp": '#include "game/player.h"\n#include <CLI/CLI.hpp>\n',
        "backends/web/planted_ok.cpp": '#include "backends/sdl/sdl_events.h"\n#include <SDL.h>\n'
                                       "#include <emscripten/emscripten.h>\n",
    }
    with tempfile.TemporaryDirectory() as tmp:
        for folder in ("platform", "graphics", "audio", "game", "sim", "settings", "backends", "app", "tests"):
            if os.path.isdir(os.path.join(root, folder)):
                shutil.copytree(os.path.join(root, folder), os.path.join(tmp, folder))
        clean = check_tree(tmp)
        if clean:
            print("self-test: the tree itself has violations:\n" + "\n".join(clean))
            return 1
        for rel, text in {**planted, **allowed}.items():
            os.makedirs(os.path.dirname(os.path.join(tmp, rel)), exist_ok=True)
            with open(os.path.join(tmp, rel), "w") as f:
                f.write(text)
        found = check_tree(tmp)
        failed = 0
        for rel in planted:
            if not any(p.startswith(rel + ":") for p in found):
                print(f"self-test: planted violation in {rel} was not caught")
                failed += 1
        for p in found:
            if p.split(":")[0] in allowed:
                print(f"self-test: allowed include reported: {p}")
                failed += 1
        if failed == 0:
            print(f"self-test: all {len(planted)} planted violations caught, {len(allowed)} allowed files pass")
        return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description="Checks the layers' includes.")
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return self_test()
    problems = check_tree(args.root)
    for p in problems:
        print(p)
    if problems:
        print(f"check-layers: {len(problems)} include(s) break the layers (docs/ARCHITECTURE.md)")
        return 1
    print("check-layers: every include keeps to its layer")
    return 0


if __name__ == "__main__":
    sys.exit(main())
