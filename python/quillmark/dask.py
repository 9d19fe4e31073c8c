"""Extract a corpus on a Dask cluster into JSON Lines partitions.

    python3 -m quillmark.dask DIR... OUTDIR [--scheduler tcp://host:8786] [--workers N]

Without --scheduler a LocalCluster of N worker processes (default 2) runs on
this machine. Each partition becomes OUTDIR/part-NNNN.jsonl, one record per
file with the same fields as `quillmark batch` writes.
"""

import argparse
import json
import os
import sys
import time

import quillmark


def walk(inputs):
    """Every regular file named or below the named directories, in the order
    `quillmark batch` uses (names sorted within a directory, each directory
    walked once even when links lead back to it)."""
    files, seen = [], set()

    def visit(path):
        try:
            st = os.stat(path)
        except OSError:
            files.append((path, 0))
            return
        if os.path.isdir(path):
            key = (st.st_dev, st.st_ino)
            if key in seen:
                return
            seen.add(key)
            prefix = path if path.endswith("/") else path + "/"
            for name in sorted(os.listdir(path), key=os.fsencode):
                visit(prefix + name)
        elif os.path.isfile(path):
            files.append((path, st.st_size))

    for p in inputs:
        visit(p)
    return files


def record(item):
    """The batch record of one file (path, size, format, text, metadata, ms;
    error_kind and error when it cannot be read)."""
    path, size = item
    start = time.monotonic()
    rec = {"path": path}
    try:
        with open(path, "rb") as f:
            data = f.read()
        size = len(data)
        doc = quillmark.read(data)
        rec.update(size=size, format=doc["format"], text=doc["text"], metadata=doc["metadata"])
    except Exception as e:  # every failure is a record, never a lost file
        rec = {"path": path, "size": size,
               "format": quillmark.detect(data) if "data" in locals() else "unknown",
               "error_kind": quillmark.error_kind(e), "error": str(e)}
    rec["ms"] = int((time.monotonic() - start) * 1000)
    return rec


def run(inputs, out_dir, scheduler=None, workers=2, partitions=None):
    import dask.bag as db
    from dask.distributed import Client, LocalCluster

    files = walk(inputs)
    os.makedirs(out_dir, exist_ok=True)
    if scheduler:
        client = Client(scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        n = partitions or max(1, min(len(files), 4 * workers))
        bag = db.from_sequence(files, npartitions=n)
        lines = bag.map(record).map(lambda r: json.dumps(r, ensure_ascii=False))
        lines.to_textfiles(os.path.join(out_dir, "part-*.jsonl"), name_function=lambda i: "%04d" % i)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    return len(files)


def main(argv=None):
    ap = argparse.ArgumentParser(prog="python3 -m quillmark.dask", description=__doc__.splitlines()[0])
    ap.add_argument("inputs", nargs="+", help="files or directories, then the output directory")
    ap.add_argument("--scheduler", help="address of a running Dask scheduler")
    ap.add_argument("--workers", type=int, default=2, help="LocalCluster worker processes (default 2)")
    ap.add_argument("--partitions", type=int, help="number of output partitions")
    args = ap.parse_args(argv)
    if len(args.inputs) < 2:
        ap.error("give at least one input and the output directory")
    n = run(args.inputs[:-1], args.inputs[-1], args.scheduler, args.workers, args.partitions)
    print("%d files" % n, file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
