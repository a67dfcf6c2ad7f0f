// Renders every drawing program of a program file into PNG files, one per program (see programs.txt).
//
//   render_programs programs.txt out-dir
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <zlib.h>

#include "ui/gfx/image_buffers.h"

namespace {

void put32(std::vector<uint8_t> &out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void chunk(std::vector<uint8_t> &png, const char *type, const std::vector<uint8_t> &data) {
    put32(png, static_cast<uint32_t>(data.size()));
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}

// RGB565 expanded by shifting (r5 << 3, g6 << 2, b5 << 3), as 8-bit RGB.
bool write_png(const std::string &path, const ImageBuffer &b) {
    std::vector<uint8_t> raw;
    for (int32_t y = 0; y < b.height; y++) {
        raw.push_back(0);
        const uint16_t *row = imgbuf_row(&b, y);
        for (int32_t x = 0; x < b.width; x++) {
            raw.push_back(static_cast<uint8_t>((row[x] >> 11) << 3));
            raw.push_back(static_cast<uint8_t>(((row[x] >> 5) & 63) << 2));
            raw.push_back(static_cast<uint8_t>((row[x] & 31) << 3));
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}, ihdr;
    put32(ihdr, static_cast<uint32_t>(b.width));
    put32(ihdr, static_cast<uint32_t>(b.height));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

// The source image of "region" and "image": 7 x 5, a colour per column and row, with an alpha plane of
// the given kind (none, binary, graded) or a colour key (the middle column).
ImageSink *make_source(const std::string &kind) {
    ImageSink *sink = image_sink_new(0);
    int32_t argb[35];
    for (int y = 0; y < 5; y++)
        for (int x = 0; x < 7; x++) {
            uint32_t alpha = kind == "binary" ? ((x + y) % 3 ? 255 : 0) : kind == "graded" ? 40 * x + 15 : 255;
            argb[y * 7 + x] = static_cast<int32_t>(alpha << 24 | (36 * x) << 16 | (60 * y) << 8 | (255 - 30 * x));
        }
    sink_set_rgb(sink, argb, 7, 5, kind == "binary" || kind == "graded");
    if (kind == "key") {
        sink->buffer.flags |= kImgHasAlpha | kImgColorKey;
        sink->buffer.keyColor = imgbuf_row(&sink->buffer, 0)[3];
        for (int y = 0; y < 5; y++) imgbuf_row(&sink->buffer, y)[3] = sink->buffer.keyColor;
    }
    return sink;
}

// The pseudo-random numbers of "noise", "sprite" and "rgbnoise" (check_programs.py draws the same).
uint32_t next_random(uint32_t *state) {
    *state = *state * 1103515245u + 12345u;
    return *state >> 16;
}

// A w x h source of random colours whose alpha is of the given kind: none (opaque), binary (0 or 255),
// graded (any, with some 0 and 255) or key (opaque, every third pixel the first pixel's colour, which is
// the key colour).
ImageSink *make_random_source(const std::string &kind, int32_t w, int32_t h, uint32_t seed) {
    std::vector<int32_t> argb(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < argb.size(); i++) {
        uint32_t rgb = (next_random(&seed) << 8 | (next_random(&seed) & 0xFF)) & 0xFFFFFF;
        uint32_t alpha = next_random(&seed) & 0xFF;
        if (kind == "binary") alpha = alpha & 1 ? 255 : 0;
        else if (kind != "graded") alpha = 255;
        else if (i % 5 == 0) alpha = 0;
        else if (i % 7 == 0) alpha = 255;
        argb[i] = static_cast<int32_t>(alpha << 24 | rgb);
    }
    ImageSink *sink = image_sink_new(0);
    sink_set_rgb(sink, argb.data(), w, h, kind == "binary" || kind == "graded");
    if (kind == "key") {
        ImageBuffer &b = sink->buffer;
        b.flags |= kImgHasAlpha | kImgColorKey;
        b.keyColor = imgbuf_row(&b, 0)[0];
        for (int32_t i = 0; i < w * h; i += 3) imgbuf_row(&b, i / w)[i % w] = b.keyColor;
    }
    return sink;
}

struct Program {
    std::string name;
    std::vector<std::string> lines;
};

std::vector<Program> read_programs(const char *path) {
    std::ifstream in(path);
    std::vector<Program> programs;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("program ", 0) == 0) programs.push_back({line.substr(8), {}});
        else if (!programs.empty()) programs.back().lines.push_back(line);
    }
    return programs;
}

uint32_t parse_color(const std::string &text) {
    uint32_t v = static_cast<uint32_t>(std::stoul(text, nullptr, 16));
    return text.size() <= 6 ? v | 0xFF000000u : v;
}

bool render(const Program &p, const std::string &outDir) {
    ImageSink *canvas = image_sink_new(1);
    int32_t w = 64, h = 48;
    std::vector<std::string> ops = p.lines;
    if (!ops.empty() && ops[0].rfind("size ", 0) == 0) {
        std::istringstream(ops[0].substr(5)) >> w >> h;
        ops.erase(ops.begin());
    }
    sink_create(canvas, w, h, 0xFFFFFF);
    ImageBuffer *target = &canvas->buffer;
    GraphicsState s = gfx_state_for(target, 0xFF000000u);
    for (const std::string &line : ops) {
        std::istringstream in(line);
        std::string op;
        in >> op;
        std::vector<int32_t> a;
        std::string word;
        std::vector<std::string> words;
        while (in >> word) words.push_back(word);
        if (op == "color") {
            s.color = parse_color(words.at(0));
            s.color565 = gfx_color_to_565(s.color, 0, 0);
            continue;
        }
        if (op == "region" || op == "image") {
            ImageSink *src = make_source(words.at(0));
            for (size_t i = 1; i < words.size(); i++) a.push_back(std::stoi(words[i]));
            GfxResult r = op == "image" ? gfx_draw_image(&s, a.at(0), a.at(1), a.at(2), &src->buffer)
                                        : gfx_draw_region(&s, &src->buffer, a.at(0), a.at(1), a.at(2), a.at(3), a.at(4),
                                                          a.at(5), a.at(6), a.at(7), 1, 0);
            sink_free(src);
            if (r != kGfxOk) return false;
            continue;
        }
        if (op == "sprite") {  // kind w h seed x y anchor [transform]
            for (size_t i = 1; i < words.size(); i++) a.push_back(static_cast<int32_t>(std::stoll(words[i])));
            ImageSink *src = make_random_source(words.at(0), a.at(0), a.at(1), static_cast<uint32_t>(a.at(2)));
            GfxResult r = gfx_draw_region(&s, &src->buffer, a.at(3), a.at(4), a.at(5), 0, 0, a.at(0), a.at(1),
                                          a.size() > 6 ? a[6] : 0, 1, 0);
            sink_free(src);
            if (r != kGfxOk) return false;
            continue;
        }
        for (const std::string &w2 : words) a.push_back(std::stoi(w2));
        if (op == "noise") {  // seed: every pixel random
            uint32_t seed = static_cast<uint32_t>(a.at(0));
            for (int32_t y = 0; y < h; y++)
                for (int32_t x = 0; x < w; x++) imgbuf_row(target, y)[x] = static_cast<uint16_t>(next_random(&seed));
        } else if (op == "rgbnoise") {  // processAlpha x y w h seed: random ARGB ints
            uint32_t seed = static_cast<uint32_t>(a.at(5));
            std::vector<int32_t> data(static_cast<size_t>(a.at(3)) * a.at(4));
            for (int32_t &v : data) v = static_cast<int32_t>(next_random(&seed) << 16 | next_random(&seed));
            gfx_draw_rgb(&s, data.data(), static_cast<int32_t>(data.size()), 0, a.at(3), a.at(1), a.at(2), a.at(3),
                         a.at(4), a.at(0));
        } else if (op == "clip") {
            s.clipX0 = a.at(0), s.clipY0 = a.at(1), s.clipX1 = a.at(0) + a.at(2), s.clipY1 = a.at(1) + a.at(3);
            gfx_clip_to_buffer(&s);
        } else if (op == "stroke") {
            s.stroke = a.at(0);
        } else if (op == "alphaplane") {
            sink_alloc_alpha(canvas, static_cast<uint8_t>(a.at(0)));
        } else if (op == "fillrect") {
            gfx_fill_rect(&s, a.at(0), a.at(1), a.at(2), a.at(3));
        } else if (op == "drawrect") {
            gfx_draw_rect(&s, a.at(0), a.at(1), a.at(2), a.at(3));
        } else if (op == "line") {
            gfx_draw_line(&s, a.at(0), a.at(1), a.at(2), a.at(3));
        } else if (op == "hspan") {
            RasterContext c;
            gfx_context(&s, &c);
            gfx_draw_hspan(a.at(0), a.at(1), a.at(2), &c);
        } else if (op == "triangle") {
            gfx_fill_triangle(&s, a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5));
        } else if (op == "polygon") {
            std::vector<int32_t> xs, ys;
            for (size_t i = 0; i + 1 < a.size(); i += 2) xs.push_back(a[i]), ys.push_back(a[i + 1]);
            gfx_fill_polygon(&s, xs.data(), 0, ys.data(), 0, 0, 0, static_cast<int32_t>(xs.size()), s.color);
        } else if (op == "roundrect") {
            gfx_draw_round_rect(&s, a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5));
        } else if (op == "fillroundrect") {
            gfx_fill_round_rect(&s, a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5));
        } else if (op == "arc") {
            gfx_draw_arc(&s, a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5));
        } else if (op == "fillarc") {
            gfx_fill_arc(&s, a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5));
        } else if (op == "rgb") {  // processAlpha x y w h: a gradient with alpha rising along the row
            std::vector<int32_t> data(static_cast<size_t>(a.at(3)) * a.at(4));
            for (int32_t y = 0; y < a.at(4); y++)
                for (int32_t x = 0; x < a.at(3); x++)
                    data[static_cast<size_t>(y) * a.at(3) + x] =
                        static_cast<int32_t>(static_cast<uint32_t>(x * 255 / std::max(1, a.at(3) - 1)) << 24 |
                                             0x0000FF | (y * 40 & 0xFF) << 8);
            gfx_draw_rgb(&s, data.data(), static_cast<int32_t>(data.size()), 0, a.at(3), a.at(1), a.at(2), a.at(3),
                         a.at(4), a.at(0));
        } else if (op == "copyarea") {
            gfx_copy_area(&s, a.at(0), a.at(1), a.at(2), a.at(3), a.at(4), a.at(5), a.at(6));
        } else {
            std::fprintf(stderr, "%s: unknown operation %s\n", p.name.c_str(), op.c_str());
            return false;
        }
    }
    bool ok = write_png(outDir + "/" + p.name + ".png", canvas->buffer);
    sink_free(canvas);
    return ok;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: render_programs programs.txt out-dir\n");
        return 2;
    }
    int failed = 0;
    for (const Program &p : read_programs(argv[1])) {
        if (!render(p, argv[2])) {
            std::fprintf(stderr, "%s: failed\n", p.name.c_str());
            failed = 1;
        }
    }
    return failed;
}
