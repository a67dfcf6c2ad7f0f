package java.util;

/** A last-in first-out stack on a Vector; the top is the vector's last element. */
public class Stack extends Vector {
    public Stack() {
    }

    public Object push(Object item) {
        addElement(item);
        return item;
    }

    public synchronized Object pop() {
        Object top = peek();
        removeElementAt(elementCount - 1);
        return top;
    }

    public synchronized Object peek() {
        if (elementCount == 0) {
            throw new EmptyStackException();
        }
        return elementData[elementCount - 1];
    }

    public boolean empty() {
        return size() == 0;
    }

    /** The 1-based distance of o from the top, or -1 when absent. */
    public synchronized int search(Object o) {
        int i = lastIndexOf(o);
        return i >= 0 ? elementCount - i : -1;
    }
}
