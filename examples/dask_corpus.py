"""Extract a corpus on a Dask cluster: the recipe of quillmark.dask in a few
lines, to adapt. Run on this machine with a LocalCluster of two workers:

    PYTHONPATH=build/python /usr/bin/python3 examples/dask_corpus.py CORPUS OUT
or on a cluster:  ... examples/dask_corpus.py CORPUS OUT tcp://scheduler:8786
"""
import json
import os
import sys

import dask.bag as db
from dask.distributed import Client, LocalCluster

from quillmark.dask import record, walk

if __name__ == "__main__":
    corpus, out = sys.argv[1], sys.argv[2]
    client = Client(sys.argv[3]) if len(sys.argv) > 3 else Client(LocalCluster(n_workers=2, threads_per_worker=1))
    files = walk([corpus])
    bag = db.from_sequence(files, npartitions=max(1, min(len(files), 8)))
    os.makedirs(out, exist_ok=True)
    bag.map(record).map(json.dumps).to_textfiles(os.path.join(out, "part-*.jsonl"))
    client.close()
