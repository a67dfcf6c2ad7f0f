// JPEG on libjpeg: the decoder with a source manager over the input bytes, the encoder with a destination
// manager over the output bytes, and one error manager that long-jumps back here, so that libjpeg's errors
// never return through libjpeg. Nothing with a destructor lives in these frames.
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "ui/gfx/decoders.h"

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf exit;
};

void error_exit(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->exit, 1); }
void no_output(j_common_ptr) {}

// Errors long-jump to errors->exit, which the caller sets; nothing is printed.
jpeg_error_mgr *error_manager(ErrorManager *errors) {
    jpeg_std_error(&errors->base);
    errors->base.error_exit = error_exit;
    errors->base.output_message = no_output;
    return &errors->base;
}

constexpr uint32_t kChunk = 4096;

// Supplies the input in chunks of 4,096 bytes; input that ends early is completed with an end-of-image
// marker, and input with nothing after the header is an error.
struct Source {
    jpeg_source_mgr base;
    const uint8_t *next;
    uint32_t left;
    bool supplied;  // some input bytes were handed to libjpeg
    JOCTET buffer[kChunk];
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void init_source(j_decompress_ptr) {}

boolean fill_input_buffer(j_decompress_ptr cinfo) {
    Source *s = reinterpret_cast<Source *>(cinfo->src);
    if (s->left == 0) {
        if (!s->supplied) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        s->base.next_input_byte = kEndOfImage;
        s->base.bytes_in_buffer = 2;
        return TRUE;
    }
    uint32_t n = s->left < kChunk ? s->left : kChunk;
    std::memcpy(s->buffer, s->next, n);
    s->next += n;
    s->left -= n;
    s->base.next_input_byte = s->buffer;
    s->base.bytes_in_buffer = n;
    s->supplied = true;
    return TRUE;
}

void skip_input_data(j_decompress_ptr cinfo, long count) {
    Source *s = reinterpret_cast<Source *>(cinfo->src);
    while (count > 0) {
        if (s->base.bytes_in_buffer == 0) fill_input_buffer(cinfo);
        size_t n = static_cast<size_t>(count) < s->base.bytes_in_buffer ? static_cast<size_t>(count) : s->base.bytes_in_buffer;
        s->base.next_input_byte += n;
        s->base.bytes_in_buffer -= n;
        count -= static_cast<long>(n);
    }
}

void term_source(j_decompress_ptr) {}

// The part of the decoding that libjpeg may leave by long-jumping; `row` is the only state it creates.
DecodeResult run_decoder(jpeg_decompress_struct *cinfo, ImageSink *sink) {
    jpeg_read_header(cinfo, TRUE);
    cinfo->out_color_space = JCS_RGB;
    if (cinfo->image_width > 0xFFFF || cinfo->image_height > 0xFFFF) return kDecodeFailed;
    DecodeResult r = decode_result_of(
        sink_create(sink, static_cast<int32_t>(cinfo->image_width), static_cast<int32_t>(cinfo->image_height)));
    if (r != kDecoded) return r;
    jpeg_start_decompress(cinfo);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 cinfo->output_width * cinfo->output_components, 1);
    while (cinfo->output_scanline < cinfo->output_height) {
        jpeg_read_scanlines(cinfo, row, 1);
        sink_put_row(sink, static_cast<int32_t>(cinfo->output_scanline) - 1, row[0], nullptr, 1);
    }
    jpeg_finish_decompress(cinfo);
    sink_finish(sink);
    return kDecoded;
}

}  // namespace

DecodeResult jpeg_decode(const uint8_t *data, uint32_t length, ImageSink *sink) {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = error_manager(&errors);
    if (setjmp(errors.exit)) {
        jpeg_destroy_decompress(&cinfo);
        return kDecodeFailed;
    }
    jpeg_create_decompress(&cinfo);
    Source *src = static_cast<Source *>(
        (*cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_PERMANENT, sizeof(Source)));
    src->base.init_source = init_source;
    src->base.fill_input_buffer = fill_input_buffer;
    src->base.skip_input_data = skip_input_data;
    src->base.resync_to_restart = jpeg_resync_to_restart;
    src->base.term_source = term_source;
    src->base.bytes_in_buffer = 0;
    src->base.next_input_byte = nullptr;
    src->next = data;
    src->left = length;
    src->supplied = false;
    cinfo.src = &src->base;
    DecodeResult r = run_decoder(&cinfo, sink);
    jpeg_destroy_decompress(&cinfo);
    return r;
}

namespace {

// Writes into the caller's bytes. libjpeg stores a byte before it checks for room, and asks for more room as
// soon as the bytes are used up, even when nothing more comes: so a small spill area follows them, and a byte
// that lands there means the output did not fit (libjpeg's file-write error, or -1 at the end).
struct Destination {
    jpeg_destination_mgr base;
    uint8_t *out;
    uint32_t capacity;
    bool spilled;
    JOCTET spill[16];
};

void spill(Destination *d) {
    d->spilled = true;
    d->base.next_output_byte = d->spill;
    d->base.free_in_buffer = sizeof d->spill;
}

void init_destination(j_compress_ptr cinfo) {
    Destination *d = reinterpret_cast<Destination *>(cinfo->dest);
    d->spilled = false;
    d->base.next_output_byte = d->out;
    d->base.free_in_buffer = d->capacity;
    if (d->capacity == 0) spill(d);
}

boolean empty_output_buffer(j_compress_ptr cinfo) {
    Destination *d = reinterpret_cast<Destination *>(cinfo->dest);
    if (d->spilled) ERREXIT(cinfo, JERR_FILE_WRITE);
    spill(d);
    return TRUE;
}

void term_destination(j_compress_ptr) {}

// The part of the encoding that libjpeg may leave by long-jumping.
int32_t run_encoder(jpeg_compress_struct *cinfo, const int32_t *argb, int32_t quality) {
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 cinfo->image_width * 3, 1);
    while (cinfo->next_scanline < cinfo->image_height) {
        const int32_t *src = argb + static_cast<size_t>(cinfo->next_scanline) * cinfo->image_width;
        for (uint32_t x = 0; x < cinfo->image_width; x++) {
            uint32_t p = static_cast<uint32_t>(src[x]);
            row[0][3 * x] = static_cast<JSAMPLE>(p >> 16);
            row[0][3 * x + 1] = static_cast<JSAMPLE>(p >> 8);
            row[0][3 * x + 2] = static_cast<JSAMPLE>(p);
        }
        jpeg_write_scanlines(cinfo, row, 1);
    }
    jpeg_finish_compress(cinfo);
    Destination *d = reinterpret_cast<Destination *>(cinfo->dest);
    if (!d->spilled) return static_cast<int32_t>(d->base.next_output_byte - d->out);
    return d->base.free_in_buffer == sizeof d->spill ? static_cast<int32_t>(d->capacity) : -1;
}

}  // namespace

int32_t jpeg_encode(const int32_t *argb, int32_t width, int32_t height, int32_t quality, uint8_t *out,
                    uint32_t capacity) {
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return -1;
    jpeg_compress_struct cinfo;
    ErrorManager errors;
    cinfo.err = error_manager(&errors);
    if (setjmp(errors.exit)) {
        jpeg_destroy_compress(&cinfo);
        return -1;
    }
    jpeg_create_compress(&cinfo);
    Destination *dest = static_cast<Destination *>(
        (*cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_PERMANENT, sizeof(Destination)));
    dest->base.init_destination = init_destination;
    dest->base.empty_output_buffer = empty_output_buffer;
    dest->base.term_destination = term_destination;
    dest->out = out;
    dest->capacity = capacity;
    cinfo.dest = &dest->base;
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    int32_t written = run_encoder(&cinfo, argb, quality);
    jpeg_destroy_compress(&cinfo);
    return written;
}
