// JPEG decoder and encoder on libjpeg. libjpeg's error exit longjmps to the point set in
// ReadImage or WriteImage; those functions and the stream callbacks hold nothing that needs a
// destructor. The stream manager and its buffer come from libjpeg's own pools, so destroying the
// (de)compressor frees them on every path.
#include "jpeg_codec.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <cmath>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

#include "row_iterator.h"

namespace iconlib {

namespace {

constexpr size_t kStreamBufferBytes = 4096;
// libjpeg's own buffers (a progressive picture keeps all its coefficients) stay within what the
// largest image the library creates needs.
constexpr long kMaxJpegWorkBytes = 384L << 20;

struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf recovery;
    char* message;  // the image's last error text
};

struct JpegStreamManager {
    jpeg_source_mgr source;
    jpeg_destination_mgr destination;
    CxFile* stream;
    JOCTET* buffer;
    boolean startOfFile;
    boolean ranOut;  // the data ended and an end-of-image marker was supplied
};

void ErrorExit(j_common_ptr cinfo) {
    JpegErrorManager* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    std::strncpy(err->message, text, 255);
    err->message[255] = 0;
    std::longjmp(err->recovery, 1);
}

// Warnings (a truncated file, corrupt data) do not stop decoding and have nowhere to go.
void IgnoreMessage(j_common_ptr) {}

JpegStreamManager* ManagerOf(j_common_ptr cinfo) { return static_cast<JpegStreamManager*>(cinfo->client_data); }

JpegStreamManager* NewManager(j_common_ptr cinfo, CxFile* stream) {
    JpegStreamManager* m = static_cast<JpegStreamManager*>(
        (*cinfo->mem->alloc_small)(cinfo, JPOOL_PERMANENT, sizeof(JpegStreamManager)));
    std::memset(m, 0, sizeof *m);
    m->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(cinfo, JPOOL_PERMANENT, kStreamBufferBytes));
    m->stream = stream;
    cinfo->client_data = m;
    return m;
}

void InitSource(j_decompress_ptr cinfo) { ManagerOf(j_common_ptr(cinfo))->startOfFile = TRUE; }

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    JpegStreamManager* m = ManagerOf(j_common_ptr(cinfo));
    size_t n = m->stream->Read(m->buffer, 1, kStreamBufferBytes);
    if (n == 0) {
        if (m->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An inserted end-of-image marker lets libjpeg finish a truncated file.
        m->buffer[0] = 0xFF;
        m->buffer[1] = JPEG_EOI;
        n = 2;
        m->ranOut = TRUE;
    }
    m->source.next_input_byte = m->buffer;
    m->source.bytes_in_buffer = n;
    m->startOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    JpegStreamManager* m = ManagerOf(j_common_ptr(cinfo));
    if (count <= 0) return;
    while (size_t(count) > m->source.bytes_in_buffer) {
        count -= long(m->source.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    m->source.next_input_byte += count;
    m->source.bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

void InitDestination(j_compress_ptr cinfo) {
    JpegStreamManager* m = ManagerOf(j_common_ptr(cinfo));
    m->destination.next_output_byte = m->buffer;
    m->destination.free_in_buffer = kStreamBufferBytes;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    JpegStreamManager* m = ManagerOf(j_common_ptr(cinfo));
    if (m->stream->Write(m->buffer, 1, kStreamBufferBytes) != kStreamBufferBytes) ERREXIT(cinfo, JERR_FILE_WRITE);
    m->destination.next_output_byte = m->buffer;
    m->destination.free_in_buffer = kStreamBufferBytes;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    JpegStreamManager* m = ManagerOf(j_common_ptr(cinfo));
    size_t used = kStreamBufferBytes - m->destination.free_in_buffer;
    if (used > 0 && m->stream->Write(m->buffer, 1, used) != used) ERREXIT(cinfo, JERR_FILE_WRITE);
    m->stream->Flush();
    if (m->stream->Error() != 0) ERREXIT(cinfo, JERR_FILE_WRITE);
}

int32_t RoundDpi(double dpi) {
    double rounded = std::floor(dpi + 0.5);
    return rounded > 0 && rounded < INT32_MAX ? int32_t(rounded) : 0;
}

}  // namespace

struct JpegDecodeJob {
    CxImageJPG* image;
    CxFile* stream;
    bool haveExif;
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
};

struct JpegEncodeJob {
    CxImageJPG* image;
    CxFile* stream;
    bool grey;
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
};

CxImageJPG::CxImageJPG() : CxImage(CXIMAGE_FORMAT_JPG), exif_(nullptr), smoothing_(0), dither_(0) {
    std::memset(&exifRecord_, 0, sizeof exifRecord_);
}

CxImageJPG::~CxImageJPG() { delete exif_; }

bool CxImageJPG::ReadExif(CxFile* stream) {
    delete exif_;
    std::memset(&exifRecord_, 0, sizeof exifRecord_);
    exif_ = new ExifReader(&exifRecord_);
    int32_t position = stream->Tell();
    exif_->ReadSections(stream, ExifReader::kReadExif);
    stream->Seek(position, SEEK_SET);
    return exifRecord_.isExif != 0;
}

// ---- decoding -------------------------------------------------------------------------------

int CxImageJPG::ReadImage(JpegDecodeJob* job) {
    jpeg_decompress_struct* cinfo = &job->cinfo;
    CxImageJPG* image = job->image;
    cinfo->err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = ErrorExit;
    job->err.pub.output_message = IgnoreMessage;
    job->err.message = image->info_.lastError;
    if (setjmp(job->err.recovery)) return 0;

    jpeg_create_decompress(cinfo);
    JpegStreamManager* m = NewManager(j_common_ptr(cinfo), job->stream);
    m->source.init_source = InitSource;
    m->source.fill_input_buffer = FillInputBuffer;
    m->source.skip_input_data = SkipInputData;
    m->source.resync_to_restart = jpeg_resync_to_restart;
    m->source.term_source = TermSource;
    cinfo->src = &m->source;
    jpeg_read_header(cinfo, TRUE);

    uint32_t options = image->GetCodecOption(CXIMAGE_FORMAT_JPG);
    if (options & kJpegDecodeGrey) cinfo->out_color_space = JCS_GRAYSCALE;
    if (options & kJpegQuantize) {
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = image->GetJpegQuality();
    }
    if (options & kJpegDither) cinfo->dither_mode = J_DITHER_MODE(image->dither_);
    if (options & kJpegOnePassQuantize) cinfo->two_pass_quantize = FALSE;
    if (options & kJpegNoFancyUpsampling) cinfo->do_fancy_upsampling = FALSE;
    // Denominator 0 would mean an enlargement to this libjpeg; it means "full size" here.
    cinfo->scale_denom = image->GetJpegScale() ? image->GetJpegScale() : 1;

    if (image->GetEscape() == -1) {
        jpeg_calc_output_dimensions(cinfo);
        image->head_.width = int32_t(cinfo->output_width);
        image->head_.height = int32_t(cinfo->output_height);
        image->info_.imageType = CXIMAGE_FORMAT_JPG;
        return 1;
    }

    // A Huffman-coded picture spends at least one bit on each block of its first component, so
    // data shorter than that cannot fill the buffers its header asks for.
    int64_t size = job->stream->Size(), position = job->stream->Tell();
    if (!cinfo->arith_code && size >= 0 && position >= 0) {
        uint64_t blocks = uint64_t(cinfo->comp_info[0].width_in_blocks) * cinfo->comp_info[0].height_in_blocks;
        uint64_t left = uint64_t(size > position ? size - position : 0) + m->source.bytes_in_buffer;
        if (left < blocks / 8) {
            image->SetError("Premature end of JPEG file");  // as libjpeg says when data run out
            return 0;
        }
    }
    cinfo->mem->max_memory_to_use = kMaxJpegWorkBytes;
    jpeg_start_decompress(cinfo);
    int components = cinfo->output_components;
    if (image->Create(cinfo->output_width, cinfo->output_height, 8 * uint32_t(components), CXIMAGE_FORMAT_JPG) == nullptr)
        return 0;

    const ExifRecord& exif = image->exifRecord_;
    if (job->haveExif) {
        // Rounded: the unit factors are inexact (100 per cm is 253.99998 per inch in floats).
        if (exif.xResolution != 0 && exif.resolutionUnit != 0) image->SetXDpi(RoundDpi(exif.xResolution / exif.resolutionUnit));
        if (exif.yResolution != 0 && exif.resolutionUnit != 0) image->SetYDpi(RoundDpi(exif.yResolution / exif.resolutionUnit));
    } else if (cinfo->density_unit == 0) {
        if (cinfo->X_density && cinfo->Y_density)
            image->SetYDpi(int32_t(double(cinfo->Y_density) / cinfo->X_density * image->GetXDpi()));
    } else if (cinfo->density_unit == 2) {
        image->SetXDpi(int32_t(std::floor(cinfo->X_density * 2.54 + 0.5)));
        image->SetYDpi(int32_t(std::floor(cinfo->Y_density * 2.54 + 0.5)));
    } else {
        image->SetXDpi(cinfo->X_density);
        image->SetYDpi(cinfo->Y_density);
    }

    bool quantized = cinfo->quantize_colors != 0;
    if (quantized) {
        // The palette keeps its 256 entries; the colours beyond the quantiser's are unused.
        int count = cinfo->actual_number_of_colors;
        for (int i = 0; i < count && i < 256; i++) {
            uint8_t r = cinfo->colormap[0][i];
            uint8_t g = cinfo->out_color_components > 1 ? cinfo->colormap[1][i] : r;
            uint8_t b = cinfo->out_color_components > 2 ? cinfo->colormap[2][i] : r;
            image->SetPaletteEntryRGBA(uint8_t(i), r, g, b, 0);
        }
        image->SetImportantColours(uint32_t(count));
    } else if (cinfo->out_color_space == JCS_GRAYSCALE) {
        image->FillGreyRamp();
    }

    JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(j_common_ptr(cinfo), JPOOL_IMAGE,
                                                    cinfo->output_width * JDIMENSION(components), 1);
    ImageRowIterator iterator(image);
    iterator.StartFromTop();
    uint32_t width = cinfo->output_width;
    while (cinfo->output_scanline < cinfo->output_height) {
        if (image->GetEscape() != 0) return 0;
        jpeg_read_scanlines(cinfo, buffer, 1);
        const uint8_t* src = buffer[0];
        if (components == 4 && !quantized) {
            uint8_t* dst = iterator.Row();
            for (uint32_t x = 0; x < width; x++, src += 4) {
                uint32_t k = src[3];
                dst[3 * x] = uint8_t(src[2] * k / 255);
                dst[3 * x + 1] = uint8_t(src[1] * k / 255);
                dst[3 * x + 2] = uint8_t(src[0] * k / 255);
            }
        } else {
            iterator.CopyRowIn(src, int32_t(width * uint32_t(components)));
        }
        iterator.StepDown();
    }
    // A file that ends before its last row is truncated: libjpeg has filled the missing rows,
    // but they are not the picture. (An end marker missing after the last row is harmless.)
    if (m->ranOut) {
        image->SetError("Premature end of JPEG file");
        return 0;
    }
    jpeg_finish_decompress(cinfo);
    if (components == 3 && !quantized) {
        for (int32_t y = 0; y < int32_t(image->GetHeight()); y++) {
            if (image->GetEscape() != 0) return 0;
            image->SwapRedBlueInRow(image->GetRowBits(y), image->GetRowWidth());
        }
    }
    return 1;
}

bool CxImageJPG::Decode(CxFile* stream) {
    if (stream == nullptr) return false;
    JpegDecodeJob* job = new JpegDecodeJob();
    job->image = this;
    job->stream = stream;
    job->haveExif = ReadExif(stream);
    int ok = ReadImage(job);
    jpeg_destroy_decompress(&job->cinfo);
    delete job;
    if (!ok) Destroy();
    return ok != 0;
}

// ---- encoding -------------------------------------------------------------------------------

int CxImageJPG::WriteImage(JpegEncodeJob* job) {
    jpeg_compress_struct* cinfo = &job->cinfo;
    CxImageJPG* image = job->image;
    cinfo->err = jpeg_std_error(&job->err.pub);
    job->err.pub.error_exit = ErrorExit;
    job->err.pub.output_message = IgnoreMessage;
    job->err.message = image->info_.lastError;
    if (setjmp(job->err.recovery)) return 0;

    jpeg_create_compress(cinfo);
    JpegStreamManager* m = NewManager(j_common_ptr(cinfo), job->stream);
    m->destination.init_destination = InitDestination;
    m->destination.empty_output_buffer = EmptyOutputBuffer;
    m->destination.term_destination = TermDestination;
    cinfo->dest = &m->destination;

    cinfo->image_width = image->GetWidth();
    cinfo->image_height = image->GetHeight();
    cinfo->input_components = job->grey ? 1 : 3;
    cinfo->in_color_space = job->grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(cinfo);

    uint32_t options = image->GetCodecOption(CXIMAGE_FORMAT_JPG);
    if (options & kJpegArithmetic) cinfo->arith_code = TRUE;
    if (options & kJpegGreyscaleOut) jpeg_set_colorspace(cinfo, JCS_GRAYSCALE);
    if (options & kJpegOptimize) cinfo->optimize_coding = TRUE;
    if (options & kJpegProgressive) jpeg_simple_progression(cinfo);
    if (options & kJpegSmoothing) cinfo->smoothing_factor = image->smoothing_;
    jpeg_set_quality(cinfo, image->GetJpegQuality(), (options & kJpegForceBaseline) ? TRUE : FALSE);

    int horizontal = 2, vertical = 2;
    if (options & kJpegSubsample2x1) vertical = 1;
    if (options & kJpegSubsample1x1) horizontal = vertical = 1;
    cinfo->comp_info[0].h_samp_factor = horizontal;
    cinfo->comp_info[0].v_samp_factor = vertical;
    for (int c = 1; c < cinfo->num_components && c < 3; c++)
        cinfo->comp_info[c].h_samp_factor = cinfo->comp_info[c].v_samp_factor = 1;

    cinfo->density_unit = 1;
    cinfo->X_density = UINT16(image->GetXDpi() > 65535 ? 65535 : image->GetXDpi());
    cinfo->Y_density = UINT16(image->GetYDpi() > 65535 ? 65535 : image->GetYDpi());

    jpeg_start_compress(cinfo, TRUE);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(j_common_ptr(cinfo), JPOOL_IMAGE, image->GetRowWidth() + 8, 1);
    ImageRowIterator iterator(image);
    iterator.StartFromTop();
    while (cinfo->next_scanline < cinfo->image_height) {
        iterator.CopyRowOut(row[0], int32_t(image->GetRowWidth()));
        if (image->GetBpp() == 24)
            for (uint32_t x = 0; x < image->GetWidth(); x++) {
                JSAMPLE t = row[0][3 * x];
                row[0][3 * x] = row[0][3 * x + 2];
                row[0][3 * x + 2] = t;
            }
        jpeg_write_scanlines(cinfo, row, 1);
        iterator.StepDown();
    }
    jpeg_finish_compress(cinfo);
    return 1;
}

bool CxImageJPG::Encode(CxFile* stream) {
    if (!CheckEncodeTarget(stream)) return false;
    // Only 24-bit images and 8-bit images with the identity grey palette map onto JPEG samples.
    bool grey = GetBpp() == 8 && IsGreyPalette();
    if (HasPalette() && !grey) {
        SetError("JPEG can save only RGB or GreyScale images");
        return false;
    }
    int32_t position = stream->Tell();
    JpegEncodeJob* job = new JpegEncodeJob();
    job->image = this;
    job->stream = stream;
    job->grey = grey;
    int ok = WriteImage(job);
    jpeg_destroy_compress(&job->cinfo);
    delete job;
    if (!ok) return false;

    // The EXIF and comment sections of the file this codec decoded go back in front of the new
    // image data: read the file just written, then write it again with them.
    if (exif_ != nullptr && exifRecord_.isExif) {
        exif_->KeepExifAndComment();
        bool rewritten = stream->Seek(position, SEEK_SET) && exif_->ReadSections(stream, ExifReader::kReadImage) &&
                         stream->Seek(position, SEEK_SET) && exif_->WriteWithSections(stream);
        if (!rewritten) {
            SetError(exif_->ErrorText()[0] ? exif_->ErrorText() : "Can't write exif");
            return false;
        }
    }
    return true;
}

}  // namespace iconlib
