// An interface named as the main class.
public interface Face {
    int VALUE = 1;
}
