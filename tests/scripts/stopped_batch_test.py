#!/usr/bin/env python3
"""A batch stopped midway. Killed, its report holds each line it finished, whole, and the
join counts the slice as interrupted; stopped by Ctrl+C in its terminal, it ends the scene
it was running, writes its summary and exits 3.
    stopped_batch_test.py EMULATOR PROGRAM SOURCE WORK   (EMULATOR may be "")"""
import json, os, pty, select, shutil, signal, subprocess, sys, time

emulator, program, source, work = sys.argv[1:5]
SCENES = 3000
shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
shutil.copy(os.path.join(source, "desk.scene"), work)
with open(os.path.join(work, "check.script"), "w") as out:
    out.write("expect props Base/Arm LOD=1\n")
with open(os.path.join(work, "list.txt"), "w") as out:
    out.write("desk.scene\n" * SCENES)
problems = []


def command(*args):
    return ([emulator] if emulator else []) + [program] + list(args)


def batch(report):
    return command("--script", "check.script", "--keep-going", "--report", report,
                   "--scenes-from", "list.txt")


def report_lines(report):
    """Every line parses, or the test fails with the line that does not."""
    with open(os.path.join(work, report), encoding="utf-8") as text:
        return [json.loads(line) for line in text]


def wait_for_scenes(report, count, drain=None):
    path = os.path.join(work, report)
    deadline = time.time() + 90
    while time.time() < deadline:
        if drain is not None and select.select([drain], [], [], 0)[0]:
            try:
                os.read(drain, 4096)
            except OSError:
                pass
        if os.path.exists(path):
            with open(path, encoding="utf-8") as text:
                if text.read().count("\n") > count:
                    return True
        time.sleep(0.01)
    problems.append("%s: fewer than %d scenes in 90 s" % (report, count))
    return False


# Killed: no summary, every line whole; the join says the slice ended before its summary.
killed = subprocess.Popen(batch("killed.jsonl"), cwd=work, start_new_session=True,
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
if wait_for_scenes("killed.jsonl", 3):
    os.killpg(killed.pid, signal.SIGKILL)
killed.wait()
lines = report_lines("killed.jsonl")
scenes = [line for line in lines if "file" in line]
if lines[0] != {"start": {"script": "check.script", "scenes": SCENES}}:
    problems.append("killed: the first line is %s" % lines[0])
if any("summary" in line for line in lines) or len(scenes) != len(lines) - 1:
    problems.append("killed: lines other than scenes after the start: %s" % lines[-1])
if len(scenes) >= SCENES:
    problems.append("killed: the batch ended before it was killed")
join = subprocess.run(command("--join-reports", "killed.jsonl"), cwd=work,
                      capture_output=True, text=True)
summary = json.loads(join.stdout.splitlines()[-1])["summary"]
if join.returncode != 3 or not summary["interrupted"] or \
        summary["notRun"] != SCENES - len(scenes) or summary["ok"] != len(scenes):
    problems.append("join of the killed slice: exit %d, %s" % (join.returncode, summary))
if "killed.jsonl: the batch ended before its summary line" not in join.stderr:
    problems.append("join of the killed slice says: %s" % join.stderr)

# Ctrl+C in the terminal the batch runs in.
child, terminal = pty.fork()
if child == 0:
    os.chdir(work)
    line = batch("interrupted.jsonl")
    os.execvp(line[0], line)
if wait_for_scenes("interrupted.jsonl", 3, drain=terminal):
    os.write(terminal, b"\x03")
deadline = time.time() + 60
status = None
while status is None and time.time() < deadline:
    if select.select([terminal], [], [], 0.1)[0]:
        try:
            os.read(terminal, 4096)
        except OSError:
            pass
    done, code = os.waitpid(child, os.WNOHANG)
    if done:
        status = os.waitstatus_to_exitcode(code)
if status is None:
    os.kill(child, signal.SIGKILL)
    problems.append("Ctrl+C: the batch went on")
lines = report_lines("interrupted.jsonl")
summary = lines[-1].get("summary", {})
ran = len([line for line in lines if "file" in line])
if status != 3 or not summary.get("interrupted") or summary.get("notRun", 0) == 0 or \
        summary.get("scenes") != ran or ran + summary.get("notRun", 0) != SCENES:
    problems.append("Ctrl+C: exit %s, %d scenes run, summary %s" % (status, ran, summary))

if problems:
    sys.exit("\n".join(problems))
print("killed after %d scenes, interrupted after %d: both reports read whole" % (len(scenes), ran))
