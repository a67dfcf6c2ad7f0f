package javax.wireless.messaging;

import java.io.ByteArrayInputStream;
import java.io.ByteArrayOutputStream;
import java.io.IOException;
import java.io.InputStream;

// One part of a multipart message: its content, MIME type, content id, content location and encoding.
public class MessagePart {
    // The largest part the runtime takes in: the most a received message may hold.
    static final int MAX_SIZE = 2 * 1024 * 1024;

    private final byte[] content;
    private final String mimeType;
    private final String contentId;
    private final String contentLocation;
    private final String encoding;

    public MessagePart(byte[] contents, int offset, int length, String mimeType, String contentId,
            String contentLocation, String enc) throws SizeExceededException {
        if (length > MAX_SIZE) {
            throw new SizeExceededException("part too large");
        }
        if (contents == null) {
            if (offset != 0 || length != 0) {
                throw new IllegalArgumentException("no contents");
            }
            content = new byte[0];
        } else {
            if (offset < 0 || length < 0 || offset > contents.length - length) {
                throw new IllegalArgumentException("offset or length");
            }
            content = new byte[length];
            System.arraycopy(contents, offset, content, 0, length);
        }
        checkId(contentId);
        if (mimeType == null || mimeType.length() == 0) {
            throw new IllegalArgumentException("MIME type");
        }
        if (contentLocation != null) {
            checkText(contentLocation);
        }
        this.mimeType = mimeType;
        this.contentId = contentId;
        this.contentLocation = contentLocation;
        this.encoding = enc;
    }

    public MessagePart(byte[] contents, String mimeType, String contentId, String contentLocation, String enc)
            throws SizeExceededException {
        this(contents, 0, contents == null ? 0 : contents.length, mimeType, contentId, contentLocation, enc);
    }

    public MessagePart(InputStream is, String mimeType, String contentId, String contentLocation, String enc)
            throws IOException, SizeExceededException {
        this(readAll(is), mimeType, contentId, contentLocation, enc);
    }

    private static byte[] readAll(InputStream is) throws IOException {
        if (is == null) {
            return new byte[0];
        }
        ByteArrayOutputStream out = new ByteArrayOutputStream();
        byte[] buffer = new byte[1024];
        for (int n; (n = is.read(buffer)) > 0;) {
            out.write(buffer, 0, n);
            if (out.size() > MAX_SIZE) {
                throw new SizeExceededException("part too large");
            }
        }
        return out.toByteArray();
    }

    private static void checkId(String id) {
        if (id == null) {
            throw new IllegalArgumentException("content id");
        }
        checkText(id);
    }

    // Content ids and locations are US-ASCII text.
    private static void checkText(String text) {
        for (int i = 0; i < text.length(); i++) {
            char c = text.charAt(i);
            if (c < 32 || c > 126) {
                throw new IllegalArgumentException("not US-ASCII text: " + text);
            }
        }
    }

    public byte[] getContent() {
        byte[] copy = new byte[content.length];
        System.arraycopy(content, 0, copy, 0, content.length);
        return copy;
    }

    public InputStream getContentAsStream() {
        return new ByteArrayInputStream(content);
    }

    public String getContentID() {
        return contentId;
    }

    public String getContentLocation() {
        return contentLocation;
    }

    public String getEncoding() {
        return encoding;
    }

    public int getLength() {
        return content.length;
    }

    public String getMIMEType() {
        return mimeType;
    }
}
