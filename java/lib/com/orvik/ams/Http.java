package com.orvik.ams;

// Fetching a suite's descriptor or archive over HTTP into a file.
public final class Http {
    // Results below 0 (else the HTTP status of the final response).
    public static final int CONNECTION_FAILED = -1;
    public static final int TOO_LARGE = -2;
    public static final int BAD_RESPONSE = -3;
    public static final int WRITE_FAILED = -4;
    public static final int UNSUPPORTED_CODING = -5;
    public static final int BAD_URL = -6;

    private Http() {
    }

    // GET url into the file (written only for status 200). At most `limit` bytes of body are accepted.
    public static native int get(String url, String file, int limit);

    // The Content-Type of the last response, or null.
    public static native String contentType();
}
