"""The Open CASCADE adapter's rows of the benchmark table (bench/occt):
kmbrep convert against OCCT's own STEP-to-glTF route, and the host-stream
round trip of OCCT parts against OCCT's binary format in memory. Empty when
mv_bench was built without the adapter."""


def occt_rows(runs, paired, fmt_ms):
    out = []
    if "BM_OcctConvertGltf" in runs:
        lib, base, ratio = paired(runs, "BM_OcctConvertGltf")
        out.append(("10 kmbrep convert STEP to glTF, 3024 faces (base: OCCT RWGltf_CafWriter)", fmt_ms(lib),
                    fmt_ms(base), "%.2f" % ratio, "ratio <= 1.20", "yes" if ratio <= 1.2 else "NO"))
        r = runs["BM_OcctConvertGltf"][0]
        ours, theirs = r["triangles"], r["base_triangles"]
        share = ours / theirs if theirs else 0.0
        out.append(("10 triangles, same mesher and deflection", "%d" % ours, "%d" % theirs, "%.3f" % share,
                    "within 10%", "yes" if abs(share - 1.0) <= 0.1 else "NO"))
    if "BM_OcctHostStreamRoundTrip" in runs:
        lib, base, ratio = paired(runs, "BM_OcctHostStreamRoundTrip")
        out.append(("11 host-stream round trip, OCCT parts (base: BinTools in memory)", fmt_ms(lib), fmt_ms(base),
                    "%.2f" % ratio, "ratio <= 1.10", "yes" if ratio <= 1.1 else "NO"))
    return out
