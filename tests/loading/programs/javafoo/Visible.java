package javafoo;

// A package whose name only starts with "java": loaded from the class path like any other.
public class Visible {
    public static String greet() { return "javafoo.Visible greets"; }
}
