"""Writes a synthetic book for the page server benchmark: about 2,000 entries, HTML pages of
4 to 40 KB, a style sheet of 2 KB, pictures of 20 to 200 KB (incompressible, like real JPEG
or PNG data) and one entry of 20 MB. Deterministic, so every run serves the same bytes."""
import json
import os
import random
import sys

out = sys.argv[1]
rng = random.Random(1234)
pages = os.path.join(out, "pages")
os.makedirs(os.path.join(pages, "text"), exist_ok=True)
os.makedirs(os.path.join(pages, "img"), exist_ok=True)

words = ("reader page chapter light river stone window garden letter evening morning "
         "voice table paper music harbour winter summer lantern story").split()


def prose(size):
    parts = []
    length = 0
    while length < size:
        sentence = " ".join(rng.choice(words) for _ in range(rng.randint(6, 16))).capitalize() + ". "
        parts.append(sentence)
        length += len(sentence)
    return "".join(parts)[:size]


def html(n, size):
    head = f"<html><head><title>Page {n}</title><link rel=stylesheet href=/style.css></head><body><p>"
    tail = "</p></body></html>"
    return head + prose(max(0, size - len(head) - len(tail))) + tail


for n in range(1500):
    size = 8192 if n == 0 else rng.randint(4096, 40960)
    with open(os.path.join(pages, "text", f"p{n:04d}.html"), "w") as f:
        f.write(html(n, size))
for n in range(499):
    size = 102400 if n == 0 else rng.randint(20480, 204800)
    with open(os.path.join(pages, "img", f"i{n:04d}.jpg"), "wb") as f:
        f.write(rng.randbytes(size))
# A style sheet of 2 KB, the size of a small book's.
with open(os.path.join(pages, "style.css"), "w") as f:
    css = ""
    for n in range(1000):
        rule = f".c{n} {{ margin: {n % 7}px {n % 5}em; color: #{rng.randrange(1 << 24):06x}; }}\n"
        if len(css) + len(rule) > 2048 - 6:
            break
        css += rule
    f.write(css + "/*" + " " * (2048 - len(css) - 5) + "*/\n")
# Half prose, half noise: inflates at a realistic rate for a large mixed entry.
with open(os.path.join(pages, "large.bin"), "wb") as f:
    for _ in range(20):
        f.write(prose(512 * 1024).encode())
        f.write(rng.randbytes(512 * 1024))

with open(os.path.join(out, "book.json"), "w") as f:
    json.dump({"BookId": "bench", "Title": "Benchmark", "Entries": "pages",
               "StartPage": "/text/p0000.html"}, f)
for name, path in (("small", "/text/p0000.html"), ("style", "/style.css"), ("picture", "/img/i0000.jpg"),
                   ("large", "/large.bin")):
    with open(os.path.join(out, name + ".txt"), "w") as f:
        f.write(path)
