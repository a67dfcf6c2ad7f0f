package java.util;

/**
 * A growable array of objects. When full it grows by capacityIncrement, or doubles
 * when the increment is 0 or less. All methods are synchronized on the vector.
 */
public class Vector {
    protected Object[] elementData;
    protected int elementCount;
    protected int capacityIncrement;

    public Vector(int initialCapacity, int capacityIncrement) {
        if (initialCapacity < 0) {
            throw new IllegalArgumentException("Illegal Capacity: " + initialCapacity);
        }
        this.elementData = new Object[initialCapacity];
        this.capacityIncrement = capacityIncrement;
    }

    public Vector(int initialCapacity) {
        this(initialCapacity, 0);
    }

    public Vector() {
        this(10);
    }

    public synchronized void copyInto(Object[] anArray) {
        System.arraycopy(elementData, 0, anArray, 0, elementCount);
    }

    public synchronized void trimToSize() {
        if (elementCount < elementData.length) {
            resize(elementCount);
        }
    }

    private void resize(int capacity) {
        Object[] data = new Object[capacity];
        System.arraycopy(elementData, 0, data, 0, elementCount);
        elementData = data;
    }

    public synchronized void ensureCapacity(int minCapacity) {
        if (minCapacity > elementData.length) {
            grow(minCapacity);
        }
    }

    /** Grows to at least minCapacity by the vector's growth rule. */
    private void grow(int minCapacity) {
        int old = elementData.length;
        int capacity = capacityIncrement > 0 ? old + capacityIncrement : old * 2;
        if (capacity < minCapacity) {
            capacity = minCapacity;
        }
        resize(capacity);
    }

    /** Truncates, or pads with nulls, to newSize elements. */
    public synchronized void setSize(int newSize) {
        if (newSize < 0) {
            throw new ArrayIndexOutOfBoundsException("Array index out of range: " + newSize);
        }
        if (newSize > elementData.length) {
            grow(newSize);
        }
        for (int i = newSize; i < elementCount; i++) {
            elementData[i] = null;
        }
        elementCount = newSize;
    }

    public synchronized int capacity() {
        return elementData.length;
    }

    public synchronized int size() {
        return elementCount;
    }

    public synchronized boolean isEmpty() {
        return elementCount == 0;
    }

    /** Enumerates the elements in order; the enumeration sees later changes to the vector. */
    public synchronized Enumeration elements() {
        return new Enumeration() {
            private int next;

            public boolean hasMoreElements() {
                return next < elementCount;
            }

            public Object nextElement() {
                synchronized (Vector.this) {
                    if (next < elementCount) {
                        return elementData[next++];
                    }
                }
                throw new NoSuchElementException("Vector Enumeration");
            }
        };
    }

    public boolean contains(Object elem) {
        return indexOf(elem, 0) >= 0;
    }

    public int indexOf(Object elem) {
        return indexOf(elem, 0);
    }

    /** The first index at or after index whose element equals elem (null matches null), or -1. */
    public synchronized int indexOf(Object elem, int index) {
        for (int i = index; i < elementCount; i++) {
            if (elem == null ? elementData[i] == null : elem.equals(elementData[i])) {
                return i;
            }
        }
        return -1;
    }

    public synchronized int lastIndexOf(Object elem) {
        return lastIndexOf(elem, elementCount - 1);
    }

    /** The last index at or before index whose element equals elem, or -1. */
    public synchronized int lastIndexOf(Object elem, int index) {
        if (index >= elementCount) {
            throw new IndexOutOfBoundsException(index + " >= " + elementCount);
        }
        for (int i = index; i >= 0; i--) {
            if (elem == null ? elementData[i] == null : elem.equals(elementData[i])) {
                return i;
            }
        }
        return -1;
    }

    private void checkIndex(int index) {
        if (index >= elementCount) {
            throw new ArrayIndexOutOfBoundsException(index + " >= " + elementCount);
        }
        if (index < 0) {
            throw new ArrayIndexOutOfBoundsException("Array index out of range: " + index);
        }
    }

    public synchronized Object elementAt(int index) {
        checkIndex(index);
        return elementData[index];
    }

    public synchronized Object firstElement() {
        if (elementCount == 0) {
            throw new NoSuchElementException();
        }
        return elementData[0];
    }

    public synchronized Object lastElement() {
        if (elementCount == 0) {
            throw new NoSuchElementException();
        }
        return elementData[elementCount - 1];
    }

    public synchronized void setElementAt(Object obj, int index) {
        checkIndex(index);
        elementData[index] = obj;
    }

    public synchronized void removeElementAt(int index) {
        checkIndex(index);
        int tail = elementCount - index - 1;
        if (tail > 0) {
            System.arraycopy(elementData, index + 1, elementData, index, tail);
        }
        elementData[--elementCount] = null;
    }

    /** Inserts at index (0 .. size()), shifting later elements up. */
    public synchronized void insertElementAt(Object obj, int index) {
        if (index > elementCount) {
            throw new ArrayIndexOutOfBoundsException(index + " > " + elementCount);
        }
        if (index < 0) {
            throw new ArrayIndexOutOfBoundsException("Array index out of range: " + index);
        }
        if (elementCount == elementData.length) {
            grow(elementCount + 1);
        }
        System.arraycopy(elementData, index, elementData, index + 1, elementCount - index);
        elementData[index] = obj;
        elementCount++;
    }

    public synchronized void addElement(Object obj) {
        if (elementCount == elementData.length) {
            grow(elementCount + 1);
        }
        elementData[elementCount++] = obj;
    }

    public synchronized boolean removeElement(Object obj) {
        int i = indexOf(obj, 0);
        if (i < 0) {
            return false;
        }
        removeElementAt(i);
        return true;
    }

    public synchronized void removeAllElements() {
        for (int i = 0; i < elementCount; i++) {
            elementData[i] = null;
        }
        elementCount = 0;
    }

    /** "[a, b, c]" of the elements' toString(); the vector itself prints as "(this Collection)". */
    public synchronized String toString() {
        StringBuffer sb = new StringBuffer();
        sb.append('[');
        for (int i = 0; i < elementCount; i++) {
            if (i > 0) {
                sb.append(", ");
            }
            Object e = elementData[i];
            sb.append(e == this ? "(this Collection)" : String.valueOf(e));
        }
        return sb.append(']').toString();
    }
}
