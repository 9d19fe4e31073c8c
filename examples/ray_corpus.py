"""Extract a corpus with Ray Data, one batch record per file.
Needs ray and the quillmark binding on every node.

    python3 examples/ray_corpus.py CORPUS OUT
"""
import sys

import ray

from quillmark.dask import record, walk

if __name__ == "__main__":
    ray.init()
    rows = ray.data.from_items([{"path": p, "size": s} for p, s in walk([sys.argv[1]])])
    rows.map(lambda r: record((r["path"], r["size"]))).write_json(sys.argv[2])
