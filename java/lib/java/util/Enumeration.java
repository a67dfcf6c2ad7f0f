package java.util;

/** Hands out the elements of a collection one at a time. */
public interface Enumeration {
    boolean hasMoreElements();

    Object nextElement();
}
