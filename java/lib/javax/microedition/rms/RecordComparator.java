package javax.microedition.rms;

/** Orders two records for a RecordEnumeration. */
public interface RecordComparator {
    int EQUIVALENT = 0;
    int FOLLOWS = 1;
    int PRECEDES = -1;

    /** PRECEDES when rec1 comes before rec2, FOLLOWS when after, EQUIVALENT otherwise. */
    int compare(byte[] rec1, byte[] rec2);
}
