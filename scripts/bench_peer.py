#!/usr/bin/python3
"""Times a peer's single-element filter, GEGL's gegl:supernova, over the
same 4000 x 3000 photo-like picture the render benchmark uses, in memory,
in the host's format (R'G'B' u8). Only the operation is timed. Prints one
line per run: "supernova <milliseconds>"."""
import sys
import time

import gi

gi.require_version("Gegl", "0.4")
from gi.repository import Gegl  # noqa: E402

WIDTH, HEIGHT = 4000, 3000


def picture():
    # Rows of gradients with a little grain; the operation's time does not
    # depend on the values.
    rows = []
    for y in range(0, HEIGHT, 100):
        row = bytes(min(255, (i // 3 * ((i % 3) + 1) + y) * 255 // 7000 + (i * 40503 >> 12 & 15)) for i in range(WIDTH * 3))
        rows.append(row * min(100, HEIGHT - y))
    return b"".join(rows)


def main():
    runs = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    Gegl.init(None)
    Gegl.config().set_property("application-license", "GPL3")
    fmt = Gegl.format("R'G'B' u8")
    rect = Gegl.Rectangle.new(0, 0, WIDTH, HEIGHT)
    source = Gegl.Buffer.new("R'G'B' u8", 0, 0, WIDTH, HEIGHT)
    source.set(rect, "R'G'B' u8", picture())
    for _ in range(runs):
        target = Gegl.Buffer.new("R'G'B' u8", 0, 0, WIDTH, HEIGHT)
        graph = Gegl.Node()
        src = graph.create_child("gegl:buffer-source")
        src.set_property("buffer", source)
        nova = graph.create_child("gegl:supernova")
        nova.set_property("center-x", 0.5)
        nova.set_property("center-y", 0.5)
        nova.set_property("radius", 20)
        nova.set_property("spokes-count", 100)
        sink = graph.create_child("gegl:write-buffer")
        sink.set_property("buffer", target)
        src.link(nova)
        nova.link(sink)
        start = time.perf_counter()
        sink.process()
        elapsed = (time.perf_counter() - start) * 1000.0
        print("supernova %.1f" % elapsed, flush=True)
    del fmt


if __name__ == "__main__":
    main()
