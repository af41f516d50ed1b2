"""The guide's pictures and PSNR table, made from three real photos.

The photos are those Debian ships with scikit-image (python3-skimage):
astronaut.png (NASA, public domain), coffee.png (Rachel Michetti, CC0) and
chelsea.png (Stefan van der Walt, CC0). Each gets the same kinds of noise,
seeded, so every figure depends only on the sources and the packages'
versions; the built program filters each one with answers on standard
input, as a user would, and is compared with the clean photo over the
interior (the program leaves a two-pixel frame as it was).

    python3 tools/gallery.py PROGRAM IMAGES_DIR GUIDE WORK_DIR

Run by tools/gallery.sh, which builds the program first.
"""

import os
import struct
import subprocess
import sys

import numpy as np
from scipy import ndimage
from skimage import io, restoration

PHOTO_DIR = "/usr/lib/python3/dist-packages/skimage/data"
PHOTOS = ["astronaut", "coffee", "chelsea"]

# name | heading in the table | how the noise is made
NOISES = [
    ("none", "ノイズなし", None),
    ("g3", "ザラつき σ3", ("gauss", 3)),
    ("g6", "ザラつき σ6", ("gauss", 6)),
    ("g12", "ザラつき σ12", ("gauss", 12)),
    ("salt", "ごま塩 2%", ("salt", 2)),
    ("mixed", "σ12 + ごま塩 2%", ("mixed", 12, 2)),
]

# name | the answers after the two names ("+" starts a second run on the
# first one's output) | label in the table
RUNS = [
    ("mode0", "0", "モード0 平滑化"),
    ("mode1-2", "1 2", "モード1 係数2"),
    ("mode1-5", "1 5", "モード1 係数5"),
    ("mode1-10", "1 10", "モード1 係数10"),
    ("mode1-20", "1 20", "モード1 係数20"),
    ("mode2", "2", "モード2 オリジナルブレンド"),
    ("mode3-1", "3 1", "モード3・設定1(3-1)"),
    ("mode3-2", "3 2", "モード3・設定2(3-2)"),
    ("mode3-3", "3 3", "モード3・設定3(3-3)"),
    ("mode1-5-3-2", "1 5 + 3 2", "モード1 係数5 → 3-2"),
]

# The pictures of the guide: a crop of the astronaut's face (hair, skin,
# the smooth backdrop) at twice its size, for these noises and runs.
CROP_PHOTO = "astronaut"
CROP = (slice(30, 158), slice(150, 310))  # rows, columns: 128 x 160
PICTURES = {
    "g3": ["mode3-1", "mode3-3"],
    "g6": ["mode0", "mode1-5", "mode2", "mode3-1", "mode3-2"],
    "g12": ["mode0", "mode3-2"],
    "salt": ["mode1-5", "mode1-10", "mode1-20", "mode3-2"],
    "mixed": ["mode1-5", "mode1-5-3-2"],
}


def noisy(clean, noise, seed):
    if noise is None:
        return clean.copy()
    rng = np.random.default_rng(seed)
    picture = clean.astype(np.float64)
    if noise[0] in ("gauss", "mixed"):
        picture = picture + rng.normal(0.0, noise[1], picture.shape)
    picture = np.clip(np.rint(picture), 0, 255).astype(np.uint8)
    if noise[0] in ("salt", "mixed"):
        percent = noise[-1]
        hit = rng.random(picture.shape[:2]) < percent / 100.0
        white = rng.random(picture.shape[:2]) < 0.5
        picture[hit & white] = 255
        picture[hit & ~white] = 0
    return picture


def write_bmp(path, rgb):
    height, width, _ = rgb.shape
    padding = (-3 * width) % 4
    row_bytes = 3 * width + padding
    header = struct.pack("<2sIHHI", b"BM", 54 + row_bytes * height, 0, 0, 54)
    header += struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, row_bytes * height, 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header)
        for row in rgb[::-1]:
            out.write(row[:, ::-1].tobytes() + b"\0" * padding)


def read_bmp(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    row_bytes = (3 * width + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        start = offset + y * row_bytes
        rows.append(np.frombuffer(data, np.uint8, 3 * width, start).reshape(width, 3)[:, ::-1])
    picture = np.array(rows)
    return picture[::-1] if height > 0 else picture


def run_program(program, work, input_name, output_name, answers):
    text = "\n".join([input_name, output_name] + answers.split()) + "\n"
    subprocess.run([program], input=text.encode(), cwd=work, stdout=subprocess.DEVNULL, check=True)
    return os.path.join(work, output_name + ".bmp")


def run_chain(program, work, input_name, output_name, answers):
    for step, part in enumerate(answers.split("+")):
        name = "%s_step%d" % (output_name, step)
        run_program(program, work, input_name, name, part)
        input_name = name
    return read_bmp(os.path.join(work, input_name + ".bmp"))


def psnr(clean, picture):
    inner = (slice(2, -2), slice(2, -2))
    error = np.mean((clean[inner].astype(np.float64) - picture[inner].astype(np.float64)) ** 2)
    return float("inf") if error == 0 else 10 * np.log10(255.0 ** 2 / error)


def references(picture):
    sigma = restoration.estimate_sigma(picture, channel_axis=-1, average_sigmas=True)
    return {
        "median": ndimage.median_filter(picture, size=(5, 5, 1)),
        "blur": np.clip(np.rint(ndimage.gaussian_filter(picture.astype(np.float64), (1, 1, 0), truncate=2.0)), 0, 255),
        "nlm": np.clip(np.rint(restoration.denoise_nl_means(
            picture.astype(np.float64), h=0.8 * max(sigma, 0.5), sigma=sigma, patch_size=5, patch_distance=6,
            fast_mode=True, channel_axis=-1, preserve_range=True)), 0, 255),
    }


REFERENCE_ROWS = [
    ("median", "参考: 5×5 メディアン (SciPy)"),
    ("blur", "参考: 5×5 ガウスぼかし σ1 (SciPy)"),
    ("nlm", "参考: 非局所平均 (scikit-image)"),
]


def save_crop(path, picture):
    crop = picture[CROP].astype(np.uint8)
    io.imsave(path, crop.repeat(2, axis=0).repeat(2, axis=1), check_contrast=False)


def cell(values):
    low, high = min(values), max(values)
    if np.isinf(low):
        return "∞"
    text = lambda v: "∞" if np.isinf(v) else "%.1f" % v
    return text(low) if text(low) == text(high) else "%s–%s" % (text(low), text(high))


def table(figures):
    lines = ["| | " + " | ".join(heading for _, heading, _ in NOISES) + " |",
             "|---|" + "---:|" * len(NOISES)]
    rows = [("input", "処理前(入力そのまま)")] + [(name, label) for name, _, label in RUNS] + REFERENCE_ROWS
    for name, label in rows:
        lines.append("| %s | " % label + " | ".join(cell(figures[name, noise]) for noise, _, _ in NOISES) + " |")
    return "\n".join(lines) + "\n"


def write_table(guide, text):
    lines = open(guide, encoding="utf-8").read().split("\n")
    begin = next(i for i, line in enumerate(lines) if line.startswith("<!-- psnr-table: begin"))
    end = next(i for i, line in enumerate(lines) if line.startswith("<!-- psnr-table: end"))
    lines[begin + 1:end] = text.rstrip("\n").split("\n")
    open(guide, "w", encoding="utf-8").write("\n".join(lines))


def main(program, images, guide, work):
    figures = {}
    for p, photo in enumerate(PHOTOS):
        clean = io.imread(os.path.join(PHOTO_DIR, photo + ".png"))[:, :, :3]
        if photo == CROP_PHOTO:
            save_crop(os.path.join(images, "clean.png"), clean)
        for n, (noise, _, how) in enumerate(NOISES):
            picture = noisy(clean, how, seed=100 * p + n)
            name = "%s_%s" % (photo, noise)
            write_bmp(os.path.join(work, name + ".bmp"), picture)
            figures.setdefault(("input", noise), []).append(psnr(clean, picture))
            if photo == CROP_PHOTO and noise in PICTURES:
                save_crop(os.path.join(images, "noisy-%s.png" % noise), picture)
            for run, answers, _ in RUNS:
                result = run_chain(program, work, name, "%s_%s" % (name, run), answers)
                figures.setdefault((run, noise), []).append(psnr(clean, result))
                if photo == CROP_PHOTO and run in PICTURES.get(noise, []):
                    save_crop(os.path.join(images, "%s-%s.png" % (run, noise)), result)
            for reference, result in references(picture).items():
                figures.setdefault((reference, noise), []).append(psnr(clean, result))
        print("gallery: %s done" % photo, flush=True)
    write_table(guide, table(figures))
    print("gallery: table written into %s" % guide)


if __name__ == "__main__":
    main(*sys.argv[1:5])
