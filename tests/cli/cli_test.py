#!/usr/bin/env python3
"""The surface of the `brevalcore` tool, every subcommand as a user or a script meets it: help
and version, refusals of bad command lines and unusable files, --json against the text form,
terminal manners (colour and progress only on a terminal, never with NO_COLOR), and the
generated shell completion and manual pages.

usage: cli_test.py TOOL SHELL_FILES_DIR"""
import json
import os
import pty
import re
import select
import shutil
import subprocess
import sys
import tempfile
import unittest

TOOL = SHELL_FILES = None
ESCAPES = re.compile(r"\x1b\[|\r")

VALID_SCRIPT = """Option Explicit
Sub BeforeInitialize
  DefaultEmptyPage = "https://servizi.example/home"
End Sub
Sub StartPrescription
  ShowBanner "B1"
End Sub
Sub BeforeSelect
End Sub
Sub AfterSelect
End Sub
"""


def run(*args, env=None, stdin=None):
    full_env = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
    full_env.update(env or {})
    return subprocess.run([TOOL, *args], capture_output=True, env=full_env, input=stdin, timeout=120)


def run_on_terminal(*args, env=None):
    """Runs the tool with stdout and stderr on a pseudo-terminal; returns (status, output)."""
    pid, fd = pty.fork()
    if pid == 0:
        full_env = {k: v for k, v in os.environ.items() if k != "NO_COLOR"}
        full_env.update(env or {})
        os.execve(TOOL, [TOOL, *args], full_env)
    output = b""
    while True:
        ready, _, _ = select.select([fd], [], [], 120)
        if not ready:
            break
        try:
            chunk = os.read(fd, 65536)
        except OSError:
            break
        if not chunk:
            break
        output += chunk
    _, status = os.waitpid(pid, 0)
    return os.waitstatus_to_exitcode(status), output.decode("utf-8", "replace")


class Scratch:
    def __init__(self):
        self.path = tempfile.mkdtemp(prefix="brevalcore-cli-")

    def write(self, name, text):
        path = os.path.join(self.path, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb" if isinstance(text, bytes) else "w") as f:
            f.write(text)
        return path

    def __truediv__(self, name):
        return os.path.join(self.path, name)

    def package(self, name="pkg", pages=1):
        self.write(f"{name}/banner.script", VALID_SCRIPT)
        self.write(f"{name}/offline.html", "<html><body>offline</body></html>\n")
        for n in range(1, pages + 1):
            self.write(f"{name}/B{n}.html", '<html><body><a href="#PRESCRIBE?aic1">Prescrivi</a></body></html>\n')
        return self / name


class Tool(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = Scratch()
        cls.package = cls.scratch.package()
        packed = run("pack", cls.package, "--version", "1.2.3.4", "-o", cls.scratch / "BVCRES.DLL")
        assert packed.returncode == 0, packed.stderr
        cls.library = cls.scratch / "BVCRES.DLL"
        cls.scenario = cls.scratch.write("s.vbs", 'Echo "hello"\n')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch.path, ignore_errors=True)

    COMMANDS = ["check", "demo", "info", "ini", "ini read", "ini section", "ini sections", "ini write",
                "ini write-section", "pack", "rtf", "run", "trace", "trace report", "trace push",
                "trace init-server", "unpack", "vbs"]

    def test_help_of_every_command_and_the_version(self):
        top = run("--help")
        self.assertEqual(top.returncode, 0)
        for name in ["check", "demo", "info", "ini", "pack", "rtf", "run", "trace", "unpack", "vbs"]:
            self.assertRegex(top.stdout.decode(), rf"\n  {name} ")
        self.assertIn("  2  bad arguments", top.stdout.decode())
        for command in self.COMMANDS:
            with self.subTest(command):
                help_ = run(*command.split(), "--help")
                self.assertEqual(help_.returncode, 0, help_.stderr)
                self.assertIn(f"brevalcore {command}", help_.stdout.decode())
                self.assertIn("--quiet", help_.stdout.decode())
                self.assertEqual(help_.stderr, b"")
        version = run("--version")
        self.assertEqual(version.returncode, 0)
        self.assertRegex(version.stdout.decode(),
                         r"^brevalcore \d+\.\d+\.\d+ \(commit [0-9a-f]+(\+changes)?, \w+ build\)\n"
                         r"VBScript engine 5\.8\.16384\n$")

    def test_bad_command_lines_and_unusable_files_exit_2_with_one_line_naming_them(self):
        s, lib, fifo = self.scratch, self.library, self.scratch / "fifo"
        if not os.path.exists(fifo):
            os.mkfifo(fifo)
        rows = [
            # unknown options and commands, with a suggestion when close to a known one
            (["chek", "x"], "brevalcore: unknown command chek (did you mean check?)"),
            (["check", "--jsn", self.package], "brevalcore check: unknown option --jsn (did you mean --json?)"),
            (["info", "--color", lib], "brevalcore info: unknown option --color"),
            (["ini", "erase", "f"], "brevalcore ini: unknown command erase"),
            (["pack", self.package, "--verison", "1.0.0.0", "-o", s / "x.dll"], "did you mean --version?"),
            (["unpack", "--forse", lib, s / "u"], "did you mean --force?"),
            (["rtf", "--x", "t", "o"], "unknown option --x"),
            (["run", "--strct", self.scenario], "did you mean --strict?"),
            (["demo", "--gu"], "did you mean --gui?"),
            (["trace", "report", "--formt", "csv"], "did you mean --format?"),
            (["vbs", "--x", "f"], "unknown option --x"),
            (["info", lib, "extra"], "brevalcore info: unexpected argument extra"),
            # missing arguments and values
            ([], "brevalcore: a command is required"),
            (["check"], "PATH is required"),
            (["info"], "FILE is required"),
            (["ini", "read", "f", "S"], "KEY is required"),
            (["pack", self.package, "-o", s / "x.dll"], "--version is required"),
            (["pack", self.package, "--version"], "--version"),
            (["unpack", lib], "DIR is required"),
            (["rtf", "t"], "OUTPUT is required"),
            (["run"], "SCENARIO.vbs is required"),
            (["trace"], "brevalcore trace: a command is required"),
            (["trace", "push"], "--to is required"),
            (["trace", "init-server"], "URL is required"),
            (["vbs"], "FILE is required"),
            # values that cannot be used
            (["pack", self.package, "--version", "2.0", "-o", s / "x.dll"], "--version: four numbers"),
            (["trace", "report", "--by", "day"], "--by"),
            (["trace", "push", "--to", "x", "--batch", "0"], "--batch"),
            (["run", "--now", "yesterday", self.scenario], "--now"),
            (["rtf", s / "t.rtf", s / "o.rtf", "novalue"], "expected NAME=VALUE, not 'novalue'"),
            # files of the wrong kind
            (["check", "/dev/zero"], "/dev/zero"),
            (["info", fifo], f"{fifo}: not a regular file (a FIFO)"),
            (["info", s / "fifo-missing"], "fifo-missing"),
            (["info", self.package + "/B1.html"], "not a banner package: "),
            (["ini", "read", "/dev/null", "S", "K"], "/dev/null: not a regular file"),
            # pack tells what it cannot read as check does, as a finding, before its verdict
            (["pack", "/dev/null", "--version", "1.0.0.0", "-o", s / "x.dll"], "/dev/null", 2),
            (["unpack", fifo, s / "u"], "not a regular file (a FIFO)"),
            (["unpack", lib, lib], "BVCRES.DLL: not a folder"),
            (["rtf", fifo, s / "o.rtf"], "not a regular file (a FIFO)"),
            (["run", fifo], "not a regular file (a FIFO)"),
            (["demo", "--session", self.scenario, "--package", fifo], f"no package at {fifo}"),
            (["trace", "report", "--db", fifo], "not a regular file (a FIFO)"),
            (["vbs", "/dev/zero"], "not a regular file (a character device)"),
        ]
        for args, message, *count in rows:
            lines = count[0] if count else 1
            with self.subTest(args=args):
                result = run(*map(str, args))
                # check reports what it cannot read as a finding, on standard output
                err = (result.stdout + result.stderr).decode()
                self.assertEqual(result.returncode, 2, err)
                self.assertIn(message, err)
                self.assertEqual(err.count("\n"), lines, err)
                self.assertNotIn("terminate", err)
                if args[:1] != ["check"]:
                    self.assertEqual(result.stdout, b"")
        self.assertFalse(os.path.exists(s / "x.dll"))
        self.assertFalse(os.path.exists(s / "o.rtf"))

    def test_json_holds_what_the_text_shows(self):
        s = self.scratch
        ini = s / "BVC_1.INI"
        run("ini", "write", ini, "B12", "SHOW", "3")
        run("ini", "write-section", ini, "Auto", "a=1\nb=2")
        broken = s.package("broken")
        s.write("broken/B1.html", '<html><body><a href="#NOSUCHWORD">x</a></body></html>\n')
        rows = [
            (["info", self.library], self.info_matches),
            (["ini", "read", ini, "b12", "show"], lambda text, data: self.assertEqual(text, data + "\n")),
            (["ini", "section", ini, "Auto"], lambda text, data: self.assertEqual(text, "".join(e + "\n" for e in data))),
            (["ini", "sections", ini], lambda text, data: self.assertEqual(text.splitlines(), data)),
            (["check", broken], self.findings_match),
            (["run", self.scenario, "--now", "07/12/2026 08:30:00"], self.effects_match),
        ]
        for args, compare in rows:
            with self.subTest(args=args):
                text = run(*map(str, args)).stdout.decode()
                printed = run(*map(str, args), "--json").stdout
                data = [json.loads(line) for line in printed.splitlines()] if args[0] == "run" else json.loads(printed)
                compare(text, data)

    def info_matches(self, text, data):
        self.assertIn(f"version: {data['version']}\n", text)
        self.assertIn(f"package GUID: {data['packageGUID']}\n", text)
        self.assertEqual(len(data["files"]), 3)
        for f in data["files"]:
            self.assertIn(f"{f['number']:6d} {f['size']:10d}  {f['name']}\n", text)
        self.assertIn(f"{data['fileCount']} files, {data['bytes']} bytes\n", text)

    def effects_match(self, text, data):
        self.assertIn({"effect": "echo", "values": ["hello"]}, data)
        self.assertEqual(text.splitlines(), [" ".join([d["effect"]] + [json.dumps(v) for v in d["values"]]) for d in data])

    def findings_match(self, text, data):
        self.assertTrue(data)
        for f in data:
            self.assertIn(f"{f['file']}:{f['line']}:{f['column']}: {f['severity']}: {f['message']}", text)

    def test_ini_prints_text_and_writes_the_files_line_ends(self):
        s = self.scratch
        lf = s.write("lf.ini", "[A]\nx=1\n")
        crlf = s.write("crlf.ini", "[A]\r\nx=1\r\n")
        for path, eol in [(lf, b"\n"), (crlf, b"\r\n")]:
            with self.subTest(eol=eol):
                for text in ["k=1\nm=2", "k=1\r\nm=2", "k=1\rm=2"]:
                    self.assertEqual(run("ini", "write-section", path, "B", text).returncode, 0)
                    with open(path, "rb") as f:
                        self.assertEqual(f.read(), b"[A]" + eol + b"x=1" + eol + b"[B]" + eol + b"k=1" + eol + b"m=2" + eol)
                section = run("ini", "section", path, "B").stdout
                self.assertEqual(section, b"k=1\nm=2\n")
        hostile = s.write("hostile.ini", b"[\x1b[2JS]\r\nk=\x07v\x1b]0;t\r\n")
        self.assertEqual(run("ini", "sections", hostile).stdout, b"\\x1B[2JS\n")
        self.assertEqual(run("ini", "read", hostile, "\x1b[2JS", "k").stdout, b"\\x07v\\x1B]0;t\n")

    def test_progress_and_colour_only_on_a_terminal_without_no_color(self):
        big = self.scratch.package("big", pages=400)
        out = self.scratch / "big.dll"
        self.assertEqual(run("pack", big, "--version", "1.0.0.0", "-o", out).returncode, 0)
        rows = [  # the command, and what its progress line starts with
            (["pack", big, "--version", "1.0.0.0", "-o", out], "\rpack ["),
            (["check", big], "\rcheck ["),
            (["unpack", out, self.scratch / "unpacked", "--force"], "\runpack ["),
        ]
        for args, progress in rows:
            with self.subTest(args=args[0]):
                args = list(map(str, args))
                piped = run(*args)
                self.assertEqual(piped.returncode, 0, piped.stderr)
                self.assertIsNone(ESCAPES.search((piped.stdout + piped.stderr).decode()))
                status, on_terminal = run_on_terminal(*args)
                self.assertEqual(status, 0)
                self.assertIn(progress, on_terminal)  # the control case: a terminal shows it
                for variant, env in [(["--quiet"], None), ([], {"NO_COLOR": "1"})]:
                    status, plain = run_on_terminal(*args, *variant, env=env)
                    self.assertEqual(status, 0)
                    self.assertNotIn(progress.strip(), plain)
                    self.assertIsNone(re.search(r"\x1b\[", plain))
        # The demo remembers the doctor in its folders: each run starts from new ones.
        demo = lambda n: ["demo", "--data-root", self.scratch / f"demo{n}/data", "--control-dir", self.scratch / f"demo{n}/control"]
        self.assertIsNone(ESCAPES.search(run(*map(str, demo(1))).stdout.decode()))
        status, coloured = run_on_terminal(*map(str, demo(2)))
        self.assertEqual(status, 0)
        self.assertIn("\x1b[32m", coloured)
        status, plain = run_on_terminal(*map(str, demo(3)), env={"NO_COLOR": "1"})
        self.assertEqual(status, 0)
        self.assertIn("chose banner", plain)
        self.assertIsNone(re.search(r"\x1b\[", plain))

    def test_bash_completion_completes_commands_options_and_values(self):
        script = os.path.join(SHELL_FILES, "brevalcore.bash")
        rows = [
            ("brevalcore ", {"check", "demo", "info", "ini", "pack", "rtf", "run", "trace", "unpack", "vbs"}),
            ("brevalcore ch", {"check"}),
            ("brevalcore check --", {"--json", "--werror", "--quiet", "--verbose", "--help"}),
            ("brevalcore ini ", {"read", "section", "sections", "write", "write-section"}),
            ("brevalcore trace report --by ", {"banner", "region", "asl", "week"}),
            ("brevalcore trace report --f", {"--from", "--format"}),
            ("brevalcore pack x --pe", {"--pe32plus"}),
        ]
        for line, expected in rows:
            with self.subTest(line=line):
                program = (f"source {script}; complete -p brevalcore; COMP_LINE='{line}'; "
                           f"read -ra COMP_WORDS <<< \"$COMP_LINE\"; [[ $COMP_LINE == *' ' ]] && COMP_WORDS+=(''); "
                           f"COMP_CWORD=$((${{#COMP_WORDS[@]}} - 1)); _brevalcore; printf '%s\\n' \"${{COMPREPLY[@]}}\"")
                result = subprocess.run(["bash", "-c", program], capture_output=True, cwd=self.scratch.path)
                lines = result.stdout.decode().splitlines()
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(lines[0], "complete -o filenames -F _brevalcore brevalcore")
                self.assertTrue(expected <= set(lines[1:]), lines)
                if line.endswith("ch") or line.endswith("--by "):
                    self.assertEqual(set(lines[1:]), expected)
        # Operands that are files complete as files, folders as folders.
        program = (f"source {script}; COMP_WORDS=(brevalcore unpack BVCRES.DLL pk); COMP_CWORD=3; _brevalcore; "
                   "printf '%s\\n' \"${COMPREPLY[@]}\"")
        result = subprocess.run(["bash", "-c", program], capture_output=True, cwd=self.scratch.path)
        self.assertIn("pkg", result.stdout.decode().splitlines())

    def test_zsh_completion_completes_commands_options_and_values(self):
        # The completion system's builtins replaced by ones that print what they are given.
        script = os.path.join(SHELL_FILES, "_brevalcore")
        stubs = "compadd() { [[ $1 == -- ]] && shift; print -l -- \"$@\"; }; _files() { print -- FILES$1; }; "
        rows = [
            (["brevalcore", ""], "", {"check", "demo", "info", "ini", "pack", "rtf", "run", "trace", "unpack", "vbs"}),
            (["brevalcore", "check", "--"], "--", {"--json", "--werror", "--quiet", "--verbose", "--help"}),
            (["brevalcore", "ini", ""], "", {"read", "section", "sections", "write", "write-section"}),
            (["brevalcore", "trace", "report", "--by", ""], "", {"banner", "region", "asl", "week"}),
            (["brevalcore", "unpack", "BVCRES.DLL", ""], "", {"FILES"}),
        ]
        for words, prefix, expected in rows:
            with self.subTest(words=words):
                quoted = " ".join(f"'{w}'" for w in words)
                program = (f"{stubs} words=({quoted}); CURRENT={len(words)}; PREFIX='{prefix}'; "
                           f"PATH_BEFORE=$PATH; source {script}; [[ $PATH == $PATH_BEFORE ]] || print PATH-CHANGED")
                result = subprocess.run(["zsh", "-f", "-c", program], capture_output=True, cwd=self.scratch.path)
                self.assertEqual(result.returncode, 0, result.stderr)
                lines = set(result.stdout.decode().splitlines())
                self.assertTrue(expected <= lines, lines)
                self.assertNotIn("PATH-CHANGED", lines)

    def test_every_manual_page_renders(self):
        pages = sorted(os.listdir(os.path.join(SHELL_FILES, "man")))
        expected = {"brevalcore.1"} | {f"brevalcore-{c}.1" for c in
                                        ["check", "demo", "info", "ini", "pack", "rtf", "run", "trace", "unpack", "vbs"]}
        self.assertEqual(set(pages), expected)
        for page in pages:
            with self.subTest(page):
                result = subprocess.run(["man", "-l", "-Tutf8", os.path.join(SHELL_FILES, "man", page)],
                                        capture_output=True, env=dict(os.environ, MANWIDTH="80"))
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr, b"")
                text = re.sub(r".\x08", "", result.stdout.decode())
                self.assertIn("SYNOPSIS", text)
                self.assertIn("--quiet", text)
                self.assertIn("Exit status", text)


if __name__ == "__main__":
    TOOL, SHELL_FILES = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
