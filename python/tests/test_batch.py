"""quillmark batch, run as a process: every file accounted for, a worker
that dies or overruns costs only its file, Ctrl-C leaves whole lines."""
import json
import os
import shutil
import signal
import subprocess
import time

import pytest


def walk(root):
    out = []
    for d, dirs, files in os.walk(root):
        dirs.sort()
        out += [os.path.join(d, f) for f in files]
    return out


def records(text):
    lines = text.splitlines()
    recs = [json.loads(line) for line in lines]  # every line whole JSON
    assert len({r["path"] for r in recs}) == len(recs), "a file recorded twice"
    return recs


def batch(cli, *args, hook=None, check=None, timeout=120):
    env = dict(os.environ, TZ="UTC")
    if hook:
        env["QUILLMARK_BATCH_TEST_HOOK"] = hook
    r = subprocess.run([cli, "batch", *map(str, args)], capture_output=True, env=env, timeout=timeout)
    if check is not None:
        assert r.returncode == check, r.stderr.decode()
    return r


@pytest.fixture
def docs(data_dir, tmp_path):
    """A small tree of readable documents, one of them in a subfolder."""
    root = tmp_path / "docs"
    (root / "sub").mkdir(parents=True)
    for rel in ("word/basic_3.doc", "word/long_3.doc", "docx/basic_3.docx", "pdf/basic_3.pdf"):
        shutil.copy(data_dir / rel, root / rel.replace("/", "_"))
    shutil.copy(data_dir / "pdf/multi_3.pdf", root / "sub" / "multi_3.pdf")
    return root


def test_every_file_is_accounted_for(cli, data_dir, tmp_path):
    out = tmp_path / "out.jsonl"
    r = batch(cli, data_dir, "-o", out, "-j", 2)
    recs = records(out.read_text(encoding="utf-8"))
    assert sorted(r["path"] for r in recs) == sorted(walk(str(data_dir)))
    kinds = {}
    for rec in recs:
        assert isinstance(rec["ms"], int) and rec["size"] == os.path.getsize(rec["path"])
        if "error_kind" in rec:
            assert rec["error"] and "text" not in rec
            kinds[rec["error_kind"]] = kinds.get(rec["error_kind"], 0) + 1
        else:
            assert isinstance(rec["text"], str) and len(rec["metadata"]) == 28
    # The data has truth texts (no document format) and password-protected PDFs.
    assert kinds.get("unsupported", 0) > 0 and kinds.get("password", 0) > 0
    assert r.returncode == 1
    summary = r.stderr.decode().strip().splitlines()[-1]
    assert summary.startswith("quillmark batch: %d files, " % len(recs))
    for kind, n in kinds.items():
        assert "%s %d" % (kind, n) in summary


def test_records_match_extract_and_exit_zero(cli, docs, tmp_path):
    r = batch(cli, docs, "-j", 2, "-q", check=0)
    assert r.stderr == b""
    recs = records(r.stdout.decode("utf-8"))
    assert len(recs) == 5
    for rec in recs:
        one = subprocess.run([cli, "extract", rec["path"]], capture_output=True, check=True)
        assert rec["text"] == one.stdout.decode("utf-8")
        info = json.loads(subprocess.run([cli, "info", rec["path"]], capture_output=True, check=True,
                                         env=dict(os.environ, TZ="UTC")).stdout)
        assert rec["metadata"] == {k: v for k, v in info.items() if k not in ("file", "format", "Macros")}
        assert rec["format"] == info["format"]


def test_tree_writes_texts(cli, docs, tmp_path):
    tree = tmp_path / "tree"
    recs = records(batch(cli, docs, "--tree", tree, "-q", check=0).stdout.decode())
    plain = {r["path"]: r["text"] for r in records(batch(cli, docs, "-q", check=0).stdout.decode())}
    for rec in recs:
        assert "text" not in rec
        path = rec["text_path"]
        assert path.startswith(str(tree) + "/") and path.endswith(".txt")
        with open(path, encoding="utf-8") as f:
            assert f.read() == plain[rec["path"]]
    assert not list(tree.rglob("*.partial"))


def test_a_crashing_worker_costs_one_file(cli, docs):
    r = batch(cli, docs, "-j", 2, hook="abort:word_long_3.doc")
    recs = records(r.stdout.decode())
    assert len(recs) == 5 and r.returncode == 1
    bad = [x for x in recs if "error_kind" in x]
    assert [x["path"].endswith("word_long_3.doc") for x in bad] == [True]
    assert bad[0]["error_kind"] == "crash" and "SIGABRT" in bad[0]["error"]
    assert "crash 1" in r.stderr.decode()


def test_timeout_cooperative_then_kill(cli, docs):
    # One file waits for its cancel flag (a reader that checks it), one
    # ignores it (killed after the grace period); the rest are read.
    env_hook = "stall:word_basic_3.doc"
    start = time.monotonic()
    r = batch(cli, docs, "-j", 1, "--timeout", "0.3", hook=env_hook)
    recs = records(r.stdout.decode())
    assert len(recs) == 5 and r.returncode == 1
    stalled = [x for x in recs if x["path"].endswith("word_basic_3.doc")][0]
    assert stalled["error_kind"] == "timeout" and "stopped" in stalled["error"]
    r = batch(cli, docs, "-j", 1, "--timeout", "0.3", hook="hang:word_basic_3.doc")
    recs = records(r.stdout.decode())
    hung = [x for x in recs if x["path"].endswith("word_basic_3.doc")][0]
    assert hung["error_kind"] == "timeout" and "killed" in hung["error"]
    assert sum("error_kind" in x for x in recs) == 1
    assert time.monotonic() - start < 30


def test_memory_limit(cli, docs):
    r = batch(cli, docs, "-j", 1, "--max-memory", "256", hook="alloc:word_basic_3.doc")
    recs = records(r.stdout.decode())
    bad = [x for x in recs if "error_kind" in x]
    assert len(recs) == 5 and len(bad) == 1
    assert bad[0]["error_kind"] in ("memory", "crash") and bad[0]["path"].endswith("word_basic_3.doc")


def test_ctrl_c_leaves_whole_lines_and_resume_finishes(cli, data_dir, tmp_path):
    out = tmp_path / "out.jsonl"
    env = dict(os.environ, QUILLMARK_BATCH_TEST_HOOK="hang:basic_3.docx")
    p = subprocess.Popen([cli, "batch", str(data_dir), "-o", str(out), "-j", "2"],
                         stderr=subprocess.PIPE, env=env)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and (not out.exists() or out.read_text().count("\n") < 5):
        time.sleep(0.02)
    p.send_signal(signal.SIGINT)
    _, err = p.communicate(timeout=30)
    assert p.returncode == 130, err
    assert "interrupted" in err.decode()
    text = out.read_text(encoding="utf-8")
    assert text.endswith("\n")
    done = records(text)
    total = len(walk(str(data_dir)))
    assert 5 <= len(done) < total
    # A run killed mid-line leaves a partial record; --resume drops it and
    # reads only what is missing.
    with open(out, "a") as f:
        f.write('{"path":"' + str(data_dir))
    r = batch(cli, data_dir, "-o", out, "--resume", "-j", 2)
    final = records(out.read_text(encoding="utf-8"))
    assert sorted(x["path"] for x in final) == sorted(walk(str(data_dir)))
    assert final[: len(done)] == done
    assert "%d already done" % len(done) in r.stderr.decode()


def test_symlink_loops_and_missing_names(cli, docs, tmp_path):
    os.symlink(docs, docs / "sub" / "loop")
    os.symlink(docs / "sub", docs / "again")
    r = batch(cli, docs, tmp_path / "missing.doc", "-q")
    recs = records(r.stdout.decode())
    assert len(recs) == 6 and r.returncode == 1
    missing = [x for x in recs if x["path"].endswith("missing.doc")][0]
    assert missing["error_kind"] == "other" and "No such file" in missing["error"]


def test_usage_errors(cli, tmp_path):
    for args in ([], ["-j", "0", "x"], ["--timeout", "-1", "x"], ["--timeout", "abc", "x"],
                 ["--resume", "x"], ["--max-memory", "1", "x"]):
        assert batch(cli, *args).returncode == 2, args
