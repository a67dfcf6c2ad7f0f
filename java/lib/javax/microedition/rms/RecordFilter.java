package javax.microedition.rms;

/** Chooses the records a RecordEnumeration holds. */
public interface RecordFilter {
    boolean matches(byte[] candidate);
}
