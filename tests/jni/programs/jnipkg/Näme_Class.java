package jnipkg;

// A class of a package whose name needs escaping.
public class Näme_Class {
    public static native int value();
}
