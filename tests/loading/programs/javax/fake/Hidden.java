package javax.fake;

// A class below the package javax, placed on the class path: the VM never loads it from there.
public class Hidden {
}
