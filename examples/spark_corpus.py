"""Extract a corpus with Spark: a pandas UDF over the binaryFile source.
Needs pyspark and the quillmark binding on every executor.

    spark-submit examples/spark_corpus.py CORPUS OUT
"""
import sys

import pandas as pd
from pyspark.sql import SparkSession
from pyspark.sql.functions import pandas_udf

import quillmark


@pandas_udf("string")
def text(content: pd.Series) -> pd.Series:
    def one(data):
        try:
            return quillmark.extract(bytes(data))
        except quillmark.Error:
            return None
    return content.map(one)


if __name__ == "__main__":
    spark = SparkSession.builder.appName("quillmark").getOrCreate()
    df = spark.read.format("binaryFile").option("recursiveFileLookup", "true").load(sys.argv[1])
    df.select("path", "length", text("content").alias("text")).write.json(sys.argv[2])
