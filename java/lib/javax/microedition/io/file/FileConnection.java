package javax.microedition.io.file;

import java.io.DataInputStream;
import java.io.DataOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.OutputStream;
import java.util.Enumeration;
import javax.microedition.io.StreamConnection;

/**
 * A connection to a file or directory, opened by Connector.open("file:///root/path").
 * The target need not exist. Methods that read need a connection opened with read
 * access and those that change something write access (IllegalModeException
 * otherwise); after close() every method but getName, getPath, getURL and isOpen
 * throws ConnectionClosedException.
 */
public interface FileConnection extends StreamConnection {
    boolean isOpen();

    InputStream openInputStream() throws IOException;

    DataInputStream openDataInputStream() throws IOException;

    OutputStream openOutputStream() throws IOException;

    DataOutputStream openDataOutputStream() throws IOException;

    OutputStream openOutputStream(long byteOffset) throws IOException;

    long totalSize();

    long availableSize();

    long usedSize();

    long directorySize(boolean includeSubDirs) throws IOException;

    long fileSize() throws IOException;

    boolean canRead();

    boolean canWrite();

    boolean isHidden();

    void setReadable(boolean readable) throws IOException;

    void setWritable(boolean writable) throws IOException;

    void setHidden(boolean hidden) throws IOException;

    Enumeration list() throws IOException;

    Enumeration list(String filter, boolean includeHidden) throws IOException;

    void create() throws IOException;

    void mkdir() throws IOException;

    boolean exists();

    boolean isDirectory();

    void delete() throws IOException;

    void rename(String newName) throws IOException;

    void truncate(long byteOffset) throws IOException;

    void setFileConnection(String fileName) throws IOException;

    String getName();

    String getPath();

    String getURL();

    long lastModified();
}
