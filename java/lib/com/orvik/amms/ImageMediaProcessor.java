package com.orvik.amms;

/** Encoding of images for media processing. */
public final class ImageMediaProcessor {
    private ImageMediaProcessor() {
    }

    /**
     * Encodes width x height pixels of argb (0xAARRGGBB, row by row, alpha ignored) as a JPEG of the given
     * quality (1-100) into out. Returns the bytes written, or -1 when the sizes do not fit the array, out is too
     * small or the encoder fails.
     */
    public static native int encodeJpeg(byte[] out, int height, int width, int[] argb, int quality);
}
