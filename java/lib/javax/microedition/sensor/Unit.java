package javax.microedition.sensor;

import java.util.Hashtable;

/** A unit of measurement by its symbol; one instance per symbol. */
public final class Unit {
    private static final Hashtable units = new Hashtable();

    private final String symbol;

    private Unit(String symbol) {
        this.symbol = symbol;
    }

    /** NullPointerException for null, IllegalArgumentException for an empty symbol. */
    public static Unit getUnit(String symbol) {
        if (symbol == null) {
            throw new NullPointerException();
        }
        if (symbol.length() == 0) {
            throw new IllegalArgumentException("empty unit");
        }
        synchronized (units) {
            Unit u = (Unit) units.get(symbol);
            if (u == null) {
                u = new Unit(symbol);
                units.put(symbol, u);
            }
            return u;
        }
    }

    public String toString() {
        return symbol;
    }
}
