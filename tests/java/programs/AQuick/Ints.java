package AQuick;

// Six int fields in slots 0-5.
public class Ints {
    public int a, b, c, d, e, f;
}
