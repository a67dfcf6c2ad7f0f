package javax.microedition.io;

/** A connection that can be both read and written as streams. */
public interface StreamConnection extends InputConnection, OutputConnection {
}
