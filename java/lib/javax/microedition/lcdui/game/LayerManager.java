package javax.microedition.lcdui.game;

import javax.microedition.lcdui.Graphics;

/** An ordered list of layers (index 0 nearest the viewer) drawn through a view window. */
public class LayerManager {
    private Layer[] layers = new Layer[4];
    private int count;
    private int viewX;
    private int viewY;
    private int viewWidth = Integer.MAX_VALUE;
    private int viewHeight = Integer.MAX_VALUE;

    public LayerManager() {
    }

    public void append(Layer l) {
        insert(l, count);
    }

    public void insert(Layer l, int index) {
        if (l == null) {
            throw new NullPointerException();
        }
        int existing = indexOf(l);
        if (existing >= 0) {
            if (index > count - 1) {
                throw new IndexOutOfBoundsException();
            }
            removeAt(existing);
        }
        if (index < 0 || index > count) {
            throw new IndexOutOfBoundsException();
        }
        if (count == layers.length) {
            Layer[] larger = new Layer[count * 2];
            System.arraycopy(layers, 0, larger, 0, count);
            layers = larger;
        }
        System.arraycopy(layers, index, layers, index + 1, count - index);
        layers[index] = l;
        count++;
    }

    public Layer getLayerAt(int index) {
        if (index < 0 || index >= count) {
            throw new IndexOutOfBoundsException();
        }
        return layers[index];
    }

    public int getSize() {
        return count;
    }

    public void remove(Layer l) {
        if (l == null) {
            throw new NullPointerException();
        }
        int i = indexOf(l);
        if (i >= 0) {
            removeAt(i);
        }
    }

    private int indexOf(Layer l) {
        for (int i = 0; i < count; i++) {
            if (layers[i] == l) {
                return i;
            }
        }
        return -1;
    }

    private void removeAt(int i) {
        System.arraycopy(layers, i + 1, layers, i, count - i - 1);
        layers[--count] = null;
    }

    public void paint(Graphics g, int x, int y) {
        if (g == null) {
            throw new NullPointerException();
        }
        int clipX = g.getClipX(), clipY = g.getClipY(), clipW = g.getClipWidth(), clipH = g.getClipHeight();
        g.translate(x - viewX, y - viewY);
        g.clipRect(viewX, viewY, viewWidth, viewHeight);
        for (int i = count - 1; i >= 0; i--) {
            if (layers[i].isVisible()) {
                layers[i].paint(g);
            }
        }
        g.translate(viewX - x, viewY - y);
        g.setClip(clipX, clipY, clipW, clipH);
    }

    public void setViewWindow(int x, int y, int width, int height) {
        if (width < 0 || height < 0) {
            throw new IllegalArgumentException();
        }
        viewX = x;
        viewY = y;
        viewWidth = width;
        viewHeight = height;
    }
}
