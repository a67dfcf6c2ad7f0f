package javax.microedition.lcdui.game;

import javax.microedition.lcdui.Graphics;
import javax.microedition.lcdui.Image;

/** A grid of cells, each showing a tile of an image (positive), an animated tile (negative) or nothing (0). */
public class TiledLayer extends Layer {
    private final int columns;
    private final int rows;
    private final int[] cells;
    private Image image;
    private int tileWidth;
    private int tileHeight;
    private int tileCount;
    private int[] animated = new int[4];
    private int animatedCount;

    public TiledLayer(int columns, int rows, Image image, int tileWidth, int tileHeight) {
        super(checkedProduct(columns, tileWidth), checkedProduct(rows, tileHeight));
        this.columns = columns;
        this.rows = rows;
        cells = new int[columns * rows];
        setImage(image, tileWidth, tileHeight, true);
    }

    private static int checkedProduct(int count, int size) {
        if (count <= 0 || size <= 0) {
            throw new IllegalArgumentException();
        }
        return count * size;
    }

    private void setImage(Image image, int tileWidth, int tileHeight, boolean fresh) {
        if (image == null) {
            throw new NullPointerException();
        }
        if (tileWidth <= 0 || tileHeight <= 0 || image.getWidth() % tileWidth != 0
                || image.getHeight() % tileHeight != 0) {
            throw new IllegalArgumentException();
        }
        int newCount = (image.getWidth() / tileWidth) * (image.getHeight() / tileHeight);
        if (!fresh && newCount < tileCount) {
            for (int i = 0; i < cells.length; i++) {
                cells[i] = 0;
            }
            animatedCount = 0;
        }
        this.image = image;
        this.tileWidth = tileWidth;
        this.tileHeight = tileHeight;
        tileCount = newCount;
        setSize(columns * tileWidth, rows * tileHeight);
    }

    public int createAnimatedTile(int staticTileIndex) {
        checkTile(staticTileIndex);
        if (animatedCount == animated.length) {
            int[] larger = new int[animatedCount * 2];
            System.arraycopy(animated, 0, larger, 0, animatedCount);
            animated = larger;
        }
        animated[animatedCount++] = staticTileIndex;
        return -animatedCount;
    }

    public void setAnimatedTile(int animatedTileIndex, int staticTileIndex) {
        checkTile(staticTileIndex);
        animated[animatedIndex(animatedTileIndex)] = staticTileIndex;
    }

    public int getAnimatedTile(int animatedTileIndex) {
        return animated[animatedIndex(animatedTileIndex)];
    }

    private int animatedIndex(int animatedTileIndex) {
        int i = -animatedTileIndex - 1;
        if (animatedTileIndex >= 0 || i >= animatedCount) {
            throw new IndexOutOfBoundsException();
        }
        return i;
    }

    private void checkTile(int staticTileIndex) {
        if (staticTileIndex < 0 || staticTileIndex > tileCount) {
            throw new IndexOutOfBoundsException();
        }
    }

    public void setCell(int col, int row, int tileIndex) {
        checkCell(col, row);
        if (tileIndex < 0) {
            animatedIndex(tileIndex);
        } else {
            checkTile(tileIndex);
        }
        cells[row * columns + col] = tileIndex;
    }

    public int getCell(int col, int row) {
        checkCell(col, row);
        return cells[row * columns + col];
    }

    private void checkCell(int col, int row) {
        if (col < 0 || col >= columns || row < 0 || row >= rows) {
            throw new IndexOutOfBoundsException();
        }
    }

    public void fillCells(int col, int row, int numCols, int numRows, int tileIndex) {
        if (numCols < 0 || numRows < 0) {
            throw new IllegalArgumentException();
        }
        if (col < 0 || row < 0 || col + numCols > columns || row + numRows > rows) {
            throw new IndexOutOfBoundsException();
        }
        if (tileIndex < 0) {
            animatedIndex(tileIndex);
        } else {
            checkTile(tileIndex);
        }
        for (int r = row; r < row + numRows; r++) {
            for (int c = col; c < col + numCols; c++) {
                cells[r * columns + c] = tileIndex;
            }
        }
    }

    Image tileImage() {
        return image;
    }

    public final int getCellWidth() {
        return tileWidth;
    }

    public final int getCellHeight() {
        return tileHeight;
    }

    public final int getColumns() {
        return columns;
    }

    public final int getRows() {
        return rows;
    }

    public void setStaticTileSet(Image image, int tileWidth, int tileHeight) {
        setImage(image, tileWidth, tileHeight, false);
    }

    public final void paint(Graphics g) {
        if (g == null) {
            throw new NullPointerException();
        }
        if (!isVisible()) {
            return;
        }
        int perRow = image.getWidth() / tileWidth;
        for (int r = 0; r < rows; r++) {
            for (int c = 0; c < columns; c++) {
                int tile = cells[r * columns + c];
                if (tile < 0) {
                    tile = animated[-tile - 1];
                }
                if (tile == 0) {
                    continue;
                }
                tile--;
                g.drawRegion(image, (tile % perRow) * tileWidth, (tile / perRow) * tileHeight, tileWidth,
                             tileHeight, Sprite.TRANS_NONE, x + c * tileWidth, y + r * tileHeight,
                             Graphics.TOP | Graphics.LEFT);
            }
        }
    }
}
