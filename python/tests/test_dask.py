"""The Dask recipe on a LocalCluster of two worker processes gives the same
records as quillmark batch over the same corpus."""
import json
import os
import subprocess
import sys


def load(lines):
    recs = {}
    for line in lines:
        rec = json.loads(line)
        rec.pop("ms")
        assert rec["path"] not in recs
        recs[rec["path"]] = rec
    return recs


def test_dask_recipe_equals_batch(cli, corpus, tmp_path):
    out = tmp_path / "parts"
    env = dict(os.environ, TZ="UTC")
    r = subprocess.run([sys.executable, "-m", "quillmark.dask", str(corpus), str(out), "--workers", "2"],
                       capture_output=True, env=env, timeout=240)
    assert r.returncode == 0, r.stderr.decode()[-2000:]
    parts = sorted(out.glob("part-*.jsonl"))
    assert len(parts) >= 2
    lines = []
    for p in parts:
        lines += p.read_text(encoding="utf-8").splitlines()
    dask = load(lines)
    b = subprocess.run([cli, "batch", str(corpus), "-j", "2", "-q"], capture_output=True, env=env, timeout=240)
    assert b.returncode in (0, 1)
    batch = load(b.stdout.decode("utf-8").splitlines())
    assert set(dask) == set(batch)
    everything = set()
    for root, _, files in os.walk(corpus):
        everything.update(os.path.join(root, f) for f in files)
    assert set(dask) == everything
    for path in batch:
        assert dask[path] == batch[path], path
